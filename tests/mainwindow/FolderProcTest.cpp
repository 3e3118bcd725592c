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

} // namespace
} // namespace vnt

#include "platform/Names.h"
#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <sys/stat.h>
#include <unistd.h>

namespace vnt::test {
namespace {

TEST(FolderProc, ExistenceCreationAndTheTargetRule) {
    QTemporaryDir dir;
    EXPECT_TRUE(FolderExists("  " + dir.path() + "/  "));
    EXPECT_FALSE(FolderExists(""));
    WriteFile(dir.filePath("file"), "x");
    EXPECT_FALSE(FolderExists(dir.filePath("file")));
    EXPECT_TRUE(FileExistsAt(dir.filePath("file")));

    EXPECT_TRUE(CreateFolderPath(dir.path() + "/a/b/c/"));
    EXPECT_TRUE(FolderExists(dir.path() + "/a/b/c"));
    EXPECT_FALSE(CreateFolderPath(dir.path() + "/file/sub/")) << "a file stands in the way";
    EXPECT_FALSE(CreateFolder(dir.path() + "/a")) << "exists already";
    EXPECT_TRUE(IsDriveRoot("/"));
    EXPECT_FALSE(IsDriveRoot(dir.path() + "/"));

    EXPECT_EQ(CheckTargetRule("/data/", "/data/"), TargetRule::EqualsSource);
    EXPECT_EQ(CheckTargetRule("/", "/data/"), TargetRule::HoldsSource);
    EXPECT_EQ(CheckTargetRule("/data/backup/", "/data/"), TargetRule::Acceptable)
        << "a target inside the source is accepted";
    EXPECT_EQ(CheckTargetRule("/data/", "/data2/"), TargetRule::Acceptable);
}

TEST(FolderProc, FoldersAreComparedByWhatTheyAre) {
    QTemporaryDir dir;
    const QString src = dir.path() + "/src/";
    ASSERT_TRUE(QDir().mkpath(src + "bak"));
    const QString link = dir.path() + "/link";
    ASSERT_EQ(symlink(QFile::encodeName(src).constData(), QFile::encodeName(link).constData()), 0);

    EXPECT_TRUE(SameFolder(link + "/", src));
    EXPECT_TRUE(SameFolder(src + "bak/..", src));
    EXPECT_FALSE(SameFolder(src + "bak/", src));
    EXPECT_EQ(RealFolder(link + "/bak/not-yet/"), src + "bak/not-yet/")
        << "a missing folder is placed by its nearest existing ancestor";
    EXPECT_TRUE(FolderHolds(link, src + "bak/"));
    EXPECT_TRUE(FolderHolds(src, link + "/bak/new/"));
    EXPECT_FALSE(FolderHolds(src + "bak/", src));

    EXPECT_EQ(CheckTargetRule(link + "/", src), TargetRule::EqualsSource);
    EXPECT_EQ(CheckTargetRule(dir.path() + "/", link + "/"), TargetRule::HoldsSource);
    EXPECT_EQ(CheckTargetRule(link + "/bak/", src), TargetRule::Acceptable)
        << "a target inside the source stays acceptable, whatever leads there";
}

// Links are followed the kernel's way, one name at a time: relative ones from where they lie,
// ".." after a link from where it led, a loop given up. A path of megabytes with many
// thousands of names costs a moment in every rule (each used to spell every leading part of
// the path again, which took minutes).
TEST(FolderProc, LinksOneNameAtATimeAndLongPathsInAMoment) {
    QTemporaryDir dir;
    const QString real = QDir(dir.path()).canonicalPath() + "/";
    ASSERT_TRUE(QDir().mkpath(real + "a/b/c"));
    const auto link = [&real](const QByteArray& to, const QString& at) {
        ASSERT_EQ(symlink(to.constData(), QFile::encodeName(real + at).constData()), 0);
    };
    link("b/c", "a/down");
    link("../down", "a/b/sideways");
    link("../../down/..", "a/b/c/via");
    link("/" + QFile::encodeName(real).mid(1) + "a", "abs");
    link("loop", "loop");
    link(".", "a/b/c/again");
    EXPECT_EQ(RealFolder(real + "a/b/sideways/"), real + "a/b/c/");
    EXPECT_EQ(RealFolder(real + "abs/b/c/via/new/"), real + "a/b/new/") << "the real parent";
    EXPECT_EQ(RealFolder(real + "loop/x/"), real + "loop/x/");
    EXPECT_TRUE(FolderHolds(real + "abs/b", real + "a/down/not-yet/"));
    EXPECT_TRUE(SameFolder(real + "a/b/sideways", real + "abs/b/c/"));

    QByteArray noise;
    quint32 seed = 15;
    while (noise.size() < 3'000'000) {
        seed = seed * 1103515245 + 12345;
        const char c = static_cast<char>(seed >> 16);
        noise += c == '\0' || c == '/' ? 'x' : c;
        if ((seed >> 8) % 100 == 0)
            noise += '/';
    }
    const QString longPath = real + "a/" + DecodeName(noise);
    const QString longLinks = real + "a/b/c" + QString("/again").repeated(500'000) + "/x";
    QElapsedTimer timer;
    timer.start();
    for (const QString& path : {longPath, longLinks}) {
        QString name;
        EXPECT_EQ(CheckTargetRule(path, real + "a/"), TargetRule::Acceptable);
        EXPECT_EQ(CheckTargetRule(real + "a/", path), TargetRule::HoldsSource);
        EXPECT_FALSE(SameFolder(path, real));
        EXPECT_TRUE(RealFolder(path).startsWith(real + "a/"));
        EXPECT_FALSE(FolderExists(path));
        EXPECT_FALSE(CreateFolderPath(path)) << "too deep to be named: nothing is made";
        EXPECT_FALSE(IsRecycleBin(path) || IsSystemFolder(path, name));
        PathPartFromEnd(path, 3);
        NormaliseFolder(path);
    }
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_EQ(QDir(real + "a").entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList({"b", "down"}));
}

} // namespace
} // namespace vnt::test
