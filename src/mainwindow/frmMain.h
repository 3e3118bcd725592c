#pragma once
// The main window. Its controls will hold the Setup; for now it is the program's frame.

#include <QMainWindow>

namespace vnt {

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
};

} // namespace vnt
