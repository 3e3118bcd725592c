#include "report/Summaries.h"

#include "backup/OperationState.h"
#include "backup/Restore.h"
#include "RecordingHost.h"
#include "report/RunNotice.h"

#include <functional>
#include <gtest/gtest.h>
#include <QDateTime>

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
    // A run's end: the word, the status, and what the case sets besides.
    const auto end = [](const char* word, int status, const std::function<void(RunEnd&)>& more) {
        RunEnd run;
        run.word = word;
        run.status = status;
        more(run);
        return NoticeOfRun(run);
    };
    for (const Case& c : {Case{"Backup", 0, "Backup finished", false},
                          Case{"Verify", 1, "Verify finished with errors", true},
                          Case{"Check", 2, "Check: nothing done", true},
                          Case{"Backup", 3, "Backup: disk not connected", true},
                          Case{"Restore", 130, "Restore interrupted", true},
                          Case{"List", 9, "List ended with status 9", true}}) {
        const DesktopNotice notice = end(c.word, c.status, [](RunEnd& run) {
            run.counts = "2 files copied";
            run.reportHint = "See log.";
        });
        EXPECT_EQ(notice.title, c.title);
        EXPECT_EQ(notice.critical, c.critical) << c.title;
        if (c.status != DiskNotConnected) {
            EXPECT_EQ(notice.body, c.critical ? "2 files copied.\nSee log." : "2 files copied.");
        }
    }
    EXPECT_EQ(end("Backup", NothingDone, [](RunEnd& run) { run.reportHint = "See log."; }).body,
              "See log.")
        << "nothing ran, and nothing said why";
    EXPECT_EQ(end("Backup", NothingDone,
                  [](RunEnd& run) {
                      run.reportHint = "See log.";
                      run.reason = "The target folder\r\nis \x1b[1mgone";
                      run.setup = "nightly";
                  })
                  .body,
              "Backup not done: The target folder is \\x1b[1mgone\nSetup: nightly.\nSee log.");

    // A run skipped for its disk says which, when it last backed up, and what to do.
    EXPECT_EQ(end("Backup", DiskNotConnected,
                  [](RunEnd& run) {
                      run.setup = "nightly";
                      run.disk = "STICK";
                      run.lastBackupMs =
                          QDateTime(QDate(2026, 12, 1), QTime(2, 31)).toMSecsSinceEpoch();
                  })
                  .body,
              "Backup not done: the backup disk STICK is not connected. The last backup to it "
              "was on 2026-12-01 at 02:31.\nConnect STICK and run the backup again.\n"
              "Setup: nightly.");
    EXPECT_EQ(end("Backup", DiskNotConnected,
                  [](RunEnd& run) {
                      run.setup = "nightly";
                      run.target = "/srv/backup/";
                  })
                  .body,
              "Backup not done: the backup disk for /srv/backup/ is not connected.\nConnect the "
              "backup disk and run the backup again.\nSetup: nightly.");
    // A finished run names its disk and its first error.
    EXPECT_EQ(end("Backup", FinishedWithErrors,
                  [](RunEnd& run) {
                      run.counts = "2 files copied, 1 error";
                      run.setup = "nightly";
                      run.disk = "STICK";
                      run.firstError = "/home/me/a.txt: Permission denied";
                  })
                  .body,
              "2 files copied, 1 error.\nSetup: nightly, backup disk STICK.\n"
              "First error: /home/me/a.txt: Permission denied");
    EXPECT_EQ(SetupNoticeName("/home/me/.config/vantoro/nightly.vnt", "/src/"), "nightly");
    EXPECT_EQ(SetupNoticeName("", "/home/me/Documents/"), "/home/me/Documents");

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
