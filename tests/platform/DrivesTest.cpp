#include "platform/Drives.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <unistd.h>

namespace vnt {
namespace {
using test::WriteFile;

TEST(RootPrefix, LongestMountPointThatHoldsThePathByText) {
    const QStringList mounts = {"/", "/media/me/USB", "/media/me/USB/inner", "/home/"};
    EXPECT_EQ(RootPrefixIn("/media/me/USB/Photos/2024/", mounts), "/media/me/USB/");
    EXPECT_EQ(RootPrefixIn("/media/me/USB", mounts), "/media/me/USB/");
    EXPECT_EQ(RootPrefixIn("/media/me/USB/inner/x", mounts), "/media/me/USB/inner/");
    EXPECT_EQ(RootPrefixIn("/media/me/USBX/", mounts), "/") << "a longer name is another folder";
    EXPECT_EQ(RootPrefixIn("/home/me/", mounts), "/home/");
    EXPECT_EQ(RootPrefixIn("/etc/", mounts), "/");
    EXPECT_EQ(RootPrefixIn("/etc/", {}), "/");
    EXPECT_EQ(RootPrefixIn("relative/", mounts), "");
    EXPECT_EQ(RootPrefixIn("", mounts), "");
}

TEST(BackupDiskAbsent, AMountPointInFstabThatIsNotMountedHoldsNoBackup) {
    QTemporaryDir dir;
    const QString point = dir.path() + "/my disk";
    ASSERT_TRUE(QDir().mkpath(point));
    const QString fstab = dir.path() + "/fstab";
    QString escaped = point;
    WriteFile(fstab, "# a comment\nUUID=1234 / ext4 defaults 0 1\n"
                     "LABEL=BACKUP\t" + escaped.replace(" ", "\\040").toUtf8() +
                         " ext4 noauto,user 0 2\nnone swap sw 0 0\n");
    EXPECT_TRUE(BackupDiskAbsent(point + "/Backup/", fstab)) << "missing, below the mount point";
    EXPECT_TRUE(BackupDiskAbsent(point, fstab)) << "the empty mount point itself";
    EXPECT_FALSE(BackupDiskAbsent(dir.path() + "/elsewhere/", fstab));
    EXPECT_FALSE(BackupDiskAbsent(point + "x/Backup/", fstab)) << "another folder";
    ASSERT_TRUE(QDir().mkpath(point + "/Backup"));
    WriteFile(point + "/Backup/old.txt", "x");
    EXPECT_FALSE(BackupDiskAbsent(point + "/Backup/", fstab)) << "a folder with files is there";
    EXPECT_FALSE(BackupDiskAbsent(point + "/Backup/", dir.path() + "/no-fstab"));
    EXPECT_TRUE(BackupDiskAbsent("/media/nobody-here/DISK/Backup/", fstab));
    EXPECT_TRUE(BackupDiskAbsent("/run/media/nobody-here/DISK/", fstab));
    EXPECT_FALSE(BackupDiskAbsent("relative/Backup/", fstab));
}

// The rule on real locations, with a mount table of the test's own: a disk at /mnt itself,
// a disk reached through a link, an fstab mount point spelt through a link, and the disk of
// the last backup away while a folder stands where it was mounted.
TEST(BackupDiskAbsent, JudgesWhereTheTargetReallyIsAndWhichDiskItIsOn) {
    QTemporaryDir dir;
    const QString table = dir.path() + "/mountinfo";
    const auto mounted = [&](const QStringList& points) {
        QByteArray lines = "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n";
        for (int i = 0; i < points.size(); ++i)
            lines += QByteArray::number(30 + i) + " 20 8:" + QByteArray::number(17 + i) + " / " +
                     points[i].toUtf8() + " rw - ext4 /dev/sdb" + QByteArray::number(i) + " rw\n";
        WriteFile(table, lines);
    };
    const QString noFstab = dir.path() + "/no-fstab";
    const QString away = "/mnt/vantoro-nobody-" + QString::number(::getpid()) + "/Backup/";
    mounted({});
    EXPECT_TRUE(BackupDiskAbsent(away, noFstab, {}, {}, table));
    mounted({"/mnt"});
    EXPECT_FALSE(BackupDiskAbsent(away, noFstab, {}, {}, table)) << "a disk at /mnt itself";

    // /media/DISK reached through a link, mounted or not.
    const QString link = dir.path() + "/bk";
    ASSERT_EQ(::symlink("/media/vantoro-nobody/DISK", QFile::encodeName(link).constData()), 0);
    mounted({"/media/vantoro-nobody/DISK"});
    EXPECT_FALSE(BackupDiskAbsent(link + "/Backup/", noFstab, {}, {}, table));
    mounted({});
    EXPECT_TRUE(BackupDiskAbsent(link + "/Backup/", noFstab, {}, {}, table));

    // fstab names the mount point through a linked folder; the table has its real path.
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/real/point"));
    ASSERT_EQ(::symlink(QFile::encodeName(dir.path() + "/real").constData(),
                        QFile::encodeName(dir.path() + "/linked").constData()),
              0);
    const QString fstab = dir.path() + "/fstab";
    WriteFile(fstab, "LABEL=BK " + QFile::encodeName(dir.path() + "/linked/point") + " ext4 0 2\n");
    mounted({dir.path() + "/real/point"});
    EXPECT_FALSE(BackupDiskAbsent(dir.path() + "/linked/point/", fstab, {}, {}, table));
    mounted({});
    EXPECT_TRUE(BackupDiskAbsent(dir.path() + "/linked/point/", fstab, {}, {}, table));

    // The disk the last backup went to: its mount point holds an old copy on the disk above.
    const QString point = dir.path() + "/real/point";
    ASSERT_TRUE(QDir().mkpath(point + "/Backup"));
    WriteFile(point + "/Backup/old.txt", "old");
    mounted({point});
    const DiskPlace disk = DiskPlaceOf(point + "/Backup/", table, dir.path() + "/no-uuids");
    EXPECT_EQ(disk.mountPoint, point);
    EXPECT_EQ(disk.identity, "device 8:17");
    EXPECT_FALSE(BackupDiskAbsent(point + "/Backup/", noFstab, disk, {}, table));
    mounted({});
    EXPECT_TRUE(BackupDiskAbsent(point + "/Backup/", noFstab, disk, {}, table));
    EXPECT_FALSE(BackupDiskAbsent(point + "/Backup/", noFstab, {}, {}, table))
        << "nothing remembered: a folder with files is there";
    EXPECT_FALSE(BackupDiskAbsent(point + "/Backup/", noFstab, {point, "device 8:1"}, {}, table))
        << "the same file system as remembered, only no longer mounted there on its own";
    // Another disk mounted in its place is a disk that is there.
    mounted({point});
    EXPECT_FALSE(BackupDiskAbsent(point + "/Backup/", noFstab, {point, "UUID=other"}, {}, table));
    // Where earlier backups' disks were mounted counts as fstab does, for an empty folder.
    mounted({});
    ASSERT_TRUE(QDir().mkpath(point + "/Empty"));
    EXPECT_FALSE(BackupDiskAbsent(point + "/Empty/", noFstab, {}, {}, table)) << "a first backup";
    EXPECT_TRUE(BackupDiskAbsent(point + "/Empty/", noFstab, {}, {point}, table));
}

TEST(RootPrefix, UsesTheMountedFileSystems) {
    EXPECT_EQ(RootPrefix("/"), "/");
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (root == "/")
            continue;
        EXPECT_EQ(RootPrefix(root + "/some/folder/"), root + "/");
        return;
    }
    GTEST_SKIP() << "no file system mounted besides /";
}

} // namespace
} // namespace vnt
