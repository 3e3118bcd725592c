#include "platform/Drives.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QTemporaryDir>
#include <QStorageInfo>

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
