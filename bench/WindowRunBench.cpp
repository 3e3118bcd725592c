// The desktop program's own run against the console's, on one tree, interleaved: the real
// main window (offscreen) loads a setup file and its button handler runs the backup with
// the report window shown, as an unattended run does (no confirmation); the console runs
// the same setup file. Prints the medians, their ratio and the longest gap between two
// events the window handled during its runs.
//
//   build/bin/window_run_bench TREE ROUNDS   (TREE holds src/; t/ is made beside it)
#include "backup/OperationState.h"
#include "mainwindow/frmMain.h"
#include "mainwindow/WindowServices.h"
#include "platform/QtDialogs.h"
#include "platform/SystemShell.h"
#include "report/frmReport.h"
#include "setups/SetupFile.h"

#include <algorithm>
#include <cstdio>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <vector>

namespace {

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A fresh target for every full backup: the old one is moved aside, not deleted, so that no
// copy is made right after a mass delete.
void FreshTarget(const QString& tree, int& generation) {
    if (QDir(tree + QStringLiteral("/t")).exists())
        QDir().rename(tree + QStringLiteral("/t"),
                      tree + QStringLiteral("/old%1").arg(++generation));
    QDir().mkpath(tree + QStringLiteral("/t"));
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_run_bench TREE [ROUNDS]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("VANTORO_NO_SYSTEM_COMMANDS", "1");
    QApplication app(argc, argv);
    const QString tree = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/vantoro-cli");

    vnt::Setup setup;
    setup.sourceFolder = tree + QStringLiteral("/src/");
    setup.targetFolder = tree + QStringLiteral("/t/");
    for (const QString& name :
         QDir(tree + QStringLiteral("/src")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        setup.includedFolders.append(name);
    setup.includeSubfolders = 1;
    setup.suppressDetailedReports = qEnvironmentVariableIsSet("BENCH_SUMMARY_ONLY") ? 1 : 0;
    const QString setupFile = tree + QStringLiteral("/bench.vnt");
    QFile file(setupFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(vnt::SetupFileBytes(setup)) < 0)
        return 1;
    file.close();

    vnt::QtDialogs dialogs;
    vnt::LinuxShell shell;
    // The program's own services: a full report box lets its old lines go and never sleeps.
    vnt::DesktopServices services;
    vnt::frmMain window(dialogs, shell, QCoreApplication::applicationDirPath(), services);
    if (!window.Form_Load())
        return 1;
    // How long the window goes without handling an event: a timer that should fire every
    // millisecond notes every gap.
    QElapsedTimer sinceEvent;
    qint64 longestGap = 0;
    bool watching = false;
    QTimer heartbeat;
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        if (watching)
            longestGap = std::max(longestGap, sinceEvent.restart());
    });
    heartbeat.start(1);

    const auto windowRun = [&](bool all) {
        if (window.LoadOperationFile(setupFile) != 0)
            std::exit(1);
        window.State().blnScheduledTask = true; // no confirmation dialog to answer
        QElapsedTimer timer;
        timer.start();
        sinceEvent.start();
        watching = true;
        if (all)
            window.cmdBackupAllFiles_MouseUp();
        else
            window.cmdBackupModifiedFiles_MouseUp();
        watching = false;
        window.State().blnScheduledTask = false;
        return static_cast<double>(timer.nsecsElapsed()) / 1e9;
    };
    const auto consoleRun = [&](bool all) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer timer;
        timer.start();
        process.start(cli, {all ? QStringLiteral("backup-all") : QStringLiteral("backup-modified"),
                            QStringLiteral("--setup"), setupFile});
        process.waitForFinished(-1);
        return static_cast<double>(timer.nsecsElapsed()) / 1e9;
    };

    int generation = 0;
    std::vector<double> windowFull, consoleFull, windowNothing, consoleNothing;
    for (int round = 0; round < rounds; ++round) {
        FreshTarget(tree, generation);
        windowFull.push_back(windowRun(true));
        windowNothing.push_back(windowRun(false));
        FreshTarget(tree, generation);
        consoleFull.push_back(consoleRun(true));
        consoleNothing.push_back(consoleRun(false));
    }
    std::printf("full backup: window %.3f s, console %.3f s, ratio %.2f\n", Median(windowFull),
                Median(consoleFull), Median(windowFull) / Median(consoleFull));
    std::printf("nothing changed: window %.3f s, console %.3f s, ratio %.2f\n",
                Median(windowNothing), Median(consoleNothing),
                Median(windowNothing) / Median(consoleNothing));
    std::printf("longest gap between handled events in the window: %lld ms\n",
                static_cast<long long>(longestGap));
    for (int i = 1; i <= generation; ++i)
        QProcess::execute(QStringLiteral("rm"),
                          {QStringLiteral("-rf"), tree + QStringLiteral("/old%1").arg(i)});
    return 0;
}
