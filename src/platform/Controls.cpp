#include "platform/Controls.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QRadioButton>

namespace vnt {

namespace {

// The controls of a window, not those of the windows it owns (the report window is a
// child of the main window to Qt).
QList<QWidget*> OwnControls(QWidget* window) {
    QList<QWidget*> controls;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (widget->window() == window)
            controls.append(widget);
    }
    return controls;
}

// Frames are plain QFrames; labels are frames to Qt but not here.
bool IsFrame(const QWidget* widget) {
    return widget->metaObject()->className() == QByteArrayLiteral("QFrame");
}

} // namespace

bool FocusIfAvailable(QWidget* control) {
    if (control == nullptr || !control->isVisible() || !control->isEnabled())
        return false;
    control->setFocus();
    return true;
}

void SetControlsFont(QWidget* window, const QString& fontName, bool includeTextBoxes,
                     bool includeCommandButtons) {
    const auto setFamily = [&fontName](QWidget* widget) {
        QFont font = widget->font();
        font.setFamily(fontName);
        widget->setFont(font);
    };
    for (QWidget* widget : OwnControls(window)) {
        if (IsFrame(widget) || qobject_cast<QPushButton*>(widget) ||
            qobject_cast<QCheckBox*>(widget) || qobject_cast<QLabel*>(widget) ||
            qobject_cast<QRadioButton*>(widget) || qobject_cast<QComboBox*>(widget))
            setFamily(widget);
    }
    if (includeTextBoxes) {
        for (QWidget* widget : OwnControls(window)) {
            if (qobject_cast<QLineEdit*>(widget))
                setFamily(widget);
        }
    }
    if (includeCommandButtons) {
        for (QWidget* widget : OwnControls(window)) {
            if (qobject_cast<QPushButton*>(widget))
                setFamily(widget);
        }
    }
}

void SetControlsBackColor(QWidget* window, const QColor& colour) {
    const auto paint = [&colour](QWidget* widget, bool fill) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Window, colour);
        widget->setPalette(palette);
        widget->setAutoFillBackground(fill);
    };
    // The window's surface and its frames are filled (a panel must hide what lies under
    // it); check boxes and labels draw no background of their own and show the colour.
    paint(window, true);
    if (auto* main = qobject_cast<QMainWindow*>(window); main && main->centralWidget())
        paint(main->centralWidget(), true);
    for (QWidget* widget : OwnControls(window)) {
        if (IsFrame(widget))
            paint(widget, true);
        else if (qobject_cast<QCheckBox*>(widget) || qobject_cast<QLabel*>(widget) ||
                 qobject_cast<QRadioButton*>(widget))
            paint(widget, false);
    }
}

void SetControlsEnabled(QWidget* window, bool enabled, bool frames, bool textBoxes, bool labels,
                        bool checkBoxes) {
    for (QWidget* widget : OwnControls(window)) {
        if (qobject_cast<QPushButton*>(widget) || qobject_cast<QCheckBox*>(widget) ||
            qobject_cast<QRadioButton*>(widget) || qobject_cast<QComboBox*>(widget))
            widget->setEnabled(enabled);
        if ((frames && IsFrame(widget)) || (textBoxes && qobject_cast<QLineEdit*>(widget)) ||
            (labels && qobject_cast<QLabel*>(widget)) ||
            (checkBoxes && qobject_cast<QCheckBox*>(widget)))
            widget->setEnabled(enabled);
    }
    window->update();
}

int CheckValue(const QCheckBox* box) {
    switch (box->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    case Qt::Unchecked:
        break;
    }
    return 0;
}

void SetCheckValue(QCheckBox* box, int value) {
    box->setCheckState(value == 1   ? Qt::Checked
                       : value == 2 ? Qt::PartiallyChecked
                                    : Qt::Unchecked);
}

} // namespace vnt
