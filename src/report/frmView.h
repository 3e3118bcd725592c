#pragma once
// A read-only viewer for a text file (the help file); it reads the file each time it
// becomes active.

#include <QWidget>

class QPlainTextEdit;
class QPushButton;

namespace vnt {

class Dialogs;

class frmView : public QWidget {
    Q_OBJECT
public:
    explicit frmView(Dialogs& dialogs, QWidget* parent = nullptr);

    QString strFilename;
    QPlainTextEdit* txbText1 = nullptr;
    QPushButton* cmdClose = nullptr;

    // What the text box was given at the last read (line ends as the file has them).
    QString DisplayedText() const { return displayedText; }

    // Shows the file under the caption, in front.
    void ShowFile(const QString& path, const QString& caption);

    void Form_Activate();
    void Form_Resize();
    void cmdClose_Click();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    Dialogs& dialogs;
    QString displayedText;
    bool resizing = false;
    // The file has been read since the window last came to the front.
    bool textIsCurrent = false;
};

} // namespace vnt
