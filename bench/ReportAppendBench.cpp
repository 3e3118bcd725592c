// How the report's cost grows with its length: appends N lines through Output and prints
// the time per line. Linear growth shows as a flat time per line.
//
//   build/bin/report_append_bench            (runs offscreen)
#include "mainwindow/frmMain.h"
#include "platform/QtDialogs.h"
#include "platform/SystemShell.h"
#include "report/frmReport.h"

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
    return 0;
}
