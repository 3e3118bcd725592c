#include "report/Summaries.h"

#include "backup/OperationState.h"
#include "RecordingHost.h"

#include <gtest/gtest.h>

namespace vnt::test {
namespace {

TEST(Summaries, ListFolders) {
    RecordingHost host;
    OperationState state;
    state.lngTotalNumFolders = 12345;
    state.lngTotalNumFiles = 3;
    state.dblTotalFilesize = 1048577;
    host.visible = true;
    ReportForListFolders(host, state);
    EXPECT_EQ(host.text, "\r\nNumber of folders: 12,345\r\nNumber of files: 3\r\n"
                         "Sum of file sizes: 1,048,577 bytes (1.00 Mb)\r\n");
    EXPECT_EQ(host.events, QStringList{"show"});
}

TEST(Summaries, BackUpAllFiles) {
    RecordingHost host;
    OperationState state;
    state.lngTotalNumFolders = 2;
    host.bytesCopiedVisible = true;
    ReportForBackupAllFiles(host, state);
    EXPECT_EQ(host.text,
              "\r\nNumber of non-empty folders accessed: 2\r\nNumber of files copied: 0\r\n");
    EXPECT_FALSE(host.bytesCopiedVisible);

    host.text.clear();
    state.lngTotalNumFilesCopied = 4;
    state.lngTotalNumCopyErrors = 1;
    state.dblTotalFilesize = 1048576;
    ReportForBackupAllFiles(host, state);
    EXPECT_EQ(host.text,
              "\r\nNumber of non-empty folders accessed: 2\r\nNumber of files copied: 4\r\n"
              "Number of errors when attempting to copy a file: 1\r\n"
              "Sum of sizes of files copied: 1,048,576 bytes\r\n");
}

TEST(Summaries, BackUpNewAndModified) {
    RecordingHost host;
    OperationState state;
    ReportForBackupModifiedFiles(host, state, "at any time");
    EXPECT_EQ(host.text,
              "\r\n\r\nFor files new or modified at any time:\r\n"
              "Number of modified files: 0\r\nNumber of files not previously backed up: 0\r\n"
              "Number of files copied: 0\r\nSum of sizes of files copied: 0 bytes\r\n");

    host.text.clear();
    state.lngTotalNumNewFiles = 2;
    state.lngTotalNumModifiedFiles = 3;
    state.lngTotalNumFilesCopied = 5;
    state.lngTotalNumCopyErrors = 2;
    state.dblTotalFilesize = 2048;
    ReportForBackupModifiedFiles(host, state, "in the last 3 days");
    EXPECT_EQ(host.text,
              "\r\n\r\nFor files new or modified in the last 3 days:\r\n"
              "Number of modified files: 3\r\nNumber of files not previously backed up: 2\r\n"
              "Number of files modified or not previously backed up: 5\r\n"
              "Number of files copied: 5\r\n"
              "Number of errors when attempting to copy a file: 2\r\n"
              "Sum of sizes of files copied: 2,048 bytes\r\n");
}

TEST(Summaries, CheckBackupState) {
    RecordingHost host;
    OperationState state;
    ReportForCheckBackupState(host, state, "at any time");
    EXPECT_EQ(host.text,
              "\r\nFor files new or modified at any time:\r\nNumber of modified files: 0\r\n"
              "Number of files not backed up: 0\r\nAll files backed up.\r\n");
    host.text.clear();
    state.lngTotalNumModifiedFiles = 3;
    ReportForCheckBackupState(host, state, "at any time");
    EXPECT_EQ(host.text,
              "\r\nFor files new or modified at any time:\r\nNumber of modified files: 3\r\n"
              "Number of files not backed up: 0\r\n");
    host.text.clear();
    state.lngTotalNumNewFiles = 1000;
    ReportForCheckBackupState(host, state, "at any time");
    EXPECT_TRUE(host.text.endsWith("Number of files not backed up: 1,000\r\n"
                                   "Number of files modified or not backed up: 1,003\r\n"));
}

} // namespace
} // namespace vnt::test
