// The notification and the sleep lock over a real D-Bus: a private bus daemon, and on it a
// notification service and a logind that answer from a thread of this test.
#include "platform/DesktopBus.h"

#include "backup/Disks.h"
#include "backup/Driver.h"
#include "backup/Restore.h"
#include "cli/CliRun.h"
#include "RecordingHost.h"
#include "setups/SetupFile.h"
#include "TestSupport.h"

#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <QDateTime>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusUnixFileDescriptor>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace vnt::test {

// The lock logind gives: the other end of a pipe, whose end here reads EOF once every copy
// of the lock is closed.
bool Released(int readEnd, int waitMs) {
    pollfd end{readEnd, POLLIN, 0};
    return ::poll(&end, 1, waitMs) == 1 && (end.revents & POLLHUP) != 0;
}

class FakeLogind : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    ~FakeLogind() override {
        for (const int end : readEnds)
            ::close(end);
    }
    std::mutex lock;
    QStringList calls;         // "what|who|why|mode"
    std::vector<int> readEnds; // one per lock given
    QString refusal;           // answered instead of a lock where set

    // Whether every lock given has been let go; waits up to waitMs for the last close.
    bool AllReleased(int waitMs = 2000) {
        const std::scoped_lock held(lock);
        for (const int end : readEnds)
            if (!Released(end, waitMs))
                return false;
        return true;
    }
    int HeldNow() {
        const std::scoped_lock held(lock);
        return static_cast<int>(std::count_if(readEnds.begin(), readEnds.end(),
                                              [](int end) { return !Released(end, 0); }));
    }

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode) {
        const std::scoped_lock held(lock);
        calls.append(what + '|' + who + '|' + why + '|' + mode);
        if (!refusal.isEmpty()) {
            sendErrorReply(QDBusError::AccessDenied, refusal);
            return {};
        }
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return {};
        readEnds.push_back(ends[0]);
        const QDBusUnixFileDescriptor given(ends[1]); // a copy of its own
        ::close(ends[1]);
        return given;
    }
};

class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit FakeNotifications(FakeLogind& logindIn) : logind(logindIn) {}
    std::mutex lock;
    QStringList shown; // "app|title|body|urgency|locks held"

    QStringList Shown() {
        const std::scoped_lock held(lock);
        return shown;
    }

    bool markup = false;

public slots:
    QStringList GetCapabilities() {
        return markup ? QStringList{"body", "body-markup"} : QStringList{"body"};
    }
    uint Notify(const QString& app, uint, const QString&, const QString& title, const QString& body,
                const QStringList&, const QVariantMap& hints, int) {
        const QString line = app + '|' + title + '|' + body + '|' +
                             QString::number(hints.value("urgency").toInt()) + '|' +
                             QString::number(logind.HeldNow());
        const std::scoped_lock held(lock);
        shown.append(line);
        return static_cast<uint>(shown.size());
    }

private:
    FakeLogind& logind;
};

// A bus of the test's own: no service on it is started on demand, so only the fakes answer.
class PrivateBus : public SmallTreeTest {
protected:
    QString address;
    QThread services;
    std::unique_ptr<FakeLogind> logind;
    std::unique_ptr<FakeNotifications> notifications;
    QProcess daemon;

    void SetUp() override {
        SmallTreeTest::SetUp();
        const QString config = dir.path() + "/bus.conf";
        WriteFile(config, "<busconfig><type>session</type><listen>unix:tmpdir=" +
                              QFile::encodeName(dir.path()) +
                              "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                              "<allow send_destination=\"*\"/><allow eavesdrop=\"true\"/>"
                              "<allow own=\"*\"/></policy>"
                              "</busconfig>");
        daemon.start("dbus-daemon", {"--config-file=" + config, "--print-address", "--nofork"});
        ASSERT_TRUE(daemon.waitForStarted()) << "dbus-daemon is not installed";
        while (!daemon.canReadLine() && daemon.waitForReadyRead(5000)) {
        }
        address = QString::fromUtf8(daemon.readLine()).trimmed();
        ASSERT_FALSE(address.isEmpty());

        services.start();
        logind = std::make_unique<FakeLogind>();
        notifications = std::make_unique<FakeNotifications>(*logind);
        logind->moveToThread(&services);
        notifications->moveToThread(&services);
        QDBusConnection bus = QDBusConnection::connectToBus(address, "services " + address);
        ASSERT_TRUE(bus.registerObject("/org/freedesktop/login1", logind.get(),
                                       QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(bus.registerObject("/org/freedesktop/Notifications", notifications.get(),
                                       QDBusConnection::ExportAllSlots));
    }

    // The services take their names only where a test wants them there.
    void Serve(bool withLogind = true, bool withNotifications = true) {
        QDBusConnection bus(QStringLiteral("services ") + address);
        if (withLogind) {
            ASSERT_TRUE(bus.registerService("org.freedesktop.login1"));
        }
        if (withNotifications) {
            ASSERT_TRUE(bus.registerService("org.freedesktop.Notifications"));
        }
    }

    void TearDown() override {
        QDBusConnection::disconnectFromBus("services " + address);
        services.quit();
        services.wait();
        daemon.kill();
        daemon.waitForFinished();
    }
};

// The engine's operations without a window, on a real logind lock.
class BusMain : public MainHooks {
public:
    BusMain(const QString& address) : inhibitor({}, address) {}
    Setup setup;
    RecordingHost host;
    LogindInhibitor inhibitor;
    Setup ReadSetup() override { return setup; }
    QString OperationCaption(Operation) override { return "Operation"; }
    QString ModifiedSinceText() override { return {}; }
    bool Ask(const QString&, const QString&, MsgResult) override { return false; }
    bool AskCreateTarget(const QString&, const QString&) override { return false; }
    void Tell(const QString&, const QString&, MsgIcon) override {}
    bool ConfirmOperation() override { return true; }
    ReportHost& PrepareReport() override { return host; }
    SleepInhibitor& Inhibitor() override { return inhibitor; }
};

// A logind that says no is said once, and the caller goes on without a lock; a bus or a
// service that is not there is no refusal.
TEST_F(PrivateBus, OnlyARefusalIsSaid) {
    Serve(true, false);
    QStringList refusals;
    const auto refused = [&](const QString& why) { refusals.append(why); };
    logind->refusal = "Permission denied";
    EXPECT_FALSE(LogindInhibitor(refused, address).HoldOffSleep("Backing up /x/").valid());
    EXPECT_EQ(refusals, QStringList{"Permission denied"});
    EXPECT_NE(BusNotifier(address).Notify({"Backup finished", "", false}), "");
    const QString noBus = "unix:path=" + dir.path() + "/no-bus";
    EXPECT_NE(BusNotifier(noBus).Notify({"Backup finished", "", false}), "");
    EXPECT_FALSE(LogindInhibitor(refused, noBus).HoldOffSleep("Backing up /x/").valid());
    EXPECT_EQ(refusals.size(), 1);
}

// A path's "<" or "&" reaches a server that reads markup as text, and any other as it is.
TEST_F(PrivateBus, ABodyIsNeverTakenForMarkup) {
    Serve();
    const DesktopNotice notice{"Backup finished with errors", "The report is in /tmp/a<b>&c.", true};
    EXPECT_EQ(BusNotifier(address).Notify(notice), "");
    notifications->markup = true;
    EXPECT_EQ(BusNotifier(address).Notify(notice), "");
    const QStringList shown = notifications->Shown();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(shown[0].contains("|The report is in /tmp/a<b>&c.|"));
    EXPECT_TRUE(shown[1].contains("|The report is in /tmp/a&lt;b&gt;&amp;c.|"));
}

// The lock is held while the walk reports, and let go however the operation ends.
TEST_F(PrivateBus, TheOperationHoldsTheComputerAwakeToItsEnd) {
    Serve();
    BusMain main(address);
    main.setup.sourceFolder = source;
    main.setup.targetFolder = target;
    main.setup.includedFolders = {"Letters"};
    main.setup.includeSubfolders = 1;
    OperationState state;
    state.InitialiseOperationValues();
    state.blnScheduledTask = true;
    int heldWhileReporting = -1;
    main.host.onOutput = [&](const QString&) {
        if (heldWhileReporting < 0)
            heldWhileReporting = logind->HeldNow();
    };
    const auto run = [&](Operation operation) {
        heldWhileReporting = -1;
        RunOperation(state, main, operation);
        EXPECT_EQ(heldWhileReporting, 1);
        EXPECT_TRUE(logind->AllReleased());
    };

    run(Operation::BackupAllFiles);
    EXPECT_EQ(state.lngTotalNumFilesCopied, 3);

    // Cancelled at the first line.
    WriteFile(source + "Letters/d.txt", "d");
    main.host.onOutput = [&](const QString&) {
        if (heldWhileReporting < 0)
            heldWhileReporting = logind->HeldNow();
        state.blnStop = true;
    };
    run(Operation::BackupModifiedFiles);
    EXPECT_TRUE(state.blnStop);

    // Finished with errors: copies missing from the target.
    ASSERT_TRUE(QFile::remove(target + "a.txt"));
    main.host.onOutput = [&](const QString&) {
        if (heldWhileReporting < 0)
            heldWhileReporting = logind->HeldNow();
    };
    run(Operation::VerifyBackup);
    EXPECT_GT(state.lngTotalNumFilesNotInTarget, 0);
    EXPECT_EQ(logind->calls.mid(1).join('\n').toStdString(),
              QString("sleep:idle|Vantoro|Backing up %1|block\n"
                      "sleep:idle|Vantoro|Verifying %1|block")
                  .arg(source)
                  .toStdString());

    // Refused before it begins: no lock is left behind.
    main.setup.targetFolder = dir.path() + "/absent/";
    RunOperation(state, main, Operation::BackupAllFiles);
    EXPECT_TRUE(logind->AllReleased());
    EXPECT_EQ(logind->calls.size(), 3) << "nothing ran, nothing was held";

    // A restore, from its first line to its totals.
    const QString into = dir.path() + "/into/";
    ASSERT_TRUE(QDir().mkpath(into));
    main.setup.targetFolder = target;
    RestoreRequest request = RestoreOfPaths(main.setup, {"Letters/b.txt"});
    request.destination = into;
    heldWhileReporting = -1;
    EXPECT_EQ(RunRestore(request, main.host, {}, main.inhibitor).totals.restored, 1);
    EXPECT_EQ(heldWhileReporting, 1);
    EXPECT_TRUE(logind->AllReleased());
    EXPECT_EQ(logind->calls.value(3), "sleep:idle|Vantoro|Restoring into " + into + "|block");
}

// The built console program, its buses pointed at the private one.
class BusEnvironment {
public:
    explicit BusEnvironment(const QString& address)
        : session(qgetenv("DBUS_SESSION_BUS_ADDRESS")), system(qgetenv("DBUS_SYSTEM_BUS_ADDRESS")) {
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address.toUtf8());
    }
    ~BusEnvironment() {
        qputenv("DBUS_SESSION_BUS_ADDRESS", session);
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", system);
    }

private:
    QByteArray session, system;
};

TEST_F(PrivateBus, TheConsoleNotifiesWhenItsRunEnds) {
    Serve();
    {
        const BusEnvironment buses(address);
        const CliRun done = Cli({"backup-all", "--source", source, "--target", target, "--notify"});
        EXPECT_EQ(done.status, 0) << done.err.toStdString();
        EXPECT_EQ(done.err, "");
        ASSERT_TRUE(QFile::remove(target + "a.txt"));
        const QString log = dir.path() + "/verify.log";
        const CliRun failed = Cli({"verify", "--source", source, "--target", target, "--notify",
                                   "--summary-only", "--log", log});
        EXPECT_EQ(failed.status, 1) << failed.err.toStdString();
        // No notification without --notify, and a run that is refused still says so.
        EXPECT_EQ(Cli({"check", "--source", source, "--target", target}).status, 0);
        EXPECT_EQ(Cli({"restore", "--source", dir.path() + "/gone", "--target", target, "--notify"})
                      .status,
                  2);
        // The locks went with each run, before its notice.
        // What ran, for which setup, the first thing wrong, where the report is; or why
        // nothing ran.
        const QString setup = "Setup: " + dir.path() + "/src.";
        EXPECT_EQ(
            notifications->Shown(),
            QStringList({"Vantoro|Backup finished|3 files copied, 0 errors.\n" + setup + "|1|0",
                         "Vantoro|Verify finished with errors|2 files compared, 1 differing "
                         "or missing, 0 errors.\n" +
                             setup + "\nFirst error: " + source +
                             "a.txt: Not in target\nThe report is in " + log + ".|2|0",
                         "Vantoro|Restore: nothing done|Restore not done: the folder to "
                         "restore into, " +
                             dir.path() +
                             "/gone/, does not exist: make it "
                             "first\nSetup: " +
                             dir.path() +
                             "/gone.\nRun the command again, or "
                             "with --log FILE, to read its report.|2|0"}));
        EXPECT_TRUE(logind->AllReleased());
        EXPECT_EQ(logind->calls.size(), 3) << logind->calls.join('\n').toStdString();

        // A scheduled setup whose disk has been away for ten days reminds the person; a run
        // started by plugging in backs up at most once a day.
        vnt::Setup stick;
        stick.sourceFolder = source;
        stick.targetFolder = "/media/vantoro-nobody/STICK/Backup/";
        stick.remindAfterDays = 7;
        const QString file = dir.path() + "/stick.vnt";
        ASSERT_TRUE(WriteSetupFile(file, stick));
        RememberBackupDisk(stick.targetFolder,
                           QDateTime::currentMSecsSinceEpoch() - 10 * 24 * 3600 * 1000LL);
        EXPECT_EQ(Cli({"backup-modified", "--setup", file, "--notify"}).status, 3);
        EXPECT_TRUE(notifications->Shown().constLast().startsWith(
            "Vantoro|No backup for 10 days: connect STICK|Backup not done: the backup disk STICK "
            "is not connected. The last backup to it was on "))
            << notifications->Shown().constLast().toStdString();
        WriteFile(source + "later.txt", "later");
        const CliRun plugged = Cli({"backup-modified", "--source", source, "--target", target,
                                    "--notify", "--once-a-day"});
        EXPECT_EQ(plugged.status, 0);
        EXPECT_TRUE(plugged.err.contains(" was made today at ")) << plugged.err.toStdString();
        EXPECT_FALSE(QFile::exists(target + "later.txt"));
        EXPECT_EQ(notifications->Shown().size(), 4) << "nothing to tell the desktop";
        EXPECT_EQ(Cli({"check", "--source", source, "--target", target, "--once-a-day"}).status, 2);
        EXPECT_EQ(logind->calls.value(0), "sleep:idle|Vantoro|Backing up " + source + "|block");
    }

    // Without a session bus the run is the same; one line says why nothing was shown.
    const BusEnvironment noBus("unix:path=" + dir.path() + "/no-bus");
    const CliRun alone =
        Cli({"backup-modified", "--source", source, "--target", target, "--notify"});
    EXPECT_EQ(alone.status, 0);
    EXPECT_TRUE(alone.err.startsWith("vantoro-cli: no desktop notification: "))
        << alone.err.toStdString();
    EXPECT_EQ(alone.err.count('\n'), 1) << alone.err.toStdString();
}

// A bus that takes the connection and never answers: a socket nobody accepts on. Closed at
// the end, which ends the connections still waiting on it.
class SilentBus {
public:
    explicit SilentBus(const QString& path) : address("unix:path=" + path) {
        sockaddr_un where{};
        where.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::memcpy(where.sun_path, name.constData(), std::min<size_t>(name.size(), 100));
        socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        EXPECT_EQ(::bind(socket, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);
        EXPECT_EQ(::listen(socket, 16), 0);
    }
    ~SilentBus() { ::close(socket); }
    // Whether a program has connected, waiting up to waitMs.
    bool Reached(int waitMs) const {
        pollfd listening{socket, POLLIN, 0};
        return ::poll(&listening, 1, waitMs) == 1;
    }
    const QString address;

private:
    int socket = -1;
};

TEST_F(SmallTreeTest, ABusThatNeverAnswersHoldsUpNoRunAndAStopEndsTheWait) {
    const SilentBus silent(dir.path() + "/silent");
    QElapsedTimer clock;
    clock.start();
    QStringList said;
    EXPECT_FALSE(LogindInhibitor([&](const QString& why) { said.append(why); }, silent.address, 300)
                     .HoldOffSleep("Backing up /x/")
                     .valid());
    EXPECT_EQ(said, QStringList{"the system bus did not answer within 0.3 seconds"});
    EXPECT_EQ(BusNotifier(silent.address, 300).Notify({"Backup finished", "", false}),
              "the session bus did not answer within 0.3 seconds");
    EXPECT_LT(clock.elapsed(), 1500);

    // The console program, stopped while it waits for its sleep lock: the run ends at once,
    // interrupted, its notice not waited for either.
    const SilentBus waiting(dir.path() + "/waiting");
    const QByteArray bus = waiting.address.toUtf8();
    QElapsedTimer stopped;
    const CliRun run = CliInChild(
        {"backup-all", "--source", source, "--target", target, "--notify"},
        [&bus] {
            ::setenv("DBUS_SYSTEM_BUS_ADDRESS", bus.constData(), 1);
            ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.constData(), 1);
        },
        Captured,
        [&](pid_t pid, int) {
            ASSERT_TRUE(waiting.Reached(20000));
            stopped.start();
            ::kill(pid, SIGTERM);
        });
    EXPECT_LT(stopped.elapsed(), 2000);
    EXPECT_EQ(run.status, 130) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("the computer may sleep during the run: the run was stopped while "
                                 "waiting for the system bus"))
        << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(ProgramText(49))) << run.out.toStdString();
    EXPECT_FALSE(QFile::exists(target + "Letters/b.txt"));
}

} // namespace vnt::test

#include "DesktopBusTest.moc"
