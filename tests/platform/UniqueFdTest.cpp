// The one owner of a file descriptor, and the platform code that holds its descriptors in it:
// every path, the failing ones above all, closes what it opened, and only that.
#include "platform/UniqueFd.h"

#include "platform/Directory.h"
#include "platform/FileCopy.h"
#include "platform/FileErrors.h"
#include "platform/FolderLock.h"
#include "platform/FoldersOnDisk.h"
#include "TestSupport.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <sys/stat.h>
#include <unistd.h>

namespace vnt::test {
namespace {

bool IsOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

TEST(UniqueFd, ClosesWhatItOwnsOnceAndNothingElse) {
    int ends[2] = {-1, -1};
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    const int readEnd = ends[0];
    const int writeEnd = ends[1];
    {
        UniqueFd first(readEnd);
        UniqueFd second(std::move(first));
        EXPECT_FALSE(first) << "a moved-from owner holds nothing";
        EXPECT_EQ(second.get(), readEnd);

        UniqueFd third(writeEnd);
        third = std::move(second);
        EXPECT_FALSE(IsOpen(writeEnd)) << "taking another closes the one held";
        EXPECT_EQ(third.get(), readEnd);
        UniqueFd& same = third;
        third = std::move(same);
        EXPECT_TRUE(IsOpen(readEnd)) << "taking itself closes nothing";

        const int released = third.release();
        EXPECT_FALSE(third.valid());
        EXPECT_EQ(released, readEnd);
    }
    EXPECT_TRUE(IsOpen(readEnd)) << "released: its new owner closes it";
    {
        UniqueFd owner;
        owner.reset(readEnd);
        EXPECT_TRUE(owner.valid());
    }
    EXPECT_FALSE(IsOpen(readEnd));
}

TEST(UniqueFd, ClosingKeepsTheErrorThatLedThere) {
    {
        UniqueFd file(::open("/dev/null", O_RDONLY | O_CLOEXEC));
        ASSERT_TRUE(file);
        errno = ENOSPC;
        file.reset(::open("/dev/null", O_RDONLY | O_CLOEXEC));
        EXPECT_EQ(errno, ENOSPC);
        errno = EIO;
    }
    EXPECT_EQ(errno, EIO);
}

// Each way the platform's file code can fail, again and again: not one descriptor stays open.
TEST(UniqueFd, FailuresLeaveNoDescriptorOpen) {
    QTemporaryDir dir;
    const QString root = QDir(dir.path()).canonicalPath() + "/";
    WriteFile(root + "file", "some bytes");
    ASSERT_EQ(::mkfifo(QFile::encodeName(root + "fifo").constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkpath(root + "held"));
    ASSERT_EQ(::symlink(".", QFile::encodeName(root + "loop").constData()), 0);
    FolderLock holder;
    ASSERT_EQ(holder.Take(root + "held", 0), FolderLock::Outcome::Taken);
    const auto openNow = [] { return QDir(QStringLiteral("/proc/self/fd")).count(); };

    const auto before = openNow();
    for (int round = 0; round < 3; ++round) {
        QByteArray bytes;
        EXPECT_TRUE(ReadWholeFile(root + "missing", bytes));
        EXPECT_TRUE(ReadWholeFile(root, bytes)) << "a folder cannot be read as a file";
        FolderHandle file(root + "file");
        EXPECT_TRUE(ReadDirectoryAt(file.Descriptor(), [](const DirectoryEntry&) { return true; }));

        FolderLock other;
        EXPECT_EQ(other.Take(root + "held", 0), FolderLock::Outcome::HeldElsewhere);
        EXPECT_EQ(other.Take(root + "missing", 0), FolderLock::Outcome::Unavailable);

        EXPECT_FALSE(CopySingleFile(root + "missing", root + "copy").copied);
        EXPECT_FALSE(CopySingleFile(root + "fifo", root + "copy").copied);
        EXPECT_FALSE(CopySingleFile(root + "file", root + "missing/copy").copied);
        EXPECT_TRUE(CopySingleFile(root + "file", root + "copy", [] { return false; }).cancelled);
        CopySingleFile(root + "file", root + "unnamed", {}, false, {}, true); // dropped unnamed
        EXPECT_TRUE(CompareFiles(AT_FDCWD, QFile::encodeName(root + "file"), AT_FDCWD,
                                 QFile::encodeName(root + "missing"))
                        .error);
        EXPECT_TRUE(FileSystemFlush(root + "missing").Flush());

        FolderOpener opener(std::make_unique<FolderHandle>(root), false, root + "src/", root);
        EXPECT_FALSE(opener.Open("held/missing/deeper").handle);
        EXPECT_TRUE(opener.Open("held").handle);
        EXPECT_TRUE(opener.Open("loop/loop/held").handle) << "a link that stays inside";

        QString error;
        EXPECT_TRUE(WriteTestFails(root + "missing", error));
        EXPECT_FALSE(CreateFolderPath(root + "file/sub"));
        EXPECT_EQ(RealFolder(root + "loop/missing/"), root + "missing/");
        EXPECT_EQ(OpenSubfolders(root, {"held", "file", "missing", ""}).size(), 4);
    }
    EXPECT_EQ(openNow(), before);
    EXPECT_FALSE(QFile::exists(root + "copy")) << "no failed copy left a file behind";
    EXPECT_FALSE(QFile::exists(root + "unnamed"));
}

} // namespace
} // namespace vnt::test
