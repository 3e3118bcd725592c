#pragma once
// Creating a window's controls under the names the rest of the program knows them by, and
// the settings that apply to all of them.

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace vnt {

template <typename Control, typename... Args>
Control* MakeControl(QWidget* parent, const char* name, Args&&... args) {
    auto* control = new Control(std::forward<Args>(args)..., parent);
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

inline QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = MakeControl<QPushButton>(parent, name, caption);
    button->setAutoDefault(false);
    return button;
}

inline QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption = {}) {
    return MakeControl<QLabel>(parent, name, caption);
}

inline QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& caption) {
    return MakeControl<QCheckBox>(parent, name, caption);
}

inline QFrame* MakeFrame(QWidget* parent, const char* name) {
    return MakeControl<QFrame>(parent, name);
}

// Window-wide settings of a window's own controls (not those of the windows it owns).
void SetControlsFont(QWidget* window, const QString& fontName, bool includeTextBoxes,
                     bool includeCommandButtons);
void SetControlsBackColor(QWidget* window, const QColor& colour);
void SetControlsEnabled(QWidget* window, bool enabled, bool frames, bool textBoxes, bool labels,
                        bool checkBoxes);
// Gives control the focus where it can take it; false where it is hidden or disabled.
bool FocusIfAvailable(QWidget* control);

// Check box values as the Setup holds them: 0, 1 or 2 (greyed).
int CheckValue(const QCheckBox* box);
void SetCheckValue(QCheckBox* box, int value);

// For text laid out in columns. Where "Courier New" is missing, fontconfig's nearest
// fixed-pitch face stands in.
inline QFont FixedPitchFont() {
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::Monospace);
    return font;
}

} // namespace vnt
