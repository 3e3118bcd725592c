#include <gtest/gtest.h>
#include <QApplication>
#include <QLocale>
#include <QStandardPaths>

int main(int argc, char** argv) {
    // Windows are real but drawn off screen; nothing reaches the desktop or the system.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("VANTORO_NO_SYSTEM_COMMANDS", "1");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
