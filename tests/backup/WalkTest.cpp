#include "backup/Walk.h"

#include "mainwindow/Language.h"
#include "platform/FileCopy.h"
#include "platform/Names.h"
#include "platform/TargetDisk.h"
#include "RecordingHost.h"
#include "setups/DateProc.h"
#include "TestSupport.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <gtest/gtest.h>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vnt::test {
namespace {

// Every file of a tree with its content and time, to prove the source is never touched.
QStringList Snapshot(const QString& root) {
    QStringList rows;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st {};
        lstat(QFile::encodeName(path).constData(), &st);
        rows.append(
            QStringLiteral("%1 %2 %3.%4 %5")
                .arg(path)
                .arg(st.st_mode)
                .arg(st.st_mtim.tv_sec)
                .arg(st.st_mtim.tv_nsec)
                .arg(S_ISREG(st.st_mode) ? QString::number(qHash(ReadAll(path))) : QString()));
    }
    rows.sort();
    return rows;
}

class WalkTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString source = dir.path() + "/src/";
    QString target = dir.path() + "/dst/";
    vnt::Setup setup;
    OperationState state;
    RecordingHost host;
    QStringList before;

    static void SetUpTestSuite() {
        ASSERT_EQ(LoadProgramText("vnt.dat", VANTORO_DATA_DIR), QString());
    }

    void SetUp() override {
        state.InitialiseOperationValues();
        ASSERT_TRUE(QDir().mkpath(source + "Letters/Old"));
        ASSERT_TRUE(QDir().mkpath(target));
        WriteFile(source + "notes.txt", "notes");
        WriteFile(source + "photo.jpg", "jpeg data");
        WriteFile(source + "cache.tmp", "skip me");
        WriteFile(source + "Letters/a.txt", "letter a");
        WriteFile(source + "Letters/b.txt", "letter b");
        WriteFile(source + "Letters/Old/c.txt", "letter c");
        for (const char* name : {"notes.txt", "photo.jpg", "cache.tmp", "Letters/a.txt",
                                 "Letters/b.txt", "Letters/Old/c.txt"})
            SetLastWriteUtc(source + name, 2024, 5, 10, 12, 0, 0);
        setup.sourceFolder = source;
        setup.targetFolder = target;
        setup.includedFolders = {"Letters"};
        setup.includeSubfolders = 1;
    }

    void TearDown() override {
        if (!before.isEmpty()) {
            EXPECT_EQ(Snapshot(source), before) << "the source was changed";
        }
    }

    // A 256 KiB target disk that fills up; empty when mounted, else why not.
    QString MountSmallTarget() {
        if (getuid() != 0)
            return "mounting a small tmpfs needs root";
        QDir().mkpath(dir.path() + "/small");
        if (mount("tmpfs", QFile::encodeName(dir.path() + "/small").constData(), "tmpfs", 0,
                  "size=256k") != 0)
            return "tmpfs cannot be mounted here";
        setup.targetFolder = dir.path() + "/small/";
        return {};
    }

    void Run(Operation operation, const QString& skip = QString()) {
        before = Snapshot(source);
        state.intOperation = operation;
        state.blnListFolders = operation == state.intOperationListFolders;
        state.strExcludedFilepaths = ParseExcludedFilepaths(skip);
        state.intNumExcludedFilepaths = static_cast<qint32>(state.strExcludedFilepaths.size());
        state.blnSubfoldersExist = false; // folder lines show whole paths
        FolderWalk walk(setup, state, host);
        walk.todayDayNumber = DayNumber(2024, 5, 20);
        walk.zoneOffsetMinutes = 0;
        walk.threads = threads;
        walk.progressIntervalMs = progressIntervalMs;
        walk.WalkFolder(source);
    }
    int threads = WalkThreads(); // the test command runs every test with 1 and with more
    int progressIntervalMs = 250;
};

TEST_F(WalkTest, BackUpNewAndModifiedCopiesAndReports) {
    QDir().mkpath(target + "Letters");
    WriteFile(target + "Letters/a.txt", "letter a");
    SetLastWriteUtc(target + "Letters/a.txt", 2024, 5, 10, 13, 0, 0); // an hour's shift: unchanged
    WriteFile(target + "Letters/b.txt", "letter B");
    SetLastWriteUtc(target + "Letters/b.txt", 2024, 5, 10, 12, 7, 0); // modified
    setup.fileExtension = "txt";
    Run(state.intOperationBackupModifiedFiles, "old");

    EXPECT_EQ(host.text,
              "\r\n    3 files in " + source + "\r\n      " + source + "notes.txt " +
                  ProgramText(65) +
                  "\r\n      0 modified files and 1 file not previously backed up.  Copied.\r\n"
                  "\r\n    2 files in " +
                  source + "Letters/\r\n      " + source + "Letters/b.txt " + ProgramText(66) +
                  "\r\n      1 modified file and 0 files not previously backed up.  Copied.\r\n");
    EXPECT_EQ(ReadAll(target + "notes.txt"), "notes");
    EXPECT_EQ(ReadAll(target + "Letters/b.txt"), "letter b");
    EXPECT_FALSE(QFile::exists(target + "photo.jpg")) << "filtered by extension";
    EXPECT_FALSE(QFile::exists(target + "Letters/Old")) << "skipped by a fragment";
    EXPECT_EQ(state.lngTotalNumFolders, 2);
    EXPECT_EQ(state.lngTotalNumFiles, 5);
    EXPECT_EQ(state.lngTotalNumNewFiles, 1);
    EXPECT_EQ(state.lngTotalNumModifiedFiles, 1);
    EXPECT_EQ(state.lngTotalNumFilesCopied, 2);
    EXPECT_EQ(state.dblTotalFilesize, 13);
    EXPECT_EQ(host.bytesCopied, "Copied: 13 bytes in 2 files");

    // The copy keeps the source's time to the nanosecond.
    struct stat a {
    }, b{};
    stat(QFile::encodeName(source + "notes.txt").constData(), &a);
    stat(QFile::encodeName(target + "notes.txt").constData(), &b);
    EXPECT_EQ(a.st_mtim.tv_sec, b.st_mtim.tv_sec);
    EXPECT_EQ(a.st_mtim.tv_nsec, b.st_mtim.tv_nsec);
    EXPECT_TRUE(QDir(target).entryList({".~vantoro-*"}, QDir::Hidden | QDir::Files).isEmpty());
}

TEST_F(WalkTest, BackUpAllCheckAndList) {
    Run(state.intOperationBackupAllFiles, "cache");
    EXPECT_TRUE(host.text.contains("    3 files in " + source + "  Only 2 files copied.\r\n"));
    EXPECT_TRUE(host.text.contains("    2 files in " + source + "Letters/  Both copied.\r\n"));
    EXPECT_TRUE(host.text.contains("    1 file  in " + source + "Letters/Old/  Copied.\r\n"));
    EXPECT_EQ(state.lngTotalNumFilesCopied, 5);
    EXPECT_FALSE(QFile::exists(target + "cache.tmp"));

    host.text.clear();
    state = {};
    state.InitialiseOperationValues();
    WriteFile(source + "Letters/new.txt", "new");
    Run(state.intOperationCheckBackupState);
    EXPECT_EQ(host.text, "\r\n    3 files in " + source + "\r\n      " + source + "cache.tmp " +
                             ProgramText(65) +
                             "\r\n      0 modified files and 1 file not backed up.  \r\n" +
                             "\r\n    3 files in " + source + "Letters/\r\n      " + source +
                             "Letters/new.txt " + ProgramText(65) +
                             "\r\n      0 modified files and 1 file not backed up.  \r\n")
        << "only new and modified files are listed, and nothing is copied";
    EXPECT_FALSE(QFile::exists(target + "Letters/new.txt"));

    host.text.clear();
    state = {};
    state.InitialiseOperationValues();
    QDir().mkpath(source + "Letters/Empty");
    Run(state.intOperationListFolders);
    EXPECT_TRUE(host.text.contains("    0 files in " + source + "Letters/Empty/\r\n"));
    EXPECT_EQ(state.lngTotalNumFolders, 4);
    EXPECT_EQ(state.lngTotalNumFiles, 7);
}

TEST_F(WalkTest, TheLastOfFortyThousandSkipFragmentsStillSkips) {
    QStringList fragments;
    for (int i = 0; i < 39999; ++i)
        fragments.append(QStringLiteral("no-such-name-%1").arg(i));
    fragments.append(QStringLiteral("cache.tmp"));
    Run(state.intOperationBackupAllFiles, fragments.join(u','));
    EXPECT_EQ(state.intNumExcludedFilepaths, 40000);
    EXPECT_FALSE(QFile::exists(target + "cache.tmp"));
    EXPECT_TRUE(QFile::exists(target + "notes.txt")) << "the other fragments match nothing";
    EXPECT_EQ(state.lngTotalNumFilesCopied, 5);
}

TEST_F(WalkTest, CheckForFileStopsAtTheFirstFile) {
    setup.fileExtension = "jpg";
    Run(state.intOperationCheckForFile);
    EXPECT_TRUE(state.blnFileExists);
    state.blnFileExists = false;
    setup.fileExtension = "xyz";
    Run(state.intOperationCheckForFile);
    EXPECT_FALSE(state.blnFileExists);
}

TEST_F(WalkTest, LargeSystemAndSwapFilesAtTheirBorder) {
    QDir().mkpath(source + "Letters/my.system");
    const auto sized = [](const QString& path, qint64 size) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(size));
    };
    // Only the file's own extension counts: a folder or a name that merely holds ".sys".
    sized(source + "Letters/my.system/over.bin", 10487561);
    sized(source + "Letters/my.system/thesis.sys.pdf", 10487561);
    sized(source + "Letters/border.sys", 10487560);
    sized(source + "Letters/pagefile.SYS", 10487561);
    QDir().mkpath(source + "Letters/windows");
    sized(source + "Letters/windows/page.swp", 10487561);
    setup.includeSubfolders = 1;
    Run(state.intOperationBackupAllFiles);
    for (const char* copied :
         {"Letters/my.system/over.bin", "Letters/my.system/thesis.sys.pdf", "Letters/border.sys"})
        EXPECT_TRUE(QFile::exists(target + copied)) << copied;
    EXPECT_EQ(QFileInfo(target + "Letters/border.sys").size(), 10487560);
    EXPECT_FALSE(QFile::exists(target + "Letters/pagefile.SYS"));
    EXPECT_FALSE(QFile::exists(target + "Letters/windows/page.swp"));
    // Left out on purpose, but named, counted and reported as left behind.
    EXPECT_TRUE(
        host.text.contains("      " + ProgramText(390) + " " + source + "Letters/pagefile.SYS."));
    EXPECT_TRUE(host.text.contains("      " + ProgramText(164) + " " + source +
                                   "Letters/windows/page.swp."));
    EXPECT_EQ(state.lngTotalNumCopyErrors, 2);
}

TEST_F(WalkTest, FreeSpaceEqualToTheFileRefusesIt) {
    host.answers = {false};
    FolderWalk walk(setup, state, host);
    state.intOperation = state.intOperationBackupAllFiles;
    walk.freeSpace = [](const QString&, double& available, double& total) -> qint16 {
        available = 9; // photo.jpg has 9 bytes, notes.txt 5
        total = 100;
        return 0;
    };
    setup.includedFolders.clear();
    walk.WalkFolder(source);
    EXPECT_TRUE(QFile::exists(target + "notes.txt"));
    EXPECT_FALSE(QFile::exists(target + "photo.jpg"))
        << "free space equal to its size is too little";
    EXPECT_TRUE(
        host.text.contains("      Insufficient space on the target drive for this file.\r\n"));
    EXPECT_TRUE(host.questions.join('\n').contains(ProgramText(62) + "\r\n" + source +
                                                   "photo.jpg (9 " + ProgramText(152) + ")."));

    walk.freeSpace = [](const QString&, double& available, double& total) -> qint16 {
        available = 0;
        total = 100;
        return 0;
    };
    QFile::remove(target + "notes.txt");
    host.text.clear();
    state.blnStop = false;
    walk.WalkFolder(source);
    EXPECT_TRUE(host.text.contains("      The target drive is full.\r\n"));
    EXPECT_TRUE(state.blnStop);
}

TEST_F(WalkTest, FreeSpaceIsAskedAgainOnlyNearTheLimit) {
    setup.includedFolders.clear();
    int queries = 0;
    double free = 4.0 * 1024 * 1024 * 1024;
    FolderWalk walk(setup, state, host);
    state.intOperation = state.intOperationBackupAllFiles;
    walk.freeSpace = [&](const QString&, double& available, double& total) -> qint16 {
        ++queries;
        available = free;
        total = free;
        return 0;
    };
    walk.WalkFolder(source);
    EXPECT_EQ(queries, 1) << "plenty of room: one question for the folder";

    QDir(target).removeRecursively();
    QDir().mkpath(target);
    queries = 0;
    free = 100.0 * 1024 * 1024; // within the margin: every file asks
    FolderWalk nearlyFull(setup, state, host);
    nearlyFull.freeSpace = walk.freeSpace;
    nearlyFull.WalkFolder(source);
    EXPECT_EQ(queries, 3);
}

TEST_F(WalkTest, AFullDiskLeavesTheOldTargetIntact) {
    const QString why = MountSmallTarget();
    if (!why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const QByteArray old(100 * 1024, 'o');
    WriteFile(setup.targetFolder + "notes.txt", old);
    WriteFile(source + "notes.txt", QByteArray(400 * 1024, 'n'));
    setup.includedFolders.clear();
    Run(state.intOperationBackupModifiedFiles);
    EXPECT_EQ(ReadAll(setup.targetFolder + "notes.txt"), old)
        << "the old copy survives byte for byte";
    EXPECT_TRUE(
        QDir(setup.targetFolder).entryList({".~vantoro-*"}, QDir::Hidden | QDir::Files).isEmpty());
    EXPECT_TRUE(host.text.contains(ProgramText(79) + " " + source + "notes.txt  "));
    EXPECT_GE(state.lngTotalNumCopyErrors, 1);
    umount(QFile::encodeName(setup.targetFolder).constData());
}

TEST_F(WalkTest, AFileThatVanishesIsNamedAndTheFolderGoesOn) {
    setup.includedFolders = {"Letters"};
    bool removed = false;
    // The first chance other programs get is after the folder was listed.
    host.onYield = [&] {
        if (!removed)
            removed = QFile::remove(source + "photo.jpg");
    };
    Run(state.intOperationBackupAllFiles);
    ASSERT_TRUE(removed);
    before.clear(); // the test itself changed the source
    EXPECT_TRUE(host.text.contains(ProgramText(79) + " " + source + "photo.jpg  " +
                                   FileErrorFromErrno(ENOENT).description + "\r\n"))
        << "the source's own reason, also when it went after its facts were read: "
        << host.text.toStdString();
    EXPECT_EQ(state.lngTotalNumCopyErrors, 1);
    EXPECT_TRUE(QFile::exists(target + "notes.txt"));
    EXPECT_TRUE(QFile::exists(target + "cache.tmp"));
    EXPECT_TRUE(QFile::exists(target + "Letters/Old/c.txt")) << "its subfolders are still visited";
}

TEST_F(WalkTest, AFileRewrittenDuringEveryCopyIsNotInstalled) {
    threads = 1; // the writer below runs while the copy lets events through
    setup.includedFolders.clear();
    WriteFile(target + "notes.txt", "old copy");
    SetLastWriteUtc(target + "notes.txt", 2020, 1, 1, 0, 0, 0);
    int copies = 0;
    host.onYield = [&] {
        // Rewritten in place only while a copy is under way: its temporary file exists.
        if (!QDir(target).entryList({".~vantoro-*"}, QDir::Hidden | QDir::Files).isEmpty()) {
            QFile file(source + "notes.txt");
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            file.write(QByteArray(5, static_cast<char>('p' + copies % 2)));
            ++copies;
        }
    };
    Run(state.intOperationBackupModifiedFiles);
    before.clear();
    EXPECT_EQ(copies, 4) << "tried again three times after the rest of its folder";
    EXPECT_EQ(ReadAll(target + "notes.txt"), "old copy") << "no mix of old and new blocks";
    EXPECT_TRUE(
        host.text.contains(ProgramText(79) + " " + source + "notes.txt  " + ProgramText(413)));
    EXPECT_EQ(state.lngTotalNumCopyErrors, 1);
    EXPECT_TRUE(QDir(target).entryList({".~vantoro-*"}, QDir::Hidden | QDir::Files).isEmpty());

    host.onYield = nullptr;
    host.text.clear();
    state.lngTotalNumCopyErrors = 0;
    Run(state.intOperationBackupModifiedFiles);
    EXPECT_EQ(ReadAll(target + "notes.txt"), ReadAll(source + "notes.txt"))
        << "the next run takes the file";
    EXPECT_EQ(state.lngTotalNumCopyErrors, 0);
}

TEST_F(WalkTest, ATargetFolderThatCannotBeMadeCountsEveryFileLeftBehind) {
    WriteFile(target + "Letters", "a file where the folder must go");
    host.answers = {false, false};
    Run(state.intOperationBackupAllFiles);
    EXPECT_TRUE(host.text.contains("    " + ProgramText(165) + ": " + target + "Letters/"));
    EXPECT_TRUE(host.text.contains(source + "Letters/a.txt  " + ProgramText(415)));
    EXPECT_TRUE(host.text.contains(source + "Letters/b.txt  " + ProgramText(415)));
    EXPECT_TRUE(host.text.contains(source + "Letters/Old/c.txt  " + ProgramText(415)))
        << "the subfolders are visited too";
    EXPECT_EQ(state.lngTotalNumCopyErrors, 3);
    EXPECT_EQ(host.questions.filter(ProgramText(167) + "|").size(), 2) << "one question a folder";
    EXPECT_TRUE(QFile::exists(target + "notes.txt"));
}

TEST_F(WalkTest, ACopyOwnedBySomebodyElseCarriesNoSetIdBits) {
    if (getuid() != 0)
        GTEST_SKIP() << "giving a file to another owner needs root";
    setup.includedFolders.clear();
    const QByteArray program = QFile::encodeName(source + "notes.txt");
    ASSERT_EQ(chown(program.constData(), 65534, 65534), 0);
    ASSERT_EQ(chmod(program.constData(), 06755), 0);
    const QByteArray own = QFile::encodeName(source + "photo.jpg");
    ASSERT_EQ(chmod(own.constData(), 04755), 0);
    Run(state.intOperationBackupAllFiles);
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(target + "notes.txt").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u) << "a root-owned set-ID program from a user's file";
    ASSERT_EQ(stat(QFile::encodeName(target + "photo.jpg").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 04755u) << "the same owner keeps the bit";
}

TEST_F(WalkTest, AFullDiskFoundByACopyIsAskedAboutAgain) {
    const QString why = MountSmallTarget();
    if (!why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    setup.includedFolders.clear();
    for (const char* name : {"notes.txt", "photo.jpg", "cache.tmp"})
        WriteFile(source + name, QByteArray(160 * 1024, 'n'));
    int queries = 0;
    FolderWalk walk(setup, state, host);
    // A figure from before another program filled the disk.
    walk.freeSpace = [&](const QString&, double& available, double& total) -> qint16 {
        ++queries;
        available = total = 10.0 * 1024 * 1024 * 1024;
        return 0;
    };
    before = Snapshot(source);
    state.intOperation = state.intOperationBackupAllFiles;
    walk.threads = 1;
    walk.WalkFolder(source);
    EXPECT_EQ(state.lngTotalNumFilesCopied, 1);
    EXPECT_EQ(state.lngTotalNumCopyErrors, 2);
    EXPECT_EQ(queries, 2) << "after the failed copy the disk is asked again";

    // With copiers, the copies handed out before the failure was known fail on their own
    // lines; none is passed over.
    ASSERT_EQ(umount(QFile::encodeName(setup.targetFolder).constData()), 0);
    ASSERT_EQ(MountSmallTarget(), QString());
    state.lngTotalNumFilesCopied = state.lngTotalNumCopyErrors = 0;
    host.text.clear();
    FolderWalk parallel(setup, state, host);
    parallel.freeSpace = walk.freeSpace;
    parallel.threads = 2;
    parallel.WalkFolder(source);
    EXPECT_LE(state.lngTotalNumFilesCopied, 1);
    EXPECT_EQ(state.lngTotalNumFilesCopied + state.lngTotalNumCopyErrors, 3);
    for (const char* name : {"notes.txt", "photo.jpg", "cache.tmp"})
        EXPECT_NE(QFile::exists(setup.targetFolder + name),
                  host.text.contains(ProgramText(79) + " " + source + name + "  "))
            << name << " is either copied or named";
    umount(QFile::encodeName(setup.targetFolder).constData());
}

TEST_F(WalkTest, SpecialFilesAndFolderLinksAreNamedAndBadNamesBackedUp) {
    ASSERT_EQ(mkfifo(QFile::encodeName(source + "pipe").constData(), 0600), 0);
    ASSERT_EQ(symlink("loop", QFile::encodeName(source + "loop").constData()), 0);
    ASSERT_EQ(symlink("Old", QFile::encodeName(source + "Letters/old-link").constData()), 0);
    const QByteArray badName = QByteArray("caf\xe9.txt");
    WriteFile(DecodeName(QFile::encodeName(source) + badName), "bytes, not text");
    const QString badFolder = DecodeName(QFile::encodeName(source) + "dir\xfe/");
    ASSERT_EQ(mkdir(EncodeName(badFolder).constData(), 0755), 0);
    WriteFile(badFolder + "inner.txt", "inside");
    setup.includedFolders = {"Letters", DecodeName(QByteArray("dir\xfe"))};
    setup.includeSubfolders = 1;
    Run(state.intOperationBackupAllFiles);
    EXPECT_TRUE(host.text.contains("      " + source + "pipe " + ProgramText(411)));
    EXPECT_TRUE(host.text.contains("      " + source + "loop " + ProgramText(411)));
    EXPECT_TRUE(host.text.contains("      " + source + "Letters/old-link " + ProgramText(412)))
        << "a link to a folder is named, not passed over";
    EXPECT_EQ(ReadAll(DecodeName(QFile::encodeName(target) + badName)), "bytes, not text")
        << "a name that is not UTF-8 is backed up under its own bytes";
    EXPECT_EQ(ReadAll(DecodeName(QFile::encodeName(target) + "dir\xfe/inner.txt")), "inside");
    EXPECT_TRUE(QFile::exists(target + "notes.txt"));
    EXPECT_FALSE(QFile::exists(target + "pipe"));
    EXPECT_FALSE(QFile::exists(target + "Letters/old-link")) << "links to folders are not followed";
    EXPECT_EQ(state.lngTotalNumCopyErrors, 0);
    EXPECT_LT(host.text.indexOf(source + "Letters/old-link "),
              host.text.indexOf("Copied.", host.text.indexOf(" in " + source + "Letters/")))
        << "named before its folder's result";

    // Nothing new: each line still stands under its own folder's line.
    host.text.clear();
    Run(state.intOperationBackupModifiedFiles);
    const qsizetype header = host.text.indexOf(" files in " + source + "\r\n");
    ASSERT_GE(header, 0) << host.text.toStdString();
    EXPECT_LT(header, host.text.indexOf(source + "pipe " + ProgramText(411)));
    const qsizetype letters = host.text.indexOf(" files in " + source + "Letters/\r\n");
    ASSERT_GE(letters, 0);
    EXPECT_LT(letters, host.text.indexOf(source + "Letters/old-link " + ProgramText(412)));

    // Qt cannot remove what it cannot name: clean up by bytes.
    EXPECT_EQ(Snapshot(source), before);
    before.clear();
    for (const QString& root : {source, target}) {
        unlink((QFile::encodeName(root) + badName).constData());
        unlink((QFile::encodeName(root) + "dir\xfe/inner.txt").constData());
        rmdir((QFile::encodeName(root) + "dir\xfe").constData());
    }
}

TEST_F(WalkTest, PauseAfterTheFirstCopyingFolder) {
    setup.pauseAfterFirstCopy = 1;
    setup.includeSubfolders = 0;
    Run(state.intOperationBackupAllFiles);
    EXPECT_FALSE(host.events.contains("pause"))
        << "one included subfolder, no subfolders: no pause";

    QDir(target).removeRecursively();
    QDir().mkpath(target);
    QDir().mkpath(source + "Photos");
    WriteFile(source + "Photos/p.jpg", "p");
    setup.includedFolders = {"Letters", "Photos"};
    state.blnPausedAfterFirstCopy = false;
    host.events.clear();
    Run(state.intOperationBackupAllFiles);
    EXPECT_EQ(host.events.count("pause"), 1) << "once per operation";
    EXPECT_TRUE(host.questions.first().contains(ProgramText(391)));

    state.blnPausedAfterFirstCopy = false;
    state.blnScheduledTask = true;
    host.events.clear();
    QDir(target).removeRecursively();
    Run(state.intOperationBackupAllFiles);
    EXPECT_FALSE(host.events.contains("pause")) << "an unattended run does not pause";
    EXPECT_TRUE(state.blnPausedAfterFirstCopy);
}

TEST_F(WalkTest, CopyFailuresAskEverySixthTime) {
    setup.includedFolders.clear();
    QStringList names;
    for (int i = 0; i < 7; ++i) {
        const QString name = QStringLiteral("f%1.txt").arg(i);
        WriteFile(source + name, "x");
        QDir().mkpath(target + name); // a folder where the copy must go: the copy fails
    }
    host.answers = {false};
    Run(state.intOperationBackupAllFiles, "notes,photo,cache");
    EXPECT_EQ(state.lngTotalNumCopyErrors, 7);
    EXPECT_EQ(host.questions.size(), 1) << "asked at the sixth error only";
    EXPECT_TRUE(host.questions[0].startsWith(ProgramText(83) + "|" + ProgramText(80)));
    EXPECT_TRUE(host.questions[0].contains(ProgramText(63) + "6."));
    EXPECT_TRUE(QFileInfo(target + "f0.txt").isDir()) << "what was there stays";
}

TEST_F(WalkTest, ReadOnlyTargetsAndUnreadableFolders) {
    setup.includedFolders.clear();
    WriteFile(target + "notes.txt", "old");
    chmod(QFile::encodeName(target + "notes.txt").constData(), 0444);
    Run(state.intOperationBackupAllFiles, "photo,cache");
    EXPECT_EQ(ReadAll(target + "notes.txt"), "notes")
        << "a read-only copy is made writable and replaced";
    EXPECT_TRUE(QFileInfo(target + "notes.txt").permissions() & QFile::WriteOwner);

    // Without privileges: a folder that cannot be read is reported, not skipped in silence.
    chmod(QFile::encodeName(source + "Letters").constData(), 0);
    OpenForOthers(source);
    OpenForOthers(target);
    const int status = RunWithoutPrivileges([this] {
        RecordingHost quiet;
        OperationState listing;
        listing.InitialiseOperationValues();
        listing.intOperation = listing.intOperationListFolders;
        listing.blnListFolders = true;
        FolderWalk walk(setup, listing, quiet);
        setup.includedFolders = {"Letters"};
        walk.WalkFolder(source);
        if (!quiet.text.contains("    ? files  in " + source + "Letters/"))
            return 1;
        // In a backup the folder's line stands at the folders' depth, not the files'.
        RecordingHost backup;
        OperationState backing;
        backing.InitialiseOperationValues();
        backing.intOperation = backing.intOperationCheckBackupState;
        FolderWalk(setup, backing, backup).WalkFolder(source);
        const QString line = "\r\n    " + ProgramText(79) + " " + source + "Letters/  ";
        return backup.text.contains(line) && !backup.text.contains("  " + line.mid(2)) &&
                       backing.lngTotalNumCopyErrors == 1
                   ? 0
                   : 2;
    });
    chmod(QFile::encodeName(source + "Letters").constData(), 0755);
    EXPECT_EQ(status, 0);
}

TEST_F(WalkTest, LeftoversOfAKilledCopyGoButAUsersFileOfSuchANameIsBackedUp) {
    setup.includedFolders.clear();
    WriteFile(source + ".~vantoro-0123abcd.part", "a user's file named like ours");
    WriteFile(source + ".~vantoro-notours.part", "a user's file");
    WriteFile(target + ".~vantoro-0123abcd.part", "its earlier copy");
    WriteFile(target + ".~vantoro-89abcdef.part", "half of a copy");
    Run(state.intOperationBackupAllFiles);
    EXPECT_FALSE(QFile::exists(target + ".~vantoro-89abcdef.part")) << "ours, removed";
    EXPECT_EQ(ReadAll(target + ".~vantoro-0123abcd.part"), "a user's file named like ours");
    EXPECT_EQ(ReadAll(target + ".~vantoro-notours.part"), "a user's file");
    EXPECT_EQ(state.lngTotalNumFiles, 5);
    EXPECT_EQ(state.lngTotalNumCopyErrors, 0);

    for (const auto& [name, ours] :
         std::vector<std::pair<const char*, bool>>{{".~vantoro-0123abcd.part", true},
                                                   {".~vantoro-0123ABCD.part", false},
                                                   {".~vantoro-0123abc.part", false},
                                                   {".~vantoro-0123abcde.part", false},
                                                   {"x.~vantoro-0123abcd.part", false},
                                                   {".~vantoro-0123abcd.parts", false}}) {
        EXPECT_EQ(IsUnfinishedCopyName(name), ours) << name;
        EXPECT_EQ(IsUnfinishedCopyName(QString::fromLatin1(name)), ours) << name;
    }
}

TEST(CopySingleFile, ANewFileGetsItsNameOnlyWhenCompleteEvenIfOneAppears) {
    QTemporaryDir dir;
    WriteFile(dir.filePath("source"), "the source's bytes");
    int copies = 0;
    const auto peek = [&] {
        ++copies;
        // While a new file is written, no name of it exists in its folder.
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
        return true;
    };
    CopyOutcome outcome = CopySingleFile(dir.filePath("source"), dir.filePath("new"), peek, false);
    EXPECT_TRUE(outcome.copied);
    EXPECT_GE(copies, 1);
    EXPECT_EQ(ReadAll(dir.filePath("new")), "the source's bytes");

    // Somebody else makes the name after the caller looked: it is replaced in one step.
    WriteFile(dir.filePath("late"), "somebody else's");
    outcome = CopySingleFile(dir.filePath("source"), dir.filePath("late"), {}, false);
    EXPECT_TRUE(outcome.copied);
    EXPECT_EQ(ReadAll(dir.filePath("late")), "the source's bytes");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3)
        << "no temporary file left";
}

TEST(CopierPool, APauseHoldsCopiesAndACancelStopsThem) {
    using namespace std::chrono_literals;
    QTemporaryDir dir;
    WriteFile(dir.filePath("a"), "first");
    WriteFile(dir.filePath("b"), "second");
    std::atomic<bool> paused = true;
    CopierPool pool(2, paused);
    const auto job = [&](const char* name) {
        auto made = std::make_shared<CopyJob>();
        made->sourcePath = dir.filePath(name);
        made->targetPath = dir.filePath(name) + ".copy";
        made->targetMayExist = false;
        pool.Submit(made);
        return made;
    };
    const auto first = job("a");
    EXPECT_FALSE(pool.WaitFor(*first, 100ms)) << "held while paused";
    EXPECT_FALSE(QFile::exists(dir.filePath("a.copy")));
    paused = false;
    ASSERT_TRUE(pool.WaitFor(*first, 10s));
    EXPECT_TRUE(first->outcome.copied);
    EXPECT_EQ(ReadAll(dir.filePath("a.copy")), "first");

    pool.Cancel();
    const auto second = job("b");
    ASSERT_TRUE(pool.WaitFor(*second, 10s));
    EXPECT_TRUE(second->outcome.cancelled);
    EXPECT_FALSE(QFile::exists(dir.filePath("b.copy")));
}

TEST_F(WalkTest, ACancelWithCopiesInFlightLeavesOnlyWholeCountedFiles) {
    setup.includedFolders.clear();
    for (int i = 0; i < 300; ++i)
        WriteFile(source + QStringLiteral("many%1.dat").arg(i), QByteArray(64 * 1024 + i, 'm'));
    int yields = 0;
    host.onYield = [&] {
        if (++yields == 40)
            state.blnStop = true;
    };
    Run(state.intOperationBackupAllFiles);
    EXPECT_TRUE(state.blnStop);
    EXPECT_LT(state.lngTotalNumFilesCopied, 303) << "stopped before the end";
    const QStringList copies = QDir(target).entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : copies) {
        EXPECT_FALSE(name.startsWith(".~vantoro")) << "no temporary file is left";
        EXPECT_EQ(ReadAll(target + name), ReadAll(source + name)) << name.toStdString();
    }
    EXPECT_EQ(copies.size(), state.lngTotalNumFilesCopied) << "every copy made is counted";
}

TEST(FlushFileSystem, SaysWhenTheDiskCannotBeReached) {
    QTemporaryDir dir;
    EXPECT_FALSE(FlushFileSystem(dir.path() + "/"));
    const FileError missing = FlushFileSystem(dir.path() + "/gone/");
    EXPECT_EQ(missing.number, ErrorNumber::PathNotFound);
    EXPECT_FALSE(missing.description.isEmpty());
}

} // namespace
} // namespace vnt::test

namespace vnt::test {
namespace {

// The same tree walked with one, two and four threads: every report is the same, byte for
// byte, and so is the target. The tree mixes new, modified and unchanged files, files the
// copy must fail on, special files, a folder link and skipped paths in 60 folders.
TEST_F(WalkTest, EveryOperationReportsTheSameWhateverTheThreads) {
    // On tmpfs where there is one: thousands of files made in a test folder cost seconds
    // on some disks.
    QTemporaryDir memory(QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm/walk-XXXXXX")
                                                   : dir.path() + QStringLiteral("/m-XXXXXX"));
    ASSERT_TRUE(memory.isValid());
    source = memory.path() + "/src/";
    setup.sourceFolder = source;
    QStringList tops;
    int made = 0;
    for (int top = 0; top < 6; ++top) {
        const QString name = QStringLiteral("top%1").arg(top);
        tops.append(name);
        for (int sub = 0; sub < 10; ++sub) {
            const QString folder =
                source + name + (sub == 0 ? QString() : "/sub" + QString::number(sub)) + '/';
            ASSERT_TRUE(QDir().mkpath(folder));
            for (int i = 0; i < 33; ++i, ++made) {
                const QString file =
                    folder + QStringLiteral("f%1%2").arg(i).arg(i % 7 == 0 ? ".skipme" : ".dat");
                WriteFile(file, QByteArray((made * 37) % 3000, char('a' + made % 26)));
                SetLastWriteUtc(file, 2024, 5, 10, 12, 0, 0);
            }
        }
    }
    ASSERT_GE(made, 1980);
    ASSERT_EQ(mkfifo(QFile::encodeName(source + "top1/sub3/pipe").constData(), 0600), 0);
    ASSERT_EQ(symlink("sub2", QFile::encodeName(source + "top2/linked").constData()), 0);
    setup.includedFolders = tops;

    // A target that already holds some copies: equal, older, and in a few places a folder
    // where a file must go, so those copies fail between others.
    // Fresh folders, never deleted ones: freed inodes make copies on ext4 crawl.
    int fresh = 0;
    const auto prepareTarget = [&] {
        target = memory.path() + QStringLiteral("/dst%1/").arg(++fresh);
        setup.targetFolder = target;
        for (const QString& top : tops) {
            for (int sub = 0; sub < 10; sub += 3) {
                const QString rel =
                    top + (sub == 0 ? QString() : "/sub" + QString::number(sub)) + '/';
                ASSERT_TRUE(QDir().mkpath(target + rel));
                for (int i = 0; i < 33; i += 2) {
                    const QString name =
                        QStringLiteral("f%1%2").arg(i).arg(i % 7 == 0 ? ".skipme" : ".dat");
                    if (i % 10 == 4) {
                        ASSERT_TRUE(QDir().mkpath(target + rel + name + "/blocker"));
                        continue;
                    }
                    QFile::copy(source + rel + name, target + rel + name);
                    if (i % 4 == 0)
                        SetLastWriteUtc(target + rel + name, 2023, 1, 1, 0, 0, 0);
                    else
                        SetLastWriteUtc(target + rel + name, 2024, 5, 10, 12, 0, 0);
                }
            }
        }
    };

    struct Outcome {
        QString reports;
        QString targetAfterModified;
        QString targetAfterAll;
        QString targetAfterStop;
        QString targetAfterCancel;
        qint32 errors = 0;
    };
    // Files only: a folder's time is when the run made it.
    const auto files = [&] {
        QStringList rows = Snapshot(target);
        rows.removeIf([](const QString& row) { return row.endsWith(u' '); });
        return rows.join(u'\n').replace(target, QStringLiteral("TARGET/"));
    };
    const auto walkWith = [&](int count) {
        Outcome outcome;
        const auto run = [&](Operation operation) {
            host.text.clear();
            state.lngTotalNumCopyErrors = state.lngTotalNumFilesCopied = 0;
            state.lngTotalNumNewFiles = state.lngTotalNumModifiedFiles = 0;
            state.blnStop = false;
            state.intOperation = operation;
            state.blnListFolders = operation == state.intOperationListFolders;
            FolderWalk walk(setup, state, host);
            walk.todayDayNumber = DayNumber(2024, 5, 20);
            walk.zoneOffsetMinutes = 0;
            walk.threads = count;
            walk.WalkFolder(source);
            outcome.reports += QString(host.text).replace(target, QStringLiteral("TARGET/")) +
                               QStringLiteral("\nnew %1 modified %2 copied %3 errors %4\n=====\n")
                                   .arg(state.lngTotalNumNewFiles)
                                   .arg(state.lngTotalNumModifiedFiles)
                                   .arg(state.lngTotalNumFilesCopied)
                                   .arg(state.lngTotalNumCopyErrors);
            outcome.errors += state.lngTotalNumCopyErrors;
        };
        prepareTarget();
        run(state.intOperationListFolders);
        run(state.intOperationCheckBackupState);
        run(state.intOperationBackupModifiedFiles);
        outcome.targetAfterModified = files();
        // A copy damaged behind the backup's back, for the comparison to find.
        WriteFile(target + "top3/sub6/f5.dat", "damaged");
        run(state.intOperationVerifyBackup);
        // Cancelled at the damaged copy: the folders after it, whose comparisons may already
        // run, say nothing; its own folder still says what it found.
        host.onOutput = [&](const QString& line) {
            if (line.contains("top3/sub6/f5.dat (Contents differ"))
                state.blnStop = true;
        };
        run(state.intOperationVerifyBackup);
        host.onOutput = nullptr;
        prepareTarget();
        run(state.intOperationBackupAllFiles);
        outcome.targetAfterAll = files();
        // A stop where the user answers Yes at the sixth error, and a Cancel pressed in the
        // middle of a folder: nothing past either point is reported, counted or copied.
        prepareTarget();
        host.answers = {true};
        run(state.intOperationBackupAllFiles);
        outcome.targetAfterStop = files();
        host.answers.clear();
        prepareTarget();
        host.onOutput = [&](const QString& line) {
            if (line.endsWith("top2/sub5/f16.dat " + ProgramText(65)))
                state.blnStop = true;
        };
        run(state.intOperationBackupModifiedFiles);
        host.onOutput = nullptr;
        outcome.targetAfterCancel = files();
        // Cancel pressed at a moment the engines cannot share (the 40th time events are let
        // through): still at most the file being copied then is named and not copied.
        prepareTarget();
        int yields = 0;
        host.onYield = [&] {
            if (++yields == 40)
                state.blnStop = true;
        };
        const Outcome shared = outcome;
        run(state.intOperationBackupModifiedFiles);
        outcome = shared; // this run's report is its own
        host.onYield = nullptr;
        const QStringList named = host.text.split("\r\n").filter(" " + ProgramText(65)) +
                                  host.text.split("\r\n").filter(" " + ProgramText(66));
        QStringList notCopied;
        for (QString line : named) {
            line = line.trimmed();
            const QString file = line.left(line.lastIndexOf(u' '));
            if (ReadAll(target + file.mid(source.size())) != ReadAll(file) &&
                !host.text.contains(ProgramText(79) + ' ' + file + "  "))
                notCopied.append(file);
        }
        EXPECT_LE(notCopied.size(), 1)
            << count << " threads: " << notCopied.join(' ').toStdString() << "\n"
            << host.text.toStdString();
        EXPECT_GT(named.size(), 0);
        return outcome;
    };

    state.strExcludedFilepaths = ParseExcludedFilepaths(QStringLiteral("skipme"));
    state.intNumExcludedFilepaths = 1;
    state.blnSubfoldersExist = false;
    before = Snapshot(source); // and compared once at the end
    const Outcome serial = walkWith(1);
    EXPECT_GT(serial.errors, 0) << "the blocked copies fail";
    EXPECT_TRUE(serial.reports.contains(ProgramText(411)));
    EXPECT_TRUE(serial.reports.contains(ProgramText(412)));
    EXPECT_LT(serial.targetAfterStop.size(), serial.targetAfterAll.size()) << "it stopped";
    EXPECT_LT(serial.targetAfterCancel.size(), serial.targetAfterModified.size()) << "cancelled";
    for (const int count : {2, 4}) {
        const Outcome parallel = walkWith(count);
        EXPECT_EQ(parallel.reports, serial.reports) << count << " threads";
        EXPECT_EQ(parallel.targetAfterModified, serial.targetAfterModified) << count;
        EXPECT_EQ(parallel.targetAfterAll, serial.targetAfterAll) << count;
        EXPECT_EQ(parallel.targetAfterStop, serial.targetAfterStop) << count;
        EXPECT_EQ(parallel.targetAfterCancel, serial.targetAfterCancel) << count;
        EXPECT_EQ(parallel.errors, serial.errors) << count;
    }
    EXPECT_EQ(Snapshot(source), before) << "the source was changed";
    before.clear(); // its folder goes with this test
}

// A large file shows how far its copy has got, and a folder of many files shows the
// please-wait notice while it is read, drawn before the notice goes again.
TEST_F(WalkTest, LongWorkShowsThatItMoves) {
    constexpr qint64 Size = 20 * 1024 * 1024;
    QFile big(source + "Letters/Film.MKV");
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.write(QByteArray(Size, 'v')) == Size);
    big.close();
    threads = 1; // each chunk of the copy is seen on the walk's thread
    progressIntervalMs = 0;
    Run(state.intOperationBackupAllFiles);
    ASSERT_EQ(QFileInfo(target + "Letters/Film.MKV").size(), Size);
    ASSERT_GE(host.progress.size(), 2u);
    qint64 last = 0;
    for (size_t i = 0; i + 1 < host.progress.size(); ++i) {
        EXPECT_EQ(host.progress[i].name, "film.mkv") << "named as the label names it";
        EXPECT_EQ(host.progress[i].size, Size);
        EXPECT_GT(host.progress[i].done, last);
        EXPECT_LT(host.progress[i].done, Size) << "a finished copy is no longer in progress";
        last = host.progress[i].done;
    }
    EXPECT_EQ(host.progress.back().size, 0) << "its end takes the progress back";

    // A folder of 400 files: the notice is drawn, then leaves no trace.
    QDir().mkpath(source + "Many");
    for (int i = 0; i < state.intManyFilesThreshold; ++i)
        WriteFile(source + QStringLiteral("Many/f%1.txt").arg(i), "x");
    setup.includedFolders = {"Many"};
    host.text.clear();
    threads = WalkThreads();
    Run(state.intOperationCheckBackupState);
    ASSERT_EQ(host.drawnTexts.size(), 1);
    EXPECT_TRUE(host.drawnTexts[0].endsWith(ProgramText(60) + ' '));
    EXPECT_FALSE(host.text.contains(ProgramText(60)));
    EXPECT_TRUE(host.text.contains(" 400 files in " + source + "Many/"));

    // Not in a folder of fewer files, nor without the detailed report.
    host.drawnTexts.clear();
    QFile::remove(source + "Many/f0.txt");
    Run(state.intOperationCheckBackupState);
    state.blnSuppressDetailedReports = true;
    WriteFile(source + "Many/f0.txt", "x");
    Run(state.intOperationCheckBackupState);
    EXPECT_TRUE(host.drawnTexts.isEmpty());
}

// On a Linux disk, names fold only in casefold folders (and those made in them): there the
// second of two names that fold together is named and left out, elsewhere both are copied.
TEST_F(WalkTest, NamesFoldOnlyInTheTargetsCasefoldFolders) {
    for (const char* folder : {"Letters/Folded/", "Letters/Plain/", "Letters/Folded/New/"}) {
        ASSERT_TRUE(QDir().mkpath(source + folder));
        WriteFile(source + folder + "Report.txt", "first");
        WriteFile(source + folder + "report.txt", "second");
    }
    ASSERT_TRUE(QDir().mkpath(target + "Letters/Folded"));
    // This kernel may make no casefold folder: the flag is what the injected call reads.
    SetFolderFlagsCall([](int fd, int* flags) {
        const QString real = RealFolderOf(*FolderHandle::Adopt(::dup(fd)));
        *flags = real.endsWith("/Letters/Folded/") ? FS_CASEFOLD_FL : 0;
        return 0;
    });
    Run(state.intOperationBackupAllFiles);
    SetFolderFlagsCall(nullptr);
    const auto named = [&](const QString& folder) {
        return host.text.count(QRegularExpression(
            QRegularExpression::escape(source + folder) +
            "[Rr]eport.txt  not copied: on this disk its name is the same as [Rr]eport.txt"));
    };
    EXPECT_EQ(named("Letters/Folded/"), 1) << host.text.toStdString();
    EXPECT_EQ(named("Letters/Folded/New/"), 1) << "made in a casefold folder, it folds too";
    EXPECT_EQ(named("Letters/Plain/"), 0);
    EXPECT_EQ(ReadAll(target + "Letters/Plain/Report.txt"), "first");
    EXPECT_EQ(ReadAll(target + "Letters/Plain/report.txt"), "second");
    EXPECT_EQ(state.lngTotalNumCopyErrors, 2);
}

} // namespace
} // namespace vnt::test
