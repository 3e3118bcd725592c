#include "platform/Drives.h"
#include "platform/FileCopy.h"
#include "TestSupport.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QDateTime>
#include <QTemporaryDir>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vnt {
namespace {
using test::WriteFile;

// The sizes a listing gave may be out of date by the time the files are read: they may
// save a read, never decide what is compared.
TEST(CompareFiles, ListedSizesNeverHideBytesPastThem) {
    QTemporaryDir dir;
    WriteFile(dir.filePath("a"), "0123456789");
    WriteFile(dir.filePath("b"), "01234X6789");
    WriteFile(dir.filePath("c"), "0123456789");
    const int folder = ::open(dir.path().toLocal8Bit().constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    const auto compare = [&](const char* other, ListedSizes listed) {
        return CompareFiles(folder, "a", folder, other, {}, listed);
    };
    for (const ListedSizes listed : {ListedSizes{5, 5}, ListedSizes{10, 10}, ListedSizes{3, 12},
                                     ListedSizes{20, 20}, ListedSizes{}}) {
        const CompareOutcome differs = compare("b", listed);
        EXPECT_FALSE(differs.same);
        EXPECT_EQ(differs.differsAt, 5);
        const CompareOutcome same = compare("c", listed);
        EXPECT_TRUE(same.same);
        EXPECT_EQ(same.bytes, 10);
    }
    // A pipe has nothing to read, like an empty file, and is no copy of one.
    WriteFile(dir.filePath("empty"), "");
    ASSERT_EQ(::mkfifo(dir.filePath("pipe").toLocal8Bit().constData(), 0600), 0);
    for (const ListedSizes listed : {ListedSizes{0, 0}, ListedSizes{}}) {
        EXPECT_FALSE(CompareFiles(folder, "empty", folder, "pipe", {}, listed).same);
        EXPECT_FALSE(CompareFiles(folder, "pipe", folder, "empty", {}, listed).same);
    }
    // Grown by one byte since it was listed at ten.
    WriteFile(dir.filePath("c"), "0123456789!");
    const CompareOutcome grown = compare("c", {10, 10});
    EXPECT_FALSE(grown.same);
    EXPECT_EQ(grown.differsAt, 10);
    ::close(folder);
}

// Reading every file of the source for a backup or a comparison leaves its access times
// as they were (the owner may open without moving them).
TEST(CompareFiles, ReadingLeavesAccessTimesAlone) {
    QTemporaryDir dir;
    WriteFile(dir.filePath("a"), "contents");
    WriteFile(dir.filePath("b"), "contents");
    // Older than the last write: any read would move it.
    const timespec times[2] = {{946684800, 0}, {0, UTIME_OMIT}};
    for (const char* name : {"a", "b"})
        ASSERT_EQ(::utimensat(AT_FDCWD, dir.filePath(name).toLocal8Bit().constData(), times, 0), 0);
    const int folder = ::open(dir.path().toLocal8Bit().constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    EXPECT_TRUE(CompareFiles(folder, "a", folder, "b").same);
    ::close(folder);
    EXPECT_TRUE(CopySingleFile(dir.filePath("a"), dir.filePath("copy"), {}).copied);
    for (const char* name : {"a", "b"}) {
        struct stat st {};
        ASSERT_EQ(::stat(dir.filePath(name).toLocal8Bit().constData(), &st), 0);
        EXPECT_EQ(st.st_atim.tv_sec, 946684800) << name;
    }
}

TEST(CopySingleFile, AFailureSaysItsSideAndErrorNumber) {
    QTemporaryDir dir;
    const QString root = dir.path() + "/";
    WriteFile(root + "file", "some bytes");
    ASSERT_EQ(::mkfifo(QFile::encodeName(root + "fifo").constData(), 0600), 0);
    struct Case {
        const char *source, *target;
        CopySide side;
        int error;
    };
    for (const Case& c : {Case{"missing", "copy", CopySide::Source, ENOENT},
                          Case{"fifo", "copy", CopySide::Source, EINVAL},
                          Case{"file/inside", "copy", CopySide::Source, ENOTDIR},
                          Case{"file", "missing/copy", CopySide::Target, ENOENT},
                          Case{"file", "file/copy", CopySide::Target, ENOTDIR}}) {
        const CopyOutcome outcome = CopySingleFile(root + c.source, root + c.target);
        EXPECT_FALSE(outcome.copied);
        EXPECT_EQ(outcome.failedSide, c.side) << c.source << " -> " << c.target;
        EXPECT_EQ(outcome.systemError, c.error) << c.source << " -> " << c.target;
        EXPECT_TRUE(outcome.error);
    }
    // A full disk is the target's, whether the kernel copies or the program reads and writes.
    const QString full = root + "full";
    ASSERT_TRUE(QDir().mkpath(full));
    if (::mount("tmpfs", QFile::encodeName(full).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "a small file system cannot be mounted here";
    WriteFile(root + "large", QByteArray(1024 * 1024, 'x'));
    const CopyOutcome outcome = CopySingleFile(root + "large", full + "/copy");
    ::umount(QFile::encodeName(full).constData());
    EXPECT_EQ(outcome.failedSide, CopySide::Target);
    EXPECT_EQ(outcome.systemError, ENOSPC);
}

// The kernel's FAT driver refuses a mode it cannot show (EPERM), a set-ID bit first of all;
// fusefat has no call for it at all (ENOSYS). The copy goes on with contents and time.
TEST(CopySingleFile, ADiskThatRefusesModesStillTakesTheCopy) {
    QTemporaryDir dir;
    const QString source = dir.path() + "/tool";
    test::WriteFile(source, "#!/bin/sh\n");
    ASSERT_EQ(::chmod(QFile::encodeName(source).constData(), 04750), 0);
    test::SetLastWriteUtc(source, 2020, 1, 2, 3, 4, 6);
    const auto copyWith = [&](ChangeModeCall call, const QString& name) {
        SetChangeModeCall(call);
        const CopyOutcome outcome = CopySingleFile(source, dir.path() + "/" + name);
        SetChangeModeCall(nullptr);
        return outcome;
    };
    static int calls = 0;
    calls = 0;
    // Set-ID bits refused, the rest taken.
    const CopyOutcome setId = copyWith(
        [](int fd, mode_t mode) {
            ++calls;
            if ((mode & 06000) != 0) {
                errno = EPERM;
                return -1;
            }
            return ::fchmod(fd, mode);
        },
        "setid");
    EXPECT_TRUE(setId.copied && setId.setIdDropped && !setId.modeNotKept);
    EXPECT_EQ(calls, 2);
    const QFileInfo setIdCopy(dir.path() + "/setid");
    EXPECT_EQ(test::ReadAll(setIdCopy.filePath()), "#!/bin/sh\n");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(setIdCopy.filePath()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u | S_IWUSR);
    // Every mode refused, either way a driver says it: the copy keeps the mode it was made
    // with, the owner's alone, and its time.
    for (const int refusal : {EPERM, ENOSYS, EOPNOTSUPP}) {
        static int error = 0;
        error = refusal;
        const QString name = QString("refused%1").arg(refusal);
        const CopyOutcome refused = copyWith(
            [](int, mode_t) {
                errno = error;
                return -1;
            },
            name);
        EXPECT_TRUE(refused.copied && refused.modeNotKept) << refusal;
        ASSERT_EQ(::stat(QFile::encodeName(dir.path() + "/" + name).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u) << refusal;
        EXPECT_EQ(st.st_mtim.tv_sec, QFileInfo(source).lastModified().toSecsSinceEpoch());
    }
    // Any other failure is a failed copy, and leaves nothing.
    const CopyOutcome failed = copyWith(
        [](int, mode_t) {
            errno = EIO;
            return -1;
        },
        "failed");
    EXPECT_FALSE(failed.copied);
    EXPECT_EQ(failed.systemError, EIO);
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/failed"));
}

TEST(QueryDiskSpace, AnOpenFolderTellsWhatItsPathTells) {
    QTemporaryDir dir;
    const int folder = ::open(dir.path().toLocal8Bit().constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    double byPath = 0, totalByPath = 0, byFolder = 0, totalByFolder = 0;
    ASSERT_TRUE(QueryDiskSpace(dir.path(), byPath, totalByPath));
    ASSERT_TRUE(QueryDiskSpace(folder, byFolder, totalByFolder));
    EXPECT_EQ(totalByFolder, totalByPath);
    EXPECT_NEAR(byFolder, byPath, 64.0 * 1024 * 1024) << "others may write meanwhile";
    ::close(folder);
    EXPECT_FALSE(QueryDiskSpace(folder, byFolder, totalByFolder));
}

} // namespace
} // namespace vnt
