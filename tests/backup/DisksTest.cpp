#include "backup/Disks.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <sys/statvfs.h>

namespace vnt {
namespace {

TEST(FormatDiskSize, EveryRange) {
    EXPECT_EQ(FormatDiskSize(0, false), "0 bytes");
    EXPECT_EQ(FormatDiskSize(0, true), "0 Bytes");
    EXPECT_EQ(FormatDiskSize(1, true), "1 Bytes");
    EXPECT_EQ(FormatDiskSize(1023, false), "1,023 bytes");
    EXPECT_EQ(FormatDiskSize(1024, false), "1.00 Kb");
    EXPECT_EQ(FormatDiskSize(1048575, false), "1,024.00 Kb");
    EXPECT_EQ(FormatDiskSize(1048576, false), "1.00 Mb");
    EXPECT_EQ(FormatDiskSize(1073741823, false), "1,024.00 Mb");
    EXPECT_EQ(FormatDiskSize(1073741824, false), "1.00 Gb");
    EXPECT_EQ(FormatDiskSize(5.0 * 1099511627776.0, false), "5,120.00 Gb");
}

TEST(GetFreeDiskSpace, MatchesTheFileSystemAndIsNotCutAt4Gb) {
    QTemporaryDir dir;
    struct statvfs fs {};
    ASSERT_EQ(statvfs(QFile::encodeName(dir.path()).constData(), &fs), 0);
    const double expectedFree = static_cast<double>(fs.f_bavail) * static_cast<double>(fs.f_frsize);
    const double expectedTotal =
        static_cast<double>(fs.f_blocks) * static_cast<double>(fs.f_frsize);

    double freeBytes = -1;
    double totalBytes = -1;
    ASSERT_EQ(GetFreeDiskSpace(dir.path(), freeBytes, totalBytes), 0);
    EXPECT_NEAR(freeBytes, expectedFree, 64.0 * 1024 * 1024) << "others may write meanwhile";
    EXPECT_EQ(totalBytes, expectedTotal);
    if (expectedFree > 4294967296.0) {
        EXPECT_GT(freeBytes, 4294967296.0);
    }

    // A folder that does not exist yet lies on its parent's disk.
    double missingFree = -1;
    double missingTotal = -1;
    ASSERT_EQ(GetFreeDiskSpace(dir.filePath("not/yet/made"), missingFree, missingTotal), 0);
    EXPECT_EQ(missingTotal, totalBytes);
    // So does a folder deeper than a path can spell (more than 4,096 bytes).
    ASSERT_EQ(GetFreeDiskSpace(dir.path() + QString("/" + QString(250, 'd')).repeated(20),
                               missingFree, missingTotal),
              0);
    EXPECT_EQ(missingTotal, totalBytes);
    EXPECT_FALSE(GetDriveFreeSpaceText(dir.path()).isEmpty());
}

TEST(GetFreeDiskSpace, UnqueryablePathsFailAndLeaveTheOutputs) {
    for (const QString& path :
         {QString(), QStringLiteral("relative/folder"), QStringLiteral("server:/share")}) {
        double freeBytes = 7;
        double totalBytes = 8;
        EXPECT_EQ(GetFreeDiskSpace(path, freeBytes, totalBytes), -1) << path.toStdString();
        EXPECT_EQ(freeBytes, 7);
        EXPECT_EQ(totalBytes, 8);
        EXPECT_EQ(GetDriveFreeSpaceText(path), "");
    }
}

} // namespace
} // namespace vnt
