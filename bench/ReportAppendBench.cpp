// How the report's cost grows with its length: appends N lines through Output and prints
// the time per line. Linear growth shows as a flat time per line.
//
//   build/bin/report_append_bench            (runs offscreen)
#include "mainwindow/frmMain.h"
#include "platform/QtDialogs.h"
#include "platform/SystemShell.h"
#include "report/frmReport.h"

#include <algorithm>
#include <cstdio>
#include <QApplication>
#include <QElapsedTimer>

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("VANTORO_NO_SYSTEM_COMMANDS", "1");
    QApplication app(argc, argv);
    vnt::QtDialogs dialogs;
    vnt::LinuxShell shell;
    vnt::frmMain window(dialogs, shell, QCoreApplication::applicationDirPath());
    if (!window.Form_Load())
        return 1;
    // Measure appending, not the capacity rule: let the text grow without limit.
    window.lngMaxSizeTextboxContents = 1 << 30;
    vnt::frmReport& report = window.ReportWindow();
    report.ShowReport();

    std::printf("%8s %10s %12s %14s\n", "lines", "chars", "total ms", "us per line");
    for (const int lines : {2500, 5000, 10000, 20000, 40000}) {
        report.SetText(QString());
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < lines; ++i) {
            report.Output(QStringLiteral("   12 files in {source folder}Photos/2024/"), false);
            report.Output(QStringLiteral("  All copied."), true);
        }
        const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        std::printf("%8d %10lld %12.1f %14.2f\n", lines,
                    static_cast<long long>(report.ReportText().size()), ms, ms * 1000.0 / lines);
    }
    // What one more line costs when the window holds a short report and when it is nearly
    // at its capacity (61,440 characters).
    std::printf("\n%12s %14s\n", "chars before", "us per line");
    const QString line =
        QStringLiteral("   12 files in {source folder}Photos/2024/  All copied.\r\n");
    for (const int before : {1000, 60000}) {
        QString start;
        while (start.size() + line.size() <= before)
            start += line;
        constexpr int Lines = 200;
        double best = 1e9;
        for (int round = 0; round < 5; ++round) {
            report.SetText(start);
            QElapsedTimer timer;
            timer.start();
            for (int i = 0; i < Lines; ++i)
                report.Output(line.chopped(2), true);
            best = std::min(best, static_cast<double>(timer.nsecsElapsed()) / 1e3 / Lines);
        }
        std::printf("%12lld %14.2f\n", static_cast<long long>(start.size()), best);
    }
    return 0;
}
