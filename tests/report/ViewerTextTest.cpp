#include "report/ViewerText.h"

#include "platform/SystemShell.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>

namespace vnt {
namespace {

TEST(ViewerText, CutsLongFilesBetweenTwoNotices) {
    EXPECT_EQ(ViewerText(""), "");
    EXPECT_EQ(ViewerText(QString(65529, u'x')), QString(65529, u'x'));
    const QString cut = ViewerText(QString(70000, u'x'));
    EXPECT_EQ(cut.size(), 65534);
    const QString head = "NOTE: This file is too large to display entirely in this textbox.\r\n"
                         "To view the entire contents of the file load it into NotePad,\r\n"
                         "WordPad or some other text editor.\r\n\r\n";
    const QString tail = "NOTE: Entire contents of file have not been displayed.\r\n";
    EXPECT_EQ(cut, head + QString(65530 - head.size() - tail.size(), u'x') + "\r\n\r\n" + tail);
}

TEST(WebLaunchErrorMessage, NamesTheCodeAndItsCause) {
    EXPECT_EQ(WebLaunchErrorMessage(33, "https://example.org/"), "");
    // The extension is what follows the last dot of the last part of the path.
    const std::pair<QString, QString> extensions[] = {
        {"C:\\Docs\\Report.XYZ", "xyz"},
        {"/home/me/notes", ""},
        {"https://vantoro.example.org/", ""}, // a dot in the host name is no extension
        {"https://example.org/help/Page.HTML", "html"},
        {"/home/me/notes.d/readme", ""},
    };
    for (const auto& [address, extension] : extensions)
        EXPECT_EQ(WebLaunchErrorMessage(31, address),
                  "Error launching web browser, error code = 31.\r\n\r\nFile extension '" +
                      extension + "' is not associated with any application program.")
            << address.toStdString();
    EXPECT_EQ(WebLaunchErrorMessage(2, "x"),
              "Error launching web browser, error code = 2.\r\n\r\nPlease try once more.");
    EXPECT_EQ(WebLaunchErrorMessage(8, "x"),
              "Error launching web browser, error code = 8.\r\n\r\nOut of memory.");
    EXPECT_EQ(WebLaunchErrorMessage(0, "x"), "Error launching web browser, error code = 0.");
}

TEST(LinuxShell, RunsNothingUnderTest) {
    // The test programs forbid real commands; a missing local file is found out first.
    LinuxShell shell;
    EXPECT_EQ(shell.openDocument("/no/such/file.txt"), 2);
    EXPECT_EQ(shell.openDocument("https://example.org/"), 31);
    shell.startShutdown("never");
    shell.abortShutdown();
}

TEST(LinuxShell, LearnsOfAQuickFailureAndLeavesASlowProgramRunning) {
    using Outcome = ProgramLaunch::Outcome;
    EXPECT_EQ(StartProgramAndWait("vantoro-no-such-program", {}, 500).outcome, Outcome::Missing);
    const ProgramLaunch failed = StartProgramAndWait("sh", {"-c", "exit 3"}, 5000);
    EXPECT_EQ(failed.outcome, Outcome::Exited);
    EXPECT_EQ(failed.exitCode, 3);
    EXPECT_EQ(StartProgramAndWait("sh", {"-c", "kill -9 $$"}, 5000).outcome, Outcome::Crashed);

    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(StartProgramAndWait("sleep", {"0.3"}, 20).outcome, Outcome::StillRunning);
    EXPECT_LT(clock.elapsed(), 250) << "the wait ends before the program does";
}

} // namespace
} // namespace vnt
