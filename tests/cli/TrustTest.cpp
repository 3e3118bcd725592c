// The console program run the way an attacker or an unlucky user would: links, odd names,
// folders spelled in odd ways. Whatever happens, the source stays as it was, inode for inode.
#include "CliRun.h"
#include "mainwindow/Language.h"
#include "platform/Names.h"
#include "setups/SetupFile.h"
#include "TestSupport.h"

#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vnt::test {
namespace {

class TrustTest : public SmallTreeTest {
protected:
    QString sourceBefore;

    void SetUp() override {
        SmallTreeTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_EQ(chmod(QFile::encodeName(source + "a.txt").constData(), 0444), 0);
        sourceBefore = TreeSnapshot(source);
    }

    void TearDown() override {
        if (!sourceBefore.isEmpty()) {
            EXPECT_EQ(TreeSnapshot(source), sourceBefore) << "the source was changed";
        }
    }

    // Relative folders in the arguments are relative to the temporary folder.
    CliRun Cli(const QStringList& arguments) { return test::Cli(arguments, dir.path()); }

    void Link(const QString& to, const QString& at) {
        ASSERT_EQ(symlink(EncodeName(to).constData(), EncodeName(at).constData()), 0);
    }
};

TEST_F(TrustTest, AFolderIsWhatItIsNotHowItIsSpelled) {
    Link(source, dir.path() + "/link");
    const QStringList refused[] = {
        {"backup-all", "--source", "src", "--target", "link"},
        {"backup-all", "--source", "src", "--target", "src/"},
        {"backup-all", "--source", "src", "--target", "src/."},
        {"backup-all", "--source", "src", "--target", "link/Letters/.."},
        {"backup-all", "--source", "link/Letters", "--target", dir.path()},
        {"backup-all", "--source", "src", "--target", ""},
        {"backup-all", "--source", "src", "--target", "  "},
        {"backup-all", "--source", "", "--target", "dst"},
    };
    const QString cwdBefore = TreeSnapshot(dir.path());
    for (const QStringList& arguments : refused) {
        const CliRun run = Cli(arguments);
        EXPECT_EQ(run.status, 2) << arguments.join(' ').toStdString() << "\n"
                                 << run.out.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << "nothing was done";
    }
    EXPECT_EQ(TreeSnapshot(dir.path()), cwdBefore) << "nothing anywhere was written";
    EXPECT_TRUE(Cli(refused[0]).err.contains(ProgramText(27)));
}

TEST_F(TrustTest, ATargetInsideTheSourceIsNeverWalkedWhateverLeadsThere) {
    sourceBefore.clear(); // the target lies in the source on purpose
    QDir().mkpath(source + "bak");
    Link(source, dir.path() + "/link");
    const QStringList arguments = {"backup-all", "--source",        "src",     "--target",
                                   "link/bak",   "--include",       "Letters", "--include",
                                   "bak",        "--all-subfolders"};
    for (int run = 0; run < 2; ++run) {
        const CliRun result = Cli(arguments);
        EXPECT_EQ(result.status, 0) << result.err.toStdString();
    }
    EXPECT_TRUE(QFile::exists(source + "bak/Letters/Old/c.txt"));
    EXPECT_FALSE(QFileInfo::exists(source + "bak/bak")) << "no copy of the backup in itself";
}

TEST_F(TrustTest, SetupFileFoldersGetTheSameSpelling) {
    vnt::Setup setup;
    setup.sourceFolder = dir.path() + "/src"; // no trailing separators
    setup.targetFolder = dir.path() + "/dst";
    setup.includedFolders = {"Letters"};
    const QString file = dir.path() + "/plain.vnt";
    WriteFile(file, SetupFileBytes(setup));
    const CliRun run = Cli({"backup-all", "--setup", file});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(QFile::exists(target + "a.txt"));
    EXPECT_TRUE(QFile::exists(target + "Letters/b.txt"));
    EXPECT_FALSE(QFile::exists(dir.path() + "/dsta.txt")) << "nothing beside the target";

    setup.targetFolder = source + ".";
    WriteFile(file, SetupFileBytes(setup));
    EXPECT_EQ(Cli({"backup-all", "--setup", file}).status, 2);
}

TEST_F(TrustTest, NamesThatAreNotUtf8AreBackedUpUnderTheirBytes) {
    const QString odd = DecodeName(EncodeName(source) + "Letters/dir\xfe/");
    ASSERT_EQ(mkdir(EncodeName(odd).constData(), 0755), 0);
    WriteFile(odd + DecodeName(QByteArray("caf\xe9.txt")), "kept");
    sourceBefore = TreeSnapshot(source);
    const CliRun run = Cli({"backup-all", "--source", "src", "--target", "dst", "--include",
                            "Letters", "--all-subfolders"});
    EXPECT_EQ(run.status, 0) << run.out.toStdString();
    QFile copy;
    const int fd = ::open((EncodeName(target) + "Letters/dir\xfe/caf\xe9.txt").constData(),
                          O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0) << "the folder and its file were backed up";
    ASSERT_TRUE(copy.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    EXPECT_EQ(copy.readAll(), "kept");
    EXPECT_TRUE(run.out.contains(QString::fromUtf8("Letters/dir\xef\xbf\xbd/")))
        << "shown with the replacement character";
    // Qt's own clean-up cannot name these; do it by bytes.
    for (const QString& root : {source, target}) {
        ::unlink((EncodeName(root) + "Letters/dir\xfe/caf\xe9.txt").constData());
        ::rmdir((EncodeName(root) + "Letters/dir\xfe").constData());
    }
    sourceBefore.clear();
}

TEST_F(TrustTest, WhatIsLeftBehindIsNamedAndCounted) {
    Link(source + "Letters/Old", source + "Letters/old-link");
    WriteFile(target + "Letters", "a file where a folder must go");
    sourceBefore = TreeSnapshot(source);
    const CliRun run = Cli({"backup-all", "--source", "src", "--target", "dst", "--include",
                            "Letters", "--all-subfolders"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.contains(source + "Letters/old-link " + ProgramText(412)));
    EXPECT_TRUE(run.out.contains(ProgramText(165) + ": " + target + "Letters/"));
    EXPECT_TRUE(run.out.contains(source + "Letters/b.txt  " + ProgramText(415)));
    EXPECT_TRUE(run.out.contains(source + "Letters/Old/c.txt  " + ProgramText(415)));
    EXPECT_TRUE(run.out.contains("Number of errors when attempting to copy a file: 2\n"))
        << run.out.toStdString();
    EXPECT_TRUE(QFile::exists(target + "a.txt"));
}

TEST_F(TrustTest, TheCopyWritesOnlyTheTargetsOwnFiles) {
    // The target file is the source file itself (a hard link) ...
    ASSERT_EQ(
        ::link(EncodeName(source + "a.txt").constData(), EncodeName(target + "a.txt").constData()),
        0);
    // ... a link at a target file's path leads to a read-only file outside both trees ...
    const QString outside = dir.path() + "/outside.txt";
    WriteFile(outside, "not ours");
    ASSERT_EQ(chmod(EncodeName(outside).constData(), 0444), 0);
    QDir().mkpath(target + "Letters");
    Link(outside, target + "Letters/b.txt");
    // ... a link in the target leads a folder into another folder of the source ...
    Link(source + "Letters", target + "Letters/Old");
    // ... a link leads a folder out of the target, to a place nobody chose to write to ...
    const QString elsewhere = dir.path() + "/elsewhere/";
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    ASSERT_TRUE(QDir().mkpath(source + "Music"));
    WriteFile(source + "Music/m.txt", "m");
    Link(elsewhere, target + "Music");
    // ... and a user's set-user-ID program is backed up by root.
    const bool root = getuid() == 0;
    WriteFile(source + "Letters/prog", "#!/bin/sh\n");
    if (root) {
        ASSERT_EQ(chown(EncodeName(source + "Letters/prog").constData(), 65534, 65534), 0);
        ASSERT_EQ(chmod(EncodeName(source + "Letters/prog").constData(), 06755), 0);
    }
    sourceBefore = TreeSnapshot(source);
    const CliRun run = Cli({"backup-all", "--source", "src", "--target", "dst", "--include",
                            "Letters", "--include", "Music", "--all-subfolders"});
    EXPECT_EQ(run.status, 1) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(source + "a.txt  " + ProgramText(414)));
    EXPECT_TRUE(run.out.contains(source + "Letters/Old/c.txt  " + ProgramText(417) + " " + source +
                                 "Letters/"))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(source + "Music/m.txt  " + ProgramText(418) + " " + elsewhere))
        << run.out.toStdString();
    EXPECT_TRUE(QDir(elsewhere).isEmpty());

    // Where replaced copies are kept is a link into the source: nothing is kept or replaced.
    WriteFile(target + "Letters/b.txt", "old b");
    Link(source + "Letters/Old", target + ".vantoro-replaced");
    const CliRun keep = Cli({"backup-all", "--keep-replaced", "--source", "src", "--target", "dst",
                             "--include", "Letters", "--all-subfolders"});
    EXPECT_EQ(keep.status, 1);
    EXPECT_TRUE(keep.out.contains(source +
                                  "Letters/b.txt  The previous copy could not be "
                                  "kept, so it was not replaced (" +
                                  ProgramText(417) + " " + source + "Letters/Old/)"))
        << keep.out.toStdString();
    EXPECT_EQ(ReadAll(target + "Letters/b.txt"), "old b");

    // A target folder that is its own source folder through a link holds no backup: its
    // files are not taken as unchanged copies of themselves.
    ASSERT_EQ(unlink(EncodeName(target + "Music").constData()), 0);
    Link(source + "Music", target + "Music");
    const CliRun modified = Cli({"backup-modified", "--source", "src", "--target", "dst",
                                 "--include", "Music", "--all-subfolders"});
    EXPECT_EQ(modified.status, 1);
    EXPECT_TRUE(modified.out.contains(source + "Music/m.txt  " + ProgramText(417)))
        << modified.out.toStdString();
    struct stat st {};
    ASSERT_EQ(stat(EncodeName(outside).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    ASSERT_EQ(lstat(EncodeName(target + "Letters/b.txt").constData(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode)) << "the link was replaced, not followed";
    if (root) {
        ASSERT_EQ(stat(EncodeName(target + "Letters/prog").constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 06000, 0u) << "no root-owned set-ID copy of a user's program";
    }
}

TEST_F(TrustTest, LinksSwappedInDuringTheBackupLeadNothingOutOfTheTarget) {
    for (int folder = 0; folder < 24; ++folder) {
        const QString path = source + QString("d%1/sub/").arg(folder);
        ASSERT_TRUE(QDir().mkpath(path));
        for (int file = 0; file < 40; ++file)
            WriteFile(path + QString("f%1").arg(file), QByteArray(300, 'x'));
    }
    const QString elsewhere = dir.path() + "/elsewhere";
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    sourceBefore = TreeSnapshot(source);
    // Target folders are moved aside as soon as they appear and links put in their place:
    // into the source, and out of the target.
    std::atomic<bool> attacking = true;
    std::thread attacker([&] {
        for (unsigned round = 0; attacking; ++round) {
            const int folder = static_cast<int>(round % 24);
            const QByteArray at = EncodeName(target + QString("d%1").arg(folder));
            const QByteArray sub = at + "/sub";
            struct stat st {};
            if (round % 2 == 0 && lstat(at.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
                rename(at.constData(), at + ".aside" + QByteArray::number(round)) == 0)
                symlink(EncodeName(source + QString("d%1").arg(folder)).constData(),
                        at.constData());
            if (round % 2 == 1 && lstat(at.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
                lstat(sub.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
                rename(sub.constData(), sub + ".aside" + QByteArray::number(round)) == 0)
                symlink(EncodeName(elsewhere).constData(), sub.constData());
        }
    });
    const CliRun run = Cli({"backup-all", "--all", "--source", "src", "--target", "dst"});
    attacking = false;
    attacker.join();
    EXPECT_NE(run.status, 2) << run.err.toStdString();
    EXPECT_TRUE(QDir(elsewhere).isEmpty()) << "nothing written out of the target";
    // The source is checked when the test ends.
}

TEST_F(TrustTest, FoldersDeeperThanAPathCanSpellAreBackedUpWhole) {
    // 24 levels of 200-byte names: 4,800 bytes, beyond what one path may hold (4,096).
    const QByteArray level(200, 'd');
    const auto descend = [&](const QString& root, bool make, int& files) {
        int fd = open(EncodeName(root).constData(), O_PATH | O_DIRECTORY);
        for (int depth = 0; depth < 24 && fd >= 0; ++depth) {
            const QByteArray name = QByteArray::number(depth) + level;
            if (make) {
                mkdirat(fd, name.constData(), 0755);
                const int file = openat(fd, "f.txt", O_WRONLY | O_CREAT, 0644);
                (void)!write(file, name.constData(), static_cast<size_t>(depth));
                close(file);
            }
            struct stat st {};
            if (fstatat(fd, "f.txt", &st, 0) == 0 && st.st_size == depth)
                ++files;
            const int next = openat(fd, name.constData(), O_PATH | O_DIRECTORY);
            close(fd);
            fd = next;
        }
        if (fd >= 0)
            close(fd);
    };
    int made = 0;
    descend(source + "Letters", true, made);
    sourceBefore = TreeSnapshot(source);
    const CliRun run = Cli({"backup-all", "--all", "--source", "src", "--target", "dst"});
    EXPECT_EQ(run.status, 0) << run.out.toStdString();
    int copied = 0;
    descend(target + "Letters", false, copied);
    EXPECT_EQ(copied, made);
    const CliRun again = Cli({"backup-modified", "--all", "--source", "src", "--target", "dst"});
    EXPECT_EQ(again.status, 0);
    EXPECT_TRUE(again.out.contains("Number of files copied: 0\n")) << again.out.toStdString();

    // Too deep for the temporary folder's own clean-up: rm works one folder at a time.
    EXPECT_EQ(TreeSnapshot(source), sourceBefore);
    sourceBefore.clear();
    QProcess::execute("rm", {"-rf", source + "Letters", target + "Letters"});
}

TEST_F(TrustTest, ATreeOfAnyDepthIsWalkedWithoutRunningOutOfStack) {
    sourceBefore.clear(); // too deep for the snapshot: its deepest file is checked instead
    // 3,000 levels on a 256 KB stack: a walk that recursed would crash long before the end.
    const auto deepest = [](const QString& root, bool make) {
        int fd = open(EncodeName(root).constData(), O_PATH | O_DIRECTORY);
        for (int depth = 0; depth < 3000 && fd >= 0; ++depth) {
            if (make)
                mkdirat(fd, "a", 0755);
            const int next = openat(fd, "a", O_PATH | O_DIRECTORY);
            close(fd);
            fd = next;
        }
        return fd;
    };
    const int sourceFolder = deepest(source, true);
    ASSERT_GE(sourceFolder, 0);
    const int file = openat(sourceFolder, "deepest.txt", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(write(file, "deep", 4), 4);
    close(file);
    struct stat before {};
    ASSERT_EQ(fstatat(sourceFolder, "deepest.txt", &before, 0), 0);
    const CliRun run = test::Cli({"-c", "ulimit -s 256 && exec \"$0\" \"$@\"", VANTORO_CLI,
                                  "backup-all", "--all", "--source", "src", "--target", "dst"},
                                 dir.path(), "sh");
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("Number of files copied: 4\n")) << run.out.toStdString();
    struct stat after {};
    ASSERT_EQ(fstatat(sourceFolder, "deepest.txt", &after, 0), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_ctim.tv_nsec, before.st_ctim.tv_nsec);
    close(sourceFolder);
    const int targetFolder = deepest(target, false);
    char copy[8] = {};
    const int copied = targetFolder >= 0 ? openat(targetFolder, "deepest.txt", O_RDONLY) : -1;
    EXPECT_EQ(copied >= 0 ? read(copied, copy, sizeof copy) : -1, 4);
    EXPECT_STREQ(copy, "deep");
    close(copied);
    close(targetFolder);
    QProcess::execute("rm", {"-rf", source + "a", target + "a"});
}

TEST_F(TrustTest, AFileWrittenDuringTheBackupIsNotInstalled) {
    sourceBefore.clear(); // the source is being written on purpose
    // Rewritten in place all the time, as a database file is: a copy would mix versions.
    const QString growing = source + "growing.log";
    WriteFile(growing, QByteArray(64 << 20, 'g'));
    std::atomic<bool> writing = true;
    std::atomic<int> writes = 0;
    std::thread writer([&] {
        const int fd = ::open(EncodeName(growing).constData(), O_WRONLY | O_CLOEXEC);
        for (char c = 'a'; writing && fd >= 0; c = c == 'z' ? 'a' : static_cast<char>(c + 1)) {
            const QByteArray block(4096, c);
            if (::pwrite(fd, block.constData(), 4096, (writes % 16384) * 4096) < 0)
                break;
            ++writes;
        }
        ::close(fd);
    });
    while (writes < 100)
        std::this_thread::yield();
    const int writesBefore = writes;
    // At the lowest priority, so that the writer is sure to run while the file is copied.
    const CliRun run =
        test::Cli({"-n", "19", VANTORO_CLI, "backup-all", "--source", "src", "--target", "dst"},
                  dir.path(), "nice");
    const int writesDuring = writes - writesBefore;
    writing = false;
    writer.join();
    EXPECT_EQ(run.status, 1) << run.out.toStdString() << "writes during the run: " << writesDuring;
    EXPECT_TRUE(run.out.contains(growing + "  " + ProgramText(413)));
    EXPECT_FALSE(QFile::exists(target + "growing.log")) << "no copy of a moving file";
    EXPECT_TRUE(QFile::exists(target + "a.txt"));
    EXPECT_TRUE(QDir(target).entryList({".~vantoro-*"}, QDir::Hidden | QDir::Files).isEmpty());

    const CliRun quiet = Cli({"backup-modified", "--source", "src", "--target", "dst"});
    EXPECT_EQ(quiet.status, 0);
    QFile copy(target + "growing.log");
    QFile original(growing);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly))
        << "the next run copies it";
    EXPECT_TRUE(copy.readAll() == original.readAll());
}

TEST_F(TrustTest, ABackupEndsOnTheDisk) {
    const QString trace = dir.path() + "/trace";
    const auto run = [&](const QString& command) {
        return test::Cli({"-f", "-e", "trace=syncfs", "-o", trace, VANTORO_CLI, command, "--source",
                          "src", "--target", "dst"},
                         dir.path(), "strace");
    };
    const CliRun copied = run("backup-all");
    if (copied.status == -1 || (copied.status != 0 && copied.err.startsWith("strace")))
        GTEST_SKIP() << "strace is missing or cannot trace here: " << copied.err.toStdString();
    EXPECT_EQ(copied.status, 0) << copied.err.toStdString();
    QFile log(trace);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString calls = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(calls.contains(QRegularExpression("syncfs\\(\\d+\\) += 0")))
        << "the target's file system was flushed: " << calls.toStdString();

    const CliRun nothing = run("backup-modified");
    EXPECT_EQ(nothing.status, 0);
    log.close();
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_FALSE(QString::fromUtf8(log.readAll()).contains("syncfs("))
        << "nothing copied, nothing to flush";
}

// A setup file keeps every name as its bytes, so the next run backs up the same subfolder;
// one that the run cannot find stops it with its name instead of being left out in silence.
TEST_F(TrustTest, ASetupFileKeepsEveryNameAndSaysWhichSubfolderIsGone) {
    const QByteArray odd = EncodeName(source) + "caf\xe9";
    ASSERT_EQ(mkdir(odd.constData(), 0755), 0);
    WriteFile(DecodeName(odd + "/menu.txt"), "soup");
    sourceBefore = TreeSnapshot(source);
    vnt::Setup setup;
    setup.sourceFolder = source;
    setup.targetFolder = target;
    setup.includedFolders = {DecodeName(QByteArray("caf\xe9")), "Letters"};
    const QString file = dir.path() + "/odd.vnt";
    ASSERT_TRUE(WriteSetupFile(file, setup));
    EXPECT_TRUE(ReadAll(file).contains("\r\n 2 \r\ncaf\xe9\r\nLetters\r\n")) << "its own bytes";
    EXPECT_EQ(ReadSetupFile(file).setup.includedFolders, setup.includedFolders);

    CliRun run = Cli({"backup-modified", "--setup", file});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    QFile copy;
    const int fd = ::open((EncodeName(target) + "caf\xe9/menu.txt").constData(), O_RDONLY);
    ASSERT_GE(fd, 0) << "the subfolder was backed up";
    ASSERT_TRUE(copy.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    EXPECT_EQ(copy.readAll(), "soup");
    EXPECT_TRUE(QFile::exists(target + "Letters/b.txt"));

    setup.includedFolders = {"Letters", "Gone", DecodeName(QByteArray("gon\xe9")), "a.txt"};
    ASSERT_TRUE(WriteSetupFile(file, setup));
    const QString targetBefore = TreeSnapshot(target);
    run = Cli({"backup-modified", "--setup", file});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.out.isEmpty()) << "nothing was done";
    EXPECT_TRUE(run.err.contains("Included subfolder " + source + "Gone/ does not exist.\n"));
    EXPECT_TRUE(run.err.contains(QString::fromUtf8("Included subfolder ") + source +
                                 QString::fromUtf8("gon\xef\xbf\xbd/ does not exist.")));
    EXPECT_TRUE(run.err.contains("Included subfolder " + source + "a.txt/ is not a folder."));
    EXPECT_FALSE(run.err.contains("Letters/ ")) << "the one that is there is not named";
    EXPECT_EQ(TreeSnapshot(target), targetBefore);

    // Qt's own clean-up cannot name these; do it by bytes.
    for (const QString& root : {source, target}) {
        ::unlink((EncodeName(root) + "caf\xe9/menu.txt").constData());
        ::rmdir((EncodeName(root) + "caf\xe9").constData());
    }
    sourceBefore.clear();
}

// A setup file of megabytes of random bytes with a "/" every few hundred (and one of many
// thousands of included names) is read and judged in a moment: every folder rule takes the
// names one at a time. Each rule used to spell every leading part of the path again: a
// megabyte took about a minute.
TEST_F(TrustTest, AHostileSetupFileIsJudgedInAMoment) {
    QRandomGenerator random(15);
    const auto noise = [&random](qsizetype size) {
        QByteArray bytes = "/";
        while (bytes.size() < size) {
            const char c = static_cast<char>(random.bounded(256));
            if (c != '\0' && c != '\r' && c != '\n')
                bytes += c;
            if (random.bounded(300) == 0)
                bytes += '/';
        }
        return bytes;
    };
    const QByteArray src = EncodeName(source);
    const QByteArray dst = EncodeName(target);
    const QByteArray options = "\r\n 0 \r\n 0 \r\n 0 \r\n 1 \r\n 0 \r\n 0 \r\n\r\n";
    const QByteArray deep = QByteArray("/a").repeated(1'500'000);
    const QByteArray manyNames = " 400000 \r\n" + QByteArray("Letters\r\n").repeated(400'000);
    const QByteArray files[] = {
        noise(3'000'000) + "\r\n" + dst + options + " 0 \r\n\r\n",
        src + "\r\n" + noise(3'000'000) + options + " 0 \r\n\r\n",
        src + "\r\n" + src + "Letters" + deep + options + " 0 \r\n\r\n",
        src + deep + "\r\n" + dst + options + " 0 \r\n\r\n",
        src + "\r\n" + dst + options + " 1 \r\n" + noise(3'000'000).mid(1) + "\r\n\r\n",
        src + "\r\n" + dst + options + manyNames + "\r\n",
    };
    const QString file = dir.path() + "/hostile.vnt";
    for (size_t i = 0; i < std::size(files); ++i) {
        WriteFile(file, files[i]);
        QElapsedTimer timer;
        timer.start();
        const CliRun run = Cli({"backup-all", "--create-target", "--setup", file});
        EXPECT_LT(timer.elapsed(), 2000) << "file " << i;
        EXPECT_EQ(run.status, i + 1 < std::size(files) ? 2 : 0) << "file " << i;
    }
    EXPECT_FALSE(QFileInfo::exists(source + "Letters/a")) << "no folder made in the deep path";
    EXPECT_TRUE(QFile::exists(target + "Letters/b.txt")) << "the many names are one subfolder";
}

} // namespace
} // namespace vnt::test
