#include "platform/FoldersOnDisk.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <sys/stat.h>

namespace vnt::test {
namespace {

TEST(FoldersOnDisk, RecycleBinsOnlyWhereTheyAreTrash) {
    // Linux's trash folders at any mount root; Windows' names only on its file systems.
    const QString root = QStringLiteral("/media/USB/");
    for (const char* path :
         {"/media/USB/.Trash/", "/media/USB/.Trash-1000/files/", "/media/USB/lost+found/"})
        EXPECT_TRUE(IsRecycleBinUnder(path, root)) << path;
    for (const char* path :
         {"/media/USB/", "/media/USB/Photos/.Trash/", "/media/USB/Trash/", "/media/USB/.Trash-x/",
          "/media/USB/.Trash-/", "/media/USBX/.Trash/", "/media/USB/Recycled/"})
        EXPECT_FALSE(IsRecycleBinUnder(path, root)) << path;
    for (const char* name : {"$RECYCLE.BIN", "$Recycle.Bin", "RECYCLER", "recycled"}) {
        EXPECT_TRUE(IsTrashFolderName(name, true, true)) << name;
        EXPECT_FALSE(IsTrashFolderName(name, false, true)) << name << " is a user's folder";
    }
    EXPECT_TRUE(IsTrashFolderName("Recycled photos", true, false)) << "begins with the name";
    EXPECT_FALSE(IsTrashFolderName("Recycled photos", true, true)) << "the whole name";
    EXPECT_TRUE(IsWindowsFileSystem("vfat"));
    EXPECT_TRUE(IsWindowsFileSystem("ntfs3"));
    EXPECT_FALSE(IsWindowsFileSystem("ext4"));
    EXPECT_FALSE(IsWindowsFileSystem("tmpfs"));
}

TEST(FoldersOnDisk, SystemFolders) {
    QString name;
    EXPECT_TRUE(IsSystemFolderUnder("/media/USB/Windows.old/", "/media/USB/", name));
    EXPECT_EQ(name, "Windows");
    EXPECT_TRUE(IsSystemFolderUnder("/media/USB/program files/x/", "/media/USB/", name));
    EXPECT_EQ(name, "Program Files");
    EXPECT_TRUE(IsSystemFolderUnder("/media/USB/System Volume Information/", "/media/USB/", name));
    EXPECT_EQ(name, "System Volume Information");
    EXPECT_TRUE(IsSystemFolderUnder("/media/USB/.Trash-1000/", "/media/USB/", name));
    EXPECT_EQ(name, "Recycle Bin");
    EXPECT_FALSE(IsSystemFolderUnder("/media/USB/Photos/Windows/", "/media/USB/", name));
    EXPECT_EQ(name, "");

    EXPECT_TRUE(IsSystemFolder("/proc/", name));
    EXPECT_EQ(name, "proc");
    EXPECT_TRUE(IsSystemFolder("/sys/kernel/", name));
    EXPECT_TRUE(IsSystemFolder("/dev", name));
    EXPECT_TRUE(IsSystemFolder("/run/user/", name));
    EXPECT_FALSE(IsSystemFolder("/procedures/", name));
    EXPECT_FALSE(IsSystemFolder("/home/me/proc/", name));
    EXPECT_FALSE(IsSystemFolder("/home/", name));
}

// Windows compares its names letter by letter in capitals: a letter whose capital is
// plain (the dotless i) matches, a ligature that has none of its own does not.
TEST(FoldersOnDisk, WindowsNamesAreComparedLetterByLetter) {
    QString name;
    EXPECT_TRUE(
        IsSystemFolderUnder(QString::fromUtf16(u"/media/USB/W\u0131ndows/"), "/media/USB/", name));
    EXPECT_EQ(name, "Windows");
    EXPECT_FALSE(IsSystemFolderUnder(QString::fromUtf16(u"/media/USB/Program \uFB01les/"),
                                     "/media/USB/", name));
    EXPECT_EQ(name, "");
    EXPECT_FALSE(IsSystemFolderUnder("/media/USB/Window/", "/media/USB/", name)) << "too short";
    EXPECT_FALSE(IsSystemFolderUnder("/media/USBWindows/", "/media/USB/", name))
        << "not below the root";
    EXPECT_TRUE(IsTrashFolderName(QString::fromUtf16(u"$recycle.b\u0131n"), true, true));
    EXPECT_FALSE(IsTrashFolderName("Recyclerx", true, true)) << "the whole name";
    EXPECT_TRUE(IsTrashFolderName("Recyclerx", true, false));
    EXPECT_FALSE(IsTrashFolderName("RECYCLE", true, false)) << "shorter than every name";
}

TEST(FoldersOnDisk, OneSpellingOfEveryFolder) {
    EXPECT_EQ(NormaliseFolder(""), "") << "no folder, never the current one";
    EXPECT_EQ(NormaliseFolder("  "), "");
    EXPECT_EQ(NormaliseFolder(" /data/ "), "/data/");
    EXPECT_EQ(NormaliseFolder("/data"), "/data/");
    EXPECT_EQ(NormaliseFolder("/data//x/./../y/"), "/data/y/");
    EXPECT_EQ(NormaliseFolder("/data/."), "/data/");
    EXPECT_EQ(NormaliseFolder("/"), "/");
    EXPECT_EQ(NormaliseFolder("/.."), "/");
    EXPECT_EQ(NormaliseFolder("rel/dir"), NormaliseFolder(QDir::currentPath() + "/rel/dir"));
}

TEST(WriteTestFails, LeavesNothingAndNeverTouchesAnExistingFile) {
    QTemporaryDir dir;
    QString error;
    EXPECT_FALSE(WriteTestFails(dir.path(), error));
    EXPECT_EQ(error, "");
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());

    const QString existing = dir.filePath("klasdjfdskjfkjkwjkweoewiroew.txt");
    WriteFile(existing, "the user's own file");
    EXPECT_FALSE(WriteTestFails(dir.path() + "/", error));
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "the user's own file");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(), 1);

    EXPECT_TRUE(WriteTestFails(dir.path() + "/missing/", error));
    EXPECT_FALSE(error.isEmpty());

    ASSERT_TRUE(QDir().mkpath(dir.filePath("readonly")));
    chmod(QFile::encodeName(dir.filePath("readonly")).constData(), 0555);
    OpenForOthers(dir.filePath("readonly"));
    const QString readonly = dir.filePath("readonly");
    EXPECT_EQ(RunWithoutPrivileges([&] {
                  QString text;
                  return WriteTestFails(readonly, text) && text == "Permission denied" ? 0 : 1;
              }),
              0);
}

} // namespace
} // namespace vnt::test
