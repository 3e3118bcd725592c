#include "report/Summaries.h"

#include "backup/OperationState.h"
#include "backup/Restore.h"
#include "RecordingHost.h"
#include "report/RunNotice.h"

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

// The notification at a run's end: its title from the exit status, critical for every
// failure, and where the report is only when something went wrong.
TEST(RunNotice, TitleUrgencyAndBody) {
    struct Case {
        const char* word;
        int status;
        const char* title;
        bool critical;
    };
    for (const Case& c : {Case{"Backup", 0, "Backup finished", false},
                          Case{"Verify", 1, "Verify finished with errors", true},
                          Case{"Check", 2, "Check: nothing done", true},
                          Case{"Backup", 3, "Backup: disk not connected", true},
                          Case{"Restore", 130, "Restore interrupted", true},
                          Case{"List", 9, "List ended with status 9", true}}) {
        const DesktopNotice notice = NoticeOfRun({c.word, c.status, "2 files copied", "See log."});
        EXPECT_EQ(notice.title, c.title);
        EXPECT_EQ(notice.critical, c.critical) << c.title;
        EXPECT_EQ(notice.body, c.critical ? "2 files copied.\nSee log." : "2 files copied.");
    }
    EXPECT_EQ(NoticeOfRun({"Backup", 2, "", "See log."}).body, "See log.") << "nothing ran";

    EXPECT_EQ(NoticeWord("backup-modified"), "Backup");
    EXPECT_EQ(NoticeWord("history"), "") << "runs no operation";

    OperationState state;
    state.lngTotalNumFilesCopied = 1;
    state.lngTotalNumCopyErrors = 2;
    EXPECT_EQ(RunCountsText(state, Operation::BackupAllFiles), "1 file copied, 2 errors");
    state.lngTotalNumFilesCompared = 1200;
    state.lngTotalNumFilesNotInTarget = 1;
    state.lngTotalNumCopyErrors = 1;
    state.blnRepair = true;
    state.lngTotalNumFilesRepaired = 1;
    EXPECT_EQ(RunCountsText(state, Operation::VerifyBackup),
              "1,200 files compared, 1 differing or missing, 1 repaired, 1 error");
}

// Where a failed console run's report is: the log, else the journal of the unit that ran it.
TEST(RunNotice, WhereTheConsolesReportIs) {
    const QByteArray timer = "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                             "vantoro-backup@home.service\n";
    EXPECT_EQ(ConsoleReportHint("/var/log/b.log", true, timer), "The report is in /var/log/b.log.");
    EXPECT_EQ(ConsoleReportHint({}, true, timer),
              "The report is in the journal: journalctl --user -u vantoro-backup@home.service");
    EXPECT_EQ(ConsoleReportHint({}, true, "0::/system.slice/nightly.service\n"),
              "The report is in the journal: journalctl -u nightly.service");
    const QString again = "Run the command again, or with --log FILE, to read its report.";
    EXPECT_EQ(ConsoleReportHint({}, false, timer), again) << "a terminal inside a service";
    EXPECT_EQ(ConsoleReportHint({}, true, "0::/user.slice/session-2.scope\n"), again);
    EXPECT_EQ(ConsoleReportHint({}, true, ""), again);
}

} // namespace
} // namespace vnt::test
