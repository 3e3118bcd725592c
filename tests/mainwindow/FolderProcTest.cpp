#include "mainwindow/FolderProc.h"

#include <gtest/gtest.h>

namespace vnt {
namespace {

TEST(FolderProc, TrailingSeparatorAndContainment) {
    EXPECT_EQ(WithTrailingBackslash(""), "");
    EXPECT_EQ(WithTrailingBackslash("/"), "/");
    EXPECT_EQ(WithTrailingBackslash("/data"), "/data/");
    EXPECT_EQ(WithTrailingBackslash("/data/"), "/data/");

    EXPECT_TRUE(IsWithinFolder("/data/x", "/data", false));
    EXPECT_TRUE(IsWithinFolder("/data/x/", "/data/", true));
    EXPECT_TRUE(IsWithinFolder("/data", "/data/", false));
    EXPECT_FALSE(IsWithinFolder("/data", "/data/", true)) << "strict: equal is not within";
    EXPECT_FALSE(IsWithinFolder("/data2/", "/data/", false)) << "a longer name is not inside";
    EXPECT_TRUE(IsWithinFolder("/data/", "/", true));
    EXPECT_FALSE(IsWithinFolder("/Data/x", "/data", false)) << "Linux names are case-sensitive";
}

TEST(FolderProc, PathPartFromEnd) {
    bool tooFew = false;
    const QString path = QStringLiteral("/home/me/Data/");
    EXPECT_EQ(PathPartFromEnd(path, 0, tooFew), "Data");
    EXPECT_EQ(PathPartFromEnd(path, 1, tooFew), "me");
    EXPECT_EQ(PathPartFromEnd(path, 2, tooFew), "home");
    EXPECT_FALSE(tooFew);
    EXPECT_EQ(PathPartFromEnd(path, 3, tooFew), "") << "exactly n names";
    EXPECT_FALSE(tooFew);
    EXPECT_EQ(PathPartFromEnd(path, 4, tooFew), "");
    EXPECT_TRUE(tooFew);
    EXPECT_EQ(PathPartFromEnd("/home/me/Data", 0), "Data") << "no trailing separator";
    EXPECT_EQ(PathPartFromEnd("/", 0), "") << "a disk root has no folder name";
}

TEST(FolderProc, RecycleBinsBelowTheRootInAnyCase) {
    const QString root = QStringLiteral("/media/USB/");
    for (const char* path :
         {"/media/USB/$RECYCLE.BIN/", "/media/USB/$Recycle.Bin/S-1-5/", "/media/USB/RECYCLER/",
          "/media/USB/recycled/", "/media/USB/.Trash/", "/media/USB/.Trash-1000/files/"})
        EXPECT_TRUE(IsRecycleBinUnder(path, root)) << path;
    for (const char* path : {"/media/USB/", "/media/USB/Photos/RECYCLER/", "/media/USB/Trash/",
                             "/media/USBX/RECYCLER/"})
        EXPECT_FALSE(IsRecycleBinUnder(path, root)) << path;

    // With the real mounts, "/" holds these.
    EXPECT_TRUE(IsRecycleBin("/$Recycle.Bin/"));
    EXPECT_FALSE(IsRecycleBin("/home/$Recycle.Bin/"));
}

TEST(FolderProc, SystemFolders) {
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

} // namespace
} // namespace vnt
