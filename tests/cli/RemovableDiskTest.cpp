// Backups onto the disks people plug in (exFAT, NTFS, FAT32 through their FUSE drivers):
// every file is either in the backup, byte for byte, or named in the report; a second run,
// after the disk was plugged in again, copies nothing; verify agrees.
#include "CliRun.h"
#include "platform/Names.h"
#include "RemovableDisk.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDateTime>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace vnt::test {
namespace {

using Format = RemovableDisk::Format;

class RemovableDiskTest : public ::testing::TestWithParam<Format> {
protected:
    QTemporaryDir dir;
    QString source = dir.path() + "/home/";

    void SetUp() override {
        if (::geteuid() != 0 || ::access("/dev/fuse", R_OK | W_OK) != 0)
            GTEST_SKIP() << "FUSE disks need root and /dev/fuse";
        ASSERT_TRUE(dir.isValid());
    }

    void MakeSource() {
        QDir().mkpath(source + "Docs");
        QDir().mkpath(source + "docs");
        QDir().mkpath(source + "private");
        WriteFile(source + "Report.txt", "first");
        WriteFile(source + "report.txt", "the second, longer");
        WriteFile(source + "Docs/one.txt", "one");
        WriteFile(source + "docs/two.txt", "two");
        WriteFile(source + "private/secret.txt", "secret");
        ::chmod(EncodeName(source + "private/secret.txt").constData(), 0600);
        ::chmod(EncodeName(source + "private").constData(), 0700);
        WriteFile(source + "old.txt", "from 1965");
        SetLastWriteUtc(source + "old.txt", 1965, 6, 1, 12, 0, 0);
        WriteFile(source + "future.txt", "from 2110");
        SetLastWriteUtc(source + "future.txt", 2110, 6, 1, 12, 0, 0);
        WriteFile(source + "tool", "#!/bin/sh\n");
        ::chmod(EncodeName(source + "tool").constData(), 04755);
        WriteFile(source + "tagged.txt", "with an attribute");
        ::setxattr(EncodeName(source + "tagged.txt").constData(), "user.note", "kept", 4, 0);
        // A pipe never reaches the target, so it takes no file's name there.
        ASSERT_EQ(::mkfifo(EncodeName(source + "TAGGED.txt").constData(), 0600), 0);
        WriteFile(source + "a:b.txt", "a colon");
        WriteFile(source + "notes.", "a final dot");
        {
            // Holes in its middle and at its end, which no Windows disk keeps.
            QFile sparse(source + "sparse.img");
            ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
            sparse.write("start");
            sparse.seek(300 << 10);
            sparse.write("middle");
            ASSERT_TRUE(sparse.resize(600 << 10));
        }
        WriteFile(source + "con.txt", "a device's name on Windows");
        QDir().mkpath(source + "c:d");
        WriteFile(source + "c:d/in.txt", "in a folder named with a colon");
        ASSERT_EQ(::symlink("private", EncodeName(source + "linked").constData()), 0);
        // A real tree nobody here wrote: its headers differ only by case in places.
        QProcess copy;
        copy.start("cp", {"-r", "/usr/include/linux/netfilter", source + "include"});
        copy.waitForFinished(30000);
    }

    // Every file of the source is in the backup with its bytes, or named as left behind.
    void ExpectEachFileCopiedOrNamed(const QString& backup, const CliRun& run) {
        QDirIterator it(source, QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString copy = backup + path.mid(source.size());
            // On a disk that folds case the other file of a pair is found under its name.
            if (QFileInfo(copy).isFile() && QFileInfo(path).size() < (1 << 20) &&
                ReadAll(copy) == ReadAll(path))
                continue;
            const bool named = run.out.contains("Error accessing " + path + "  ") ||
                               run.out.contains("Error accessing " + path.section(u'/', 0, -2) +
                                                "/  ");
            EXPECT_TRUE(named) << path.toStdString() << " is neither copied nor named";
        }
    }
};

TEST_P(RemovableDiskTest, EveryFileIsCopiedOrNamedAndASecondRunCopiesNothing) {
    RemovableDisk disk(GetParam(), dir.path());
    if (!disk.mounted)
        GTEST_SKIP() << "cannot mount the disk: " << disk.why.toStdString();
    MakeSource();
    const QString backup = disk.mountPoint + "backup/";
    const QStringList backupCommand{"backup-modified", "--source", source, "--target", backup};
    const Format format = GetParam();
    if (format == Format::Fat32) {
        // One byte more than FAT32 holds; sparse, so it costs the source nothing.
        QFile large(source + "large.iso");
        ASSERT_TRUE(large.open(QIODevice::WriteOnly) && large.resize((qint64{4} << 30)));
    }
    const CliRun first = Cli(backupCommand + QStringList{"--create-target"});
    const bool windowsNames = format != Format::Ntfs;
    const bool folds = format == Format::ExFat || format == Format::Fat32;
    const bool ntfs = format == Format::Ntfs || format == Format::NtfsWindowsNames;
    // Whatever is left out makes the run fail; on plain NTFS nothing is.
    ASSERT_EQ(first.status, windowsNames ? 1 : 0) << first.out.toStdString();
    ExpectEachFileCopiedOrNamed(backup, first);

    // What the disk cannot hold is said in words, once.
    EXPECT_EQ(first.out.count("The backup disk " + disk.mountPoint.chopped(1) + " keeps no "), 2)
        << first.out.toStdString();
    EXPECT_TRUE(first.out.contains(ntfs ? "keeps no permissions or owners;"
                                        : "keeps no permissions, owners or extended attributes;"));
    EXPECT_FALSE(first.out.contains("grant no more than their sources"));
    EXPECT_TRUE(first.out.contains("keeps no set-user-ID or set-group-ID bits"));
    EXPECT_TRUE(QFile::exists(backup + "tool")) << "a set-user-ID file is backed up without it";
    EXPECT_EQ(ReadAll(backup + "tagged.txt"), "with an attribute");
    EXPECT_EQ(ReadAll(backup + "sparse.img"), ReadAll(source + "sparse.img"));
    if (folds) {
        const QString at = QRegularExpression::escape("Error accessing " + source);
        EXPECT_TRUE(first.out.contains(
            QRegularExpression(at + "[Rr]eport.txt  not copied: on this disk its name is the same as "
                               "[Rr]eport.txt")));
        EXPECT_TRUE(first.out.contains(source + "include/xt_connmark.h  not copied") ||
                    first.out.contains(source + "include/xt_CONNMARK.h  not copied"));
        EXPECT_TRUE(first.out.contains(QRegularExpression(at + "[Dd]ocs/  not copied")));
        EXPECT_TRUE(first.out.contains(source +
                                       "old.txt keeps its contents but not its time: this disk "
                                       "holds times from 1980 to 2107"));
    } else {
        EXPECT_EQ(ReadAll(backup + "report.txt"), "the second, longer");
        EXPECT_EQ(ReadAll(backup + "Report.txt"), "first");
    }
    if (format == Format::Fat32) {
        EXPECT_TRUE(first.out.contains(source + "large.iso  this disk holds files up to 4 GiB"))
            << first.out.toStdString();
    }
    if (format == Format::NtfsWindowsNames) {
        EXPECT_TRUE(first.out.contains(
            source + "con.txt  this disk does not allow the name con, which Windows keeps for a "
                     "device"));
        EXPECT_TRUE(first.out.contains(
            source + "notes.  this disk does not allow names that end in a dot or a blank"));
    }
    if (format == Format::ExFat || format == Format::Ntfs) {
        EXPECT_EQ(ReadAll(backup + "notes."), "a final dot") << "the disk holds it";
        EXPECT_EQ(ReadAll(backup + "con.txt"), "a device's name on Windows");
    }
    if (windowsNames) {
        EXPECT_TRUE(first.out.contains(
            source + "a:b.txt  this disk does not allow the character ':' in names"));
        EXPECT_TRUE(first.out.contains(
            backup + "c:d/  this disk does not allow the character ':' in names"))
            << first.out.toStdString();
    }
    EXPECT_TRUE(first.out.contains(source + "linked is a link to a folder"));

    // Plugged in again: the driver's caches are gone, the times are what the disk holds.
    ASSERT_TRUE(disk.Remount()) << disk.why.toStdString();
    const CliRun second = Cli(backupCommand);
    EXPECT_EQ(second.status, first.status);
    EXPECT_TRUE(second.out.contains("Number of files copied: 0\n")) << second.out.toStdString();
    ExpectEachFileCopiedOrNamed(backup, second);
    const CliRun verify = Cli({"verify", "--source", source, "--target", backup});
    EXPECT_EQ(verify.status, first.status) << verify.out.toStdString();
    EXPECT_TRUE(verify.out.contains("Number of files whose contents differ: 0"));
    EXPECT_FALSE(verify.out.contains("(repaired)"));
    const CliRun history = Cli({"history", "--target", backup});
    EXPECT_EQ(history.status, 0) << history.out.toStdString() << history.err.toStdString();
    EXPECT_EQ(history.out.count("backup-modified"), 2) << history.out.toStdString();

    // Restored from a disk that shows every file open to all, each file has its own mode.
    const QString restored = dir.path() + "/restored/";
    ASSERT_TRUE(QDir().mkpath(restored));
    const CliRun restore =
        Cli({"restore", "--source", source, "--target", backup, "--into", restored});
    EXPECT_EQ(restore.status, 0) << restore.out.toStdString();
    const auto mode = [](const QString& path) {
        struct stat st {};
        return ::stat(EncodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 07777u;
    };
    EXPECT_EQ(mode(restored + "private/secret.txt"), 0600u);
    EXPECT_EQ(mode(restored + "private"), 0700u);
    EXPECT_EQ(mode(restored + "old.txt"), mode(source + "old.txt"));
    EXPECT_EQ(mode(restored + "tool") & 06000, 0u) << "no set-ID bit the backup did not hold";
    EXPECT_EQ(ReadAll(restored + "private/secret.txt"), "secret");

    // An older version kept on the disk comes back with the mode it had then.
    const QString beforeChange = QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss");
    WriteFile(source + "private/secret.txt", "secret, shared now");
    ::chmod(EncodeName(source + "private/secret.txt").constData(), 0640);
    EXPECT_EQ(Cli(backupCommand + QStringList{"--keep-replaced"}).status, first.status);
    const QString then = dir.path() + "/then/";
    ASSERT_TRUE(QDir().mkpath(then));
    const CliRun asOf = Cli({"restore", "--source", source, "--target", backup, "--into", then,
                             "--as-of", beforeChange, "private/secret.txt"});
    EXPECT_EQ(asOf.status, 0) << asOf.out.toStdString() << asOf.err.toStdString();
    EXPECT_EQ(ReadAll(then + "private/secret.txt"), "secret");
    EXPECT_EQ(mode(then + "private/secret.txt"), 0600u);

    // Restored onto the disk from a backup on Linux: never one file of a pair over the other.
    const QString local = dir.path() + "/local/";
    EXPECT_EQ(Cli({"backup-all", "--source", source, "--target", local, "--create-target"}).status,
              0);
    const QString onDisk = disk.mountPoint + "restored/";
    ASSERT_TRUE(QDir().mkpath(onDisk));
    const CliRun back = Cli({"restore", "--source", source, "--target", local, "--into", onDisk,
                             "--overwrite"});
    EXPECT_EQ(back.status, folds || windowsNames ? 1 : 0) << back.out.toStdString();
    if (folds) {
        EXPECT_TRUE(back.out.contains(QRegularExpression(
            QRegularExpression::escape(onDisk) + "[Rr]eport.txt  not copied: on this disk its "
                                                 "name is the same as [Rr]eport.txt")))
            << back.out.toStdString();
        EXPECT_TRUE(back.out.contains("Number of replaced files kept aside: 0"))
            << back.out.toStdString();
    }
}

// The disk pulled out (its driver killed) halfway: one line, not one error a file, and a
// failed run.
TEST_F(RemovableDiskTest, ADiskPulledOutStopsTheRunWithOneLine) {
    RemovableDisk disk(Format::Fat32, dir.path());
    if (!disk.mounted)
        GTEST_SKIP() << "cannot mount the disk: " << disk.why.toStdString();
    for (int folder = 0; folder < 10; ++folder) {
        ASSERT_TRUE(QDir().mkpath(source + QString("d%1").arg(folder)));
        for (int file = 0; file < 40; ++file)
            WriteFile(source + QString("d%1/f%2").arg(folder).arg(file), QByteArray(8000, 'x'));
    }
    const CliRun run = CliInChild(
        {"backup-all", "--source", source, "--target", disk.mountPoint + "b", "--create-target"},
        {}, Captured, [&](pid_t, int) {
            // Pulled out once a few folders are in, long before the last.
            QElapsedTimer waited;
            waited.start();
            while (!QFileInfo::exists(disk.mountPoint + "b/d2/f1") && waited.elapsed() < 30000)
                ::usleep(500);
            QProcess::execute("pkill", {"-9", "-f", "fusefat .*" + disk.image});
        });
    EXPECT_EQ(run.status, 1) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QRegularExpression(
        "The backup disk was disconnected during the run; \\d+ files? (was|were) not copied\\.")))
        << run.out.toStdString();
    EXPECT_EQ(run.out.count("Error accessing"), 0) << run.out.toStdString();
    EXPECT_FALSE(run.out.contains("Number of files copied: 400"));
}

INSTANTIATE_TEST_SUITE_P(Disks, RemovableDiskTest,
                         ::testing::Values(Format::ExFat, Format::Ntfs, Format::NtfsWindowsNames,
                                           Format::Fat32),
                         [](const auto& test) { return RemovableDisk::Name(test.param); });

} // namespace
} // namespace vnt::test
