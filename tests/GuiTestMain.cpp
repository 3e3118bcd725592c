#include <gtest/gtest.h>
#include <QApplication>
#include <QFile>
#include <QLocale>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    // Every test run has a home of its own: the per-user data and settings start empty.
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    // The per-user folders follow that home, whatever the caller's environment names.
    for (const char* folder :
         {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"})
        qunsetenv(folder);
    // Windows are real but drawn off screen; nothing reaches the desktop or the system.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("VANTORO_NO_SYSTEM_COMMANDS", "1");
    // Nor the desktop's or the system's bus: tests that want one start their own.
    const QByteArray noBus = "unix:path=" + QFile::encodeName(home.path()) + "/no-bus";
    qputenv("DBUS_SESSION_BUS_ADDRESS", noBus);
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", noBus);
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home.path() + "/.config");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
