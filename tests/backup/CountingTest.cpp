#include "backup/Counting.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QTemporaryDir>
#include <sys/stat.h>
#include <unistd.h>

namespace vnt::test {
namespace {

// A folder with two files, a link to a file, a FIFO, two subfolders and a link to one.
class CountingTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString root = dir.path() + "/";

    void SetUp() override {
        WriteFile(root + "a.TXT", "12345");
        WriteFile(root + "b.doc", "1");
        ASSERT_EQ(symlink("a.TXT", QFile::encodeName(root + "link.txt").constData()), 0);
        ASSERT_EQ(mkfifo(QFile::encodeName(root + "pipe").constData(), 0600), 0);
        ASSERT_TRUE(QDir().mkpath(root + "sub1/deep"));
        ASSERT_TRUE(QDir().mkpath(root + "sub2"));
        ASSERT_EQ(symlink("sub1", QFile::encodeName(root + "sub-link").constData()), 0);
        WriteFile(root + "sub1/c.txt", "123");
        WriteFile(root + "sub1/deep/d.txt", "1234");
    }
};

TEST_F(CountingTest, FilesAndFolders) {
    const FileCount all = CountFiles(root, "*.*", false, true);
    EXPECT_EQ(all.count, 3) << "files and links to files; no FIFO, no folders";
    EXPECT_EQ(all.sizeTotal, 11);
    EXPECT_EQ(CountFiles(root, "*.txt").count, 2) << "letter case is ignored";
    EXPECT_EQ(CountFiles(root, "*.*", true).count, 1);
    const FileCount missing = CountFiles(root + "nowhere", "*.*");
    EXPECT_EQ(missing.count, -1);
    EXPECT_FALSE(missing.errorText.isEmpty());

    EXPECT_EQ(CountSubfolders(root).count, 2) << "a link to a folder is not followed";
    const FolderCount gone = CountSubfolders(root + "nowhere");
    EXPECT_EQ(gone.count, -1);
    EXPECT_EQ(gone.errorNumber, 76);
    EXPECT_EQ(CountSubfolders(root + "a.TXT").errorNumber, 76) << "a file is not a folder";
}

TEST_F(CountingTest, EmptyFolders) {
    EXPECT_FALSE(IsFolderEmpty(root));
    EXPECT_FALSE(IsFolderEmpty(root + "sub1/")) << "one file";
    ASSERT_TRUE(QDir().mkpath(root + "sub2/only-folder"));
    EXPECT_FALSE(IsFolderEmpty(root + "sub2/")) << "one subfolder";
    EXPECT_TRUE(IsFolderEmpty(root + "sub2/only-folder/"));
    EXPECT_TRUE(IsFolderEmpty(root + "nowhere/")) << "what cannot be listed counts as empty";
    ASSERT_TRUE(QDir().mkpath(root + "fifo-only"));
    ASSERT_EQ(mkfifo(QFile::encodeName(root + "fifo-only/p").constData(), 0600), 0);
    EXPECT_TRUE(IsFolderEmpty(root + "fifo-only/"));

    // A target holding only the program's own folders holds no backup; a file of such a name
    // is a file like any other.
    ASSERT_TRUE(QDir().mkpath(root + "own/.vantoro-replaced/2024-01-01_000000"));
    ASSERT_TRUE(QDir().mkpath(root + "own/.vantoro"));
    EXPECT_FALSE(IsFolderEmpty(root + "own/"));
    EXPECT_TRUE(IsFolderEmpty(root + "own/", nullptr, true));
    EXPECT_EQ(CountSubfolders(root + "own/").count, 2);
    EXPECT_EQ(CountSubfolders(root + "own/", true).count, 0);
    EXPECT_EQ(CountSubfolders(root + "own/.vantoro-replaced/", true).count, 1)
        << "only at the folder given";
    ASSERT_TRUE(QDir(root + "own/.vantoro").removeRecursively());
    WriteFile(root + "own/.vantoro", "a file");
    EXPECT_FALSE(IsFolderEmpty(root + "own/", nullptr, true));
}

TEST_F(CountingTest, UnreadableFoldersReportPermissionDenied) {
    ASSERT_TRUE(QDir().mkpath(root + "locked/inner"));
    chmod(QFile::encodeName(root + "locked").constData(), 0);
    OpenForOthers(root);
    const QString locked = root + "locked/";
    EXPECT_EQ(RunWithoutPrivileges([&] {
                  const FileCount files = CountFiles(locked, "*.*");
                  const FolderCount folders = CountSubfolders(locked);
                  bool denied = false;
                  const bool empty = IsFolderEmpty(locked, &denied);
                  return files.count == 0 && files.accessDenied && folders.count == -1 &&
                                 folders.errorNumber == 70 && empty && denied
                             ? 0
                             : 1;
              }),
              0);
    chmod(QFile::encodeName(root + "locked").constData(), 0755);
}

TEST_F(CountingTest, ListingFiles) {
    QStringList names;
    double size = 0;
    EXPECT_EQ(ListFilesInFolder(root, names, 10, size, "*.*", false, true), 3);
    names.sort();
    EXPECT_EQ(names, (QStringList{"a.txt (5 bytes)", "b.doc (1 bytes)", "link.txt (5 bytes)"}));
    EXPECT_EQ(size, 11);
    EXPECT_EQ(ListFilesInFolder(root, names, 10, size, "*.doc", true, false), 1);
    EXPECT_EQ(names, QStringList{"b.doc"});
    EXPECT_EQ(ListFilesInFolder(root, names, 2, size, "*.*", false, false), -2);
    EXPECT_EQ(ListFilesInFolder(root + "nowhere", names, 2, size, "*.*", false, false), -1);
}

TEST_F(CountingTest, CountingATree) {
    TreeCount tree;
    CountFilesInTree(true, root, "*.*", tree, true, false, 0);
    EXPECT_EQ(tree.count, 5);
    EXPECT_EQ(tree.sizeTotal, 18);
    EXPECT_EQ(tree.errorNumber, 0);

    tree.limit = 4;
    CountFilesInTree(true, root, "*.*", tree, false, false, 0);
    EXPECT_EQ(tree.limit, -2) << "stops at its limit";
    EXPECT_EQ(tree.count, 4);

    QTemporaryDir folders;
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(QDir().mkpath(folders.filePath(QString::number(i))));
    tree = {};
    CountFilesInTree(true, folders.path(), "*.*", tree, false, false, 3);
    EXPECT_EQ(tree.limit, -3) << "too many folders without a file";
}

} // namespace
} // namespace vnt::test
