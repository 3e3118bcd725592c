// The console program run the way an attacker or an unlucky user would: links, odd names,
// folders spelled in odd ways. Whatever happens, the source stays as it was, inode for inode.
#include "CliRun.h"
#include "mainwindow/Language.h"
#include "platform/FileCopy.h"
#include "platform/Names.h"
#include "setups/SetupFile.h"
#include "TestSupport.h"

#include <atomic>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
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

    // Line breaks and a terminal's escape in names: backed up under their bytes, and shown
    // escaped, so that no name starts a report line of its own or reaches the terminal raw.
    const QByteArray forged = "x\nAll copied.\r\nNumber of files copied: 99\x1b[2J.txt";
    const QString named = DecodeName(EncodeName(source) + "Letters/" + forged);
    WriteFile(named, "forged");
    const QString log = dir.path() + "/run.log";
    const CliRun again = Cli({"backup-modified", "--source", "src", "--target", "dst", "--include",
                              "Letters", "--log", log});
    EXPECT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_EQ(ReadAll(DecodeName(EncodeName(target) + "Letters/" + forged)), "forged");
    const QString escaped = "x\\nAll copied.\\r\\nNumber of files copied: 99\\x1b[2J.txt";
    for (const QString& report : {again.out, QString::fromUtf8(ReadAll(log))}) {
        EXPECT_TRUE(report.contains(escaped)) << report.toStdString();
        EXPECT_FALSE(report.contains('\x1b') || report.contains('\r'));
        const QStringList lines = report.split('\n');
        EXPECT_FALSE(lines.contains("All copied.")) << report.toStdString();
        EXPECT_EQ(lines.filter(QRegularExpression("^Number of files copied: ")).size(), 1);
    }
}

TEST_F(TrustTest, WhatIsLeftBehindIsNamedAndCounted) {
    Link(source + "Letters/Old", source + "Letters/old-link");
    WriteFile(target + "Letters", "a file where a folder must go");
    sourceBefore = TreeSnapshot(source);
    const CliRun run = Cli({"backup-all", "--source", "src", "--target", "dst", "--include",
                            "Letters", "--all-subfolders"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.contains(source + "Letters/old-link " + ProgramText(412)));
    EXPECT_TRUE(run.out.contains(ProgramText(165) + ": " + target + "Letters/  Not a directory\n"))
        << "with the system's reason";
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
                rename(at.constData(), at + ".aside" + QByteArray::number(round)) == 0 &&
                symlink(EncodeName(source + QString("d%1").arg(folder)).constData(),
                        at.constData()) != 0)
                continue; // the walk made the folder again first: the next round tries again
            if (round % 2 == 1 && lstat(at.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
                lstat(sub.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
                rename(sub.constData(), sub + ".aside" + QByteArray::number(round)) == 0 &&
                symlink(EncodeName(elsewhere).constData(), sub.constData()) != 0)
                continue;
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

TEST_F(TrustTest, AFileWrittenDuringTheBackupGetsOneTrueVersionOrNone) {
    sourceBefore.clear(); // the source is being written on purpose
    // Each piece of data copied is held 50 ms before the copy goes on (strace delays the
    // call's return), so the writers below are sure to write while a file is copied.
    const auto slowly = [&](const QStringList& arguments) {
        return test::Cli(QStringList{"-f", "-o", "/dev/null", "-e",
                                     "inject=copy_file_range:delay_exit=50000", VANTORO_CLI} +
                             arguments,
                         dir.path(), "strace");
    };
    if (const CliRun probe = slowly({"--version"}); probe.status != 0)
        GTEST_SKIP() << "strace is missing or cannot trace here: " << probe.err.toStdString();
    // Rewritten in place all the time, as a database file is: a copy would mix versions.
    const QString rewritten = source + "rewritten.db";
    WriteFile(rewritten, QByteArray(4 << 20, 'g'));
    std::atomic<bool> writing = true;
    std::atomic<int> writes = 0;
    std::thread writer([&] {
        const int fd = ::open(EncodeName(rewritten).constData(), O_WRONLY | O_CLOEXEC);
        for (char c = 'a'; writing && fd >= 0; c = c == 'z' ? 'a' : static_cast<char>(c + 1)) {
            const QByteArray block(4096, c);
            if (::pwrite(fd, block.constData(), 4096, (writes % 1024) * 4096) < 0)
                break;
            ++writes;
        }
        ::close(fd);
    });
    while (writes < 100)
        std::this_thread::yield();
    const CliRun run = slowly({"backup-all", "--source", "src", "--target", "dst"});
    writing = false;
    writer.join();
    EXPECT_EQ(run.status, 1) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(rewritten + "  " + ProgramText(413))) << run.out.toStdString();
    EXPECT_FALSE(QFile::exists(target + "rewritten.db")) << "no copy of a moving file";
    EXPECT_TRUE(QFile::exists(target + "a.txt"));
    EXPECT_TRUE(QDir(target).entryList({".~vantoro-*"}, QDir::Hidden | QDir::Files).isEmpty());
    const CliRun quiet = Cli({"backup-modified", "--source", "src", "--target", "dst"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(ReadAll(target + "rewritten.db"), ReadAll(rewritten)) << "taken once it is still";

    // A log appended to all the time is backed up as it was when its copy began: its first
    // bytes do not change.
    const QString log = source + "Letters/appended.log";
    WriteFile(log, QByteArray(4 << 20, 'l'));
    writing = true;
    writes = 0;
    std::thread appender([&] {
        const int fd = ::open(EncodeName(log).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        while (writing && fd >= 0 && ::write(fd, "line of the log\n", 16) == 16) {
            ++writes;
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        ::close(fd);
    });
    while (writes < 20)
        std::this_thread::yield();
    const CliRun appended =
        slowly({"backup-modified", "--source", "src", "--target", "dst", "--include", "Letters"});
    writing = false;
    appender.join();
    EXPECT_EQ(appended.status, 0) << appended.out.toStdString();
    EXPECT_TRUE(appended.out.contains(QRegularExpression(
        QRegularExpression::escape(log) +
        " copied as it was at \\d\\d:\\d\\d:\\d\\d; it was still being written")))
        << appended.out.toStdString();
    const QByteArray backedUp = ReadAll(target + "Letters/appended.log");
    EXPECT_GE(backedUp.size(), 4 << 20);
    EXPECT_LT(backedUp.size(), ReadAll(log).size());
    EXPECT_EQ(backedUp, ReadAll(log).left(backedUp.size())) << "one true version: the first bytes";
}

// A disk of its own (a file system image or a tmpfs) mounted for the test's life.
class ScopedMount {
public:
    ScopedMount(const QString& at, const QStringList& mountArguments) : point(at) {
        QDir().mkpath(at);
        QProcess mount;
        mount.start("mount", mountArguments + QStringList{at});
        mounted = mount.waitForFinished(20000) && mount.exitStatus() == QProcess::NormalExit &&
                  mount.exitCode() == 0;
        why = QString::fromUtf8(mount.readAllStandardError());
    }
    ~ScopedMount() {
        if (mounted)
            ::umount2(EncodeName(point).constData(), MNT_DETACH);
    }
    ScopedMount(const ScopedMount&) = delete;
    ScopedMount& operator=(const ScopedMount&) = delete;
    bool mounted = false;
    QString why;

private:
    QString point;
};

void Sized(const QString& path, qint64 size) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(size));
}

TEST_F(TrustTest, WindowsRulesCostALinuxUserNoData) {
    // A Linux disk: Windows' names there are the user's folders; Linux's trash is not.
    const QString disk = dir.path() + "/disk/";
    ScopedMount linuxDisk(disk, {"-t", "tmpfs", "-o", "size=64m", "tmpfs"});
    if (!linuxDisk.mounted)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << linuxDisk.why.toStdString();
    for (const char* folder : {"Recycled", "RECYCLER", "thesis.system-notes", ".Trash-1000"})
        ASSERT_TRUE(QDir().mkpath(disk + folder));
    WriteFile(disk + "Recycled/r.txt", "mine");
    WriteFile(disk + "RECYCLER/r.txt", "mine too");
    WriteFile(disk + ".Trash-1000/t.txt", "thrown away");
    Sized(disk + "thesis.system-notes/draft.iso", 10487561);
    Sized(disk + "my.sys.notes", 10487561);
    Sized(disk + "pagefile.sys", 10487561);
    Sized(disk + "hiberfil.sys", 10487560);
    const CliRun run = Cli({"backup-all", "--source", disk, "--target", "dst", "--all", "--json"});
    EXPECT_EQ(run.status, 1) << "a file was left out: " << run.out.toStdString();
    for (const char* copied : {"Recycled/r.txt", "RECYCLER/r.txt", "thesis.system-notes/draft.iso",
                               "my.sys.notes", "hiberfil.sys"})
        EXPECT_TRUE(QFile::exists(target + copied)) << copied;
    EXPECT_FALSE(QFile::exists(target + "pagefile.sys"));
    EXPECT_FALSE(QFileInfo::exists(target + ".Trash-1000"));
    EXPECT_TRUE(run.out.contains("\"path\": \"" + disk + "pagefile.sys\"")) << "a JSON failure";
    EXPECT_TRUE(run.out.contains("\"errors\": 1"));
    const CliRun report = Cli({"check", "--source", disk, "--target", "dst", "--all"});
    EXPECT_TRUE(report.out.contains("      " + disk + ".Trash-1000/ " + ProgramText(419)))
        << report.out.toStdString();
    const CliRun again = Cli({"backup-all", "--source", disk, "--target", "dst", "--all"});
    EXPECT_TRUE(again.out.contains("      " + ProgramText(390) + " " + disk + "pagefile.sys."));
    EXPECT_TRUE(again.out.contains("Number of errors when attempting to copy a file: 1\n"));

    // A disk Windows writes: its recycle bin is left out and named.
    const QString image = dir.path() + "/fat.img";
    Sized(image, 8 * 1024 * 1024);
    QProcess format;
    format.start("mkfs.vfat", {image});
    if (!format.waitForFinished(20000) || format.exitCode() != 0)
        GTEST_SKIP() << "mkfs.vfat is missing";
    const QString fat = dir.path() + "/fat/";
    ScopedMount windowsDisk(fat, {"-o", "loop", image});
    if (!windowsDisk.mounted)
        GTEST_SKIP() << "cannot mount a disk image here: " << windowsDisk.why.toStdString();
    ASSERT_TRUE(QDir().mkpath(fat + "RECYCLED"));
    WriteFile(fat + "RECYCLED/deleted.txt", "deleted");
    WriteFile(fat + "kept.txt", "kept");
    const CliRun windows =
        Cli({"backup-all", "--source", fat, "--target", "dst/fat", "--all", "--create-target"});
    EXPECT_EQ(windows.status, 0) << windows.out.toStdString() << windows.err.toStdString();
    EXPECT_TRUE(QFile::exists(target + "fat/kept.txt"));
    EXPECT_FALSE(QFileInfo::exists(target + "fat/RECYCLED"));
    EXPECT_EQ(windows.out.count(ProgramText(419)), 1) << windows.out.toStdString();
    EXPECT_TRUE(windows.out.contains(fat + "RECYCLED/ " + ProgramText(419)));
}

TEST_F(TrustTest, AClosedLostAndFoundAtADiskRootIsNamedOnceAndIsNoError) {
    // As mkfs leaves it at every ext4 root: root's own, closed to the user backing up.
    const QString disk = dir.path() + "/disk/";
    ScopedMount linuxDisk(disk, {"-t", "tmpfs", "-o", "size=8m,mode=0755", "tmpfs"});
    if (!linuxDisk.mounted)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << linuxDisk.why.toStdString();
    ASSERT_TRUE(QDir().mkpath(disk + "lost+found") && QDir().mkpath(disk + "home/me"));
    WriteFile(disk + "lost+found/#1234", "a piece of a file fsck found");
    ASSERT_EQ(chmod(EncodeName(disk + "lost+found").constData(), 0700), 0);
    WriteFile(disk + "home/me/notes.txt", "notes");
    WriteFile(disk + "top.txt", "top");
    const QString backup = dir.path() + "/user-backup/";
    ASSERT_TRUE(QDir().mkpath(backup));
    OpenForOthers(backup);
    constexpr uid_t nobody = 65534;
    ASSERT_EQ(chown(EncodeName(backup).constData(), nobody, nobody), 0);
    const auto asUser = [] {
        if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0)
            _exit(99);
    };
    for (const char* command : {"list", "check", "backup-modified", "verify"}) {
        const CliRun run = CliInChild({command, "--source", disk, "--target", backup}, asUser);
        EXPECT_EQ(run.status, 0) << command << "\n"
                                 << run.out.toStdString() << run.err.toStdString();
        EXPECT_FALSE(run.out.contains("Permission denied")) << command << run.out.toStdString();
        EXPECT_FALSE(run.out.contains("? files")) << command << run.out.toStdString();
        if (QByteArray(command) != "list") {
            EXPECT_EQ(run.out.count(ProgramText(419)), 1) << command << run.out.toStdString();
            EXPECT_TRUE(run.out.contains(disk + "lost+found/ " + ProgramText(419))) << command;
        }
    }
    EXPECT_EQ(ReadAll(backup + "home/me/notes.txt"), "notes");
    EXPECT_EQ(ReadAll(backup + "top.txt"), "top");
    EXPECT_FALSE(QFileInfo::exists(backup + "lost+found"));

    // The desktop's choice of every subfolder of the disk, saved for a scheduled run.
    vnt::Setup whole;
    whole.sourceFolder = disk;
    whole.targetFolder = backup;
    whole.includedFolders = {"home", "lost+found"};
    whole.includeSubfolders = 1;
    const QString setupFile = dir.filePath("disk.vnt");
    ASSERT_TRUE(WriteSetupFile(setupFile, whole));
    ASSERT_EQ(chmod(EncodeName(setupFile).constData(), 0644), 0);
    const CliRun scheduled = CliInChild({"check", "--setup", setupFile}, asUser);
    EXPECT_EQ(scheduled.status, 0) << scheduled.err.toStdString();
    EXPECT_EQ(scheduled.out.count(ProgramText(419)), 1) << scheduled.out.toStdString();
}

TEST_F(TrustTest, ALinkInTheTargetIsNeverTakenForACopy) {
    // What a link in the target shows has the source's size and time: it is still no copy.
    const QString outside = dir.path() + "/outside.txt";
    WriteFile(outside, "aaa");
    struct stat st {};
    ASSERT_EQ(stat(EncodeName(source + "a.txt").constData(), &st), 0);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, EncodeName(outside).constData(), times, 0), 0);
    Link(outside, target + "a.txt");
    const QString outsideBefore = TreeSnapshot(outside);
    const CliRun verify = Cli({"verify", "--source", "src", "--target", "dst"});
    EXPECT_EQ(verify.status, 1);
    EXPECT_TRUE(verify.out.contains(source + "a.txt (Not in target)")) << verify.out.toStdString();
    const CliRun check = Cli({"check", "--source", "src", "--target", "dst"});
    EXPECT_TRUE(check.out.contains(source + "a.txt " + ProgramText(65))) << "new";
    const CliRun backup = Cli({"backup-modified", "--source", "src", "--target", "dst"});
    EXPECT_EQ(backup.status, 0) << backup.out.toStdString();
    ASSERT_EQ(lstat(EncodeName(target + "a.txt").constData(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode)) << "the link was replaced by a real copy";
    EXPECT_EQ(ReadAll(target + "a.txt"), "aaa");
    EXPECT_EQ(TreeSnapshot(outside), outsideBefore) << "what the link led to is untouched";
    EXPECT_EQ(Cli({"verify", "--source", "src", "--target", "dst"}).status, 0);
}

// A file system mounted by the test itself, unmounted when the test ends.
struct MountPoint {
    QByteArray at;
    ~MountPoint() {
        if (!at.isEmpty())
            umount2(at.constData(), MNT_DETACH);
    }
};

TEST_F(TrustTest, ASparseFileStaysSparseAndFitsWhereItsDataFits) {
    // 64 MiB that hold 3 MiB of data, in two places and with a hole at the end.
    const QByteArray sparse = EncodeName(source + "disk.img");
    const int fd = ::open(sparse.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    QByteArray data(3 << 20, 0);
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7 + i / 4099);
    ASSERT_EQ(::ftruncate(fd, 64 << 20), 0);
    ASSERT_EQ(::pwrite(fd, data.constData(), 1 << 20, 1 << 20), 1 << 20);
    ASSERT_EQ(::pwrite(fd, data.constData() + (1 << 20), 2 << 20, 40 << 20), 2 << 20);
    ::close(fd);
    struct stat st {};
    ASSERT_EQ(::stat(sparse.constData(), &st), 0);
    if (st.st_blocks * 512 >= st.st_size)
        GTEST_SKIP() << "the temporary folder's file system keeps no holes";
    if (getuid() != 0)
        GTEST_SKIP() << "mounting a small target needs root";
    // A target of 8 MiB: the file's size would never fit, its data does.
    MountPoint small{EncodeName(dir.path() + "/small")};
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/small"));
    if (mount("tmpfs", small.at.constData(), "tmpfs", 0, "size=8m") != 0) {
        small.at.clear();
        GTEST_SKIP() << "tmpfs cannot be mounted here";
    }
    sourceBefore = TreeSnapshot(source);
    const CliRun run = Cli({"backup-all", "--all", "--source", "src", "--target", "small"});
    EXPECT_EQ(run.status, 0) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("Number of files copied: 4\n")) << run.out.toStdString();
    const QString copy = dir.path() + "/small/disk.img";
    EXPECT_TRUE(ReadAll(copy) == ReadAll(source + "disk.img"));
    ASSERT_EQ(::stat(EncodeName(copy).constData(), &st), 0);
    EXPECT_EQ(st.st_size, 64 << 20);
    EXPECT_LE(st.st_blocks * 512, (3 << 20) + 65536) << "the holes stayed holes";
    const CliRun again = Cli({"backup-modified", "--all", "--source", "src", "--target", "small"});
    EXPECT_EQ(again.status, 0);
    EXPECT_TRUE(again.out.contains("Number of files copied: 0\n")) << again.out.toStdString();
}

TEST_F(TrustTest, PermissionsNeverWidenWhereverTheCopyGoes) {
    if (getuid() != 0)
        GTEST_SKIP() << "mounting a file system without access lists needs root";
    // A private file that one more user may read, a shared one that one user may not, and
    // one that a group may not although everybody else may.
    const QString private_ = source + "Letters/private.txt";
    const QString shared = source + "Letters/shared.txt";
    const QString team = source + "Letters/team.txt";
    WriteFile(private_, "mine");
    WriteFile(shared, "ours");
    WriteFile(team, "not theirs");
    ASSERT_EQ(chmod(EncodeName(private_).constData(), 0600), 0);
    ASSERT_EQ(chmod(EncodeName(shared).constData(), 0664), 0);
    ASSERT_EQ(chmod(EncodeName(team).constData(), 0664), 0);
    const auto setfacl = [](const QString& entry, const QString& file) {
        return QProcess::execute("setfacl", {"-m", entry, file});
    };
    if (setfacl("u:nobody:r", private_) != 0)
        GTEST_SKIP() << "setfacl is missing or the temporary folder keeps no access lists";
    ASSERT_EQ(setfacl("u:nobody:-", shared), 0);
    ASSERT_EQ(setfacl("g:nogroup:-", team), 0);
    ASSERT_EQ(setxattr(EncodeName(private_).constData(), "user.note", "kept", 4, 0), 0);
    // A file kept private only by its folder, as in ~/.ssh.
    const QString diary = source + "Letters/Diary/";
    ASSERT_TRUE(QDir().mkpath(diary));
    WriteFile(diary + "today.txt", "dear diary");
    ASSERT_EQ(chmod(EncodeName(diary).constData(), 0700), 0);
    sourceBefore = TreeSnapshot(source);
    const auto getfacl = [](const QString& file) {
        QProcess process;
        process.start("getfacl", {"--omit-header", "--absolute-names", file});
        process.waitForFinished();
        return process.readAllStandardOutput();
    };
    const auto mode = [](const QString& file) {
        struct stat st {};
        return ::stat(EncodeName(file).constData(), &st) == 0 ? st.st_mode & 07777 : 07777;
    };
    const auto note = [](const QString& file) {
        char value[16] = {};
        return getxattr(EncodeName(file).constData(), "user.note", value, sizeof value) == 4
                   ? QByteArray(value)
                   : QByteArray("<none>");
    };
    const QString line = "Access lists (ACLs) could not be kept on the target's file system; the "
                         "copies grant no more than their sources.";

    // Where no extended attribute is held at all (ramfs), a copy goes without them.
    MountPoint bare{EncodeName(dir.path() + "/bare")};
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/bare"));
    ASSERT_EQ(mount("ramfs", bare.at.constData(), "ramfs", 0, nullptr), 0);
    const CopyOutcome plain = CopySingleFile(private_, dir.path() + "/bare/private.txt");
    EXPECT_TRUE(plain.copied && plain.accessListDropped) << plain.error.description.toStdString();
    EXPECT_EQ(mode(dir.path() + "/bare/private.txt"), 0600u);

    // Where access lists are kept, each copy has its source's, its mode and its attributes.
    const CliRun kept = Cli({"backup-all", "--all", "--source", "src", "--target", "dst"});
    EXPECT_EQ(kept.status, 0) << kept.out.toStdString();
    EXPECT_FALSE(kept.out.contains(line));
    for (const QString& file : {private_, shared, team}) {
        const QString copy = target + "Letters/" + QFileInfo(file).fileName();
        EXPECT_EQ(getfacl(copy), getfacl(file)) << copy.toStdString();
        EXPECT_EQ(mode(copy), mode(file)) << copy.toStdString();
    }
    EXPECT_EQ(note(target + "Letters/private.txt"), "kept");
    // Every folder the backup makes grants no more than its source folder; its own folders
    // (the catalogue names every file, the kept copies are the files) are the owner's.
    EXPECT_EQ(mode(target + "Letters/Diary"), 0700u);
    EXPECT_EQ(mode(target + "Letters"), mode(source + "Letters") | 0700u);
    EXPECT_EQ(mode(target + ".vantoro"), 0700u);
    WriteFile(diary + "today.txt", "dear diary, again");
    sourceBefore = TreeSnapshot(source);
    EXPECT_EQ(Cli({"backup-modified", "--all", "--source", "src", "--target", "dst",
                   "--keep-replaced"})
                  .status,
              0);
    EXPECT_EQ(mode(target + ".vantoro-replaced"), 0700u);
    EXPECT_EQ(mode(target + "Letters/Diary"), 0700u);
    // A private home backed up into a target made for it: the target is as private.
    ASSERT_EQ(chmod(EncodeName(source).constData(), 0700), 0);
    sourceBefore = TreeSnapshot(source);
    EXPECT_EQ(Cli({"backup-all", "--all", "--source", "src", "--target", "made/home",
                   "--create-target"})
                  .status,
              0);
    EXPECT_EQ(mode(dir.path() + "/made/home"), 0700u);
    EXPECT_EQ(mode(dir.path() + "/made"), 0700u);

    // Where they are not (btrfs mounted without them), no copy grants more than its source.
    const QString image = dir.path() + "/noacl.img";
    MountPoint noAcl{EncodeName(dir.path() + "/noacl")};
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/noacl"));
    ASSERT_TRUE(QFile(image).open(QIODevice::WriteOnly) && QFile(image).resize(128 << 20));
    const auto quietly = [](const QString& program, const QStringList& arguments) {
        QProcess process;
        process.start(program, arguments);
        return process.waitForFinished() && process.exitStatus() == QProcess::NormalExit
                   ? process.exitCode()
                   : -1;
    };
    if (quietly("mkfs.btrfs", {"-q", image}) != 0 ||
        quietly("mount", {"-o", "loop,noacl", image, dir.path() + "/noacl"}) != 0) {
        noAcl.at.clear();
        GTEST_SKIP() << "no btrfs to mount without access lists (btrfs-progs, loop devices)";
    }
    const CliRun dropped = Cli({"backup-all", "--all", "--source", "src", "--target", "noacl"});
    EXPECT_EQ(dropped.status, 0) << dropped.out.toStdString();
    EXPECT_EQ(dropped.out.count(line), 1) << dropped.out.toStdString();
    const QString copies = dir.path() + "/noacl/Letters/";
    EXPECT_EQ(ReadAll(copies + "private.txt"), "mine");
    EXPECT_EQ(mode(copies + "private.txt"), 0600u) << "the owning group gets nothing";
    EXPECT_EQ(mode(copies + "shared.txt"), 0600u) << "nobody may be in the group, or not";
    EXPECT_EQ(mode(copies + "team.txt"), 0660u) << "members of nogroup are among the others";
    EXPECT_EQ(mode(copies + "b.txt"), mode(source + "Letters/b.txt")) << "no list, no change";
    EXPECT_EQ(note(copies + "private.txt"), "kept");
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
