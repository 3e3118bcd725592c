#include "report/ViewerText.h"

#include "platform/SystemShell.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(WebLaunchErrorMessage(31, "C:\\Docs\\Report.XYZ"),
              "Error launching web browser, error code = 31.\r\n\r\n"
              "File extension 'xyz' is not associated with any application program.");
    EXPECT_EQ(WebLaunchErrorMessage(31, "/home/me/notes"),
              "Error launching web browser, error code = 31.\r\n\r\n"
              "File extension '' is not associated with any application program.");
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

} // namespace
} // namespace vnt
