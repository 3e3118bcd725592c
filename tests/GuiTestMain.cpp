#include <gtest/gtest.h>
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QLocale>
#include <QStandardPaths>

int main(int argc, char** argv) {
    // Windows are real but drawn off screen; nothing reaches the desktop or the system.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("VANTORO_NO_SYSTEM_COMMANDS", "1");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    // The settings store of every test run starts empty and lies in a folder of its own.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
