#include "platform/Drives.h"

#include <gtest/gtest.h>
#include <QStorageInfo>

namespace vnt {
namespace {

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
