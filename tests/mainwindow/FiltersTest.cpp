#include "mainwindow/Filters.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QTemporaryDir>

namespace vnt {
namespace {

TEST(ExtensionFilter, Normalisation) {
    const struct {
        const char* typed;
        const char* normal;
        bool badLength;
    } cases[] = {
        {"TXT", "txt", false}, {".Txt", "txt", false},  {"mp3", "mp3", false},
        {"*", "", true},       {"jpeg", "jpeg", false}, {"abcdef", "abcdef", true},
        {"j?g", "j?g", false}, {"*.*", "", true},       {"t x t", "txt", false},
        {"ÄÖ", "äö", false},   {"a", "a", true},        {"**x", "**x", false},
        {"M4A", "m4a", false}, {".7z", "7z", false},    {"7", "7", true},
        {"mp", "mp", false},   {"x-1.2", "x12", false}, {"mp3 ", "mp3", false},
    };
    for (const auto& c : cases) {
        const QString normal = NormaliseExtensionFilter(QString::fromUtf8(c.typed));
        EXPECT_EQ(normal, QString::fromUtf8(c.normal)) << c.typed;
        EXPECT_EQ(ExtensionFilterHasBadLength(normal), c.badLength) << c.typed;
    }
    EXPECT_EQ(ExtensionLengthMessage(), "A file extension must consist of from 2 to 5 letters\r\n"
                                        "(optionally with wildcards '*' and '?')");
}

TEST(FolderLists, JoinedWithLineEndsAndTrimmed) {
    EXPECT_EQ(JoinFolderList({"A", "B c"}), "A\r\nB c");
    EXPECT_EQ(SplitFolderList(" A \r\n\r\n  \r\nB c\r\n"), (QStringList{"A", "B c"}));
    EXPECT_TRUE(SplitFolderList("").isEmpty());
}

TEST(SourceSummary, Captions) {
    bool none = false;
    EXPECT_EQ(SubfolderCountCaption(12, 0, 0, none), "There are 12 subfolders, none selected");
    EXPECT_TRUE(none);
    EXPECT_EQ(SubfolderCountCaption(12, 0, 3, none), "There are 12 subfolders, 3 selected");
    EXPECT_FALSE(none);
    EXPECT_EQ(SubfolderCountCaption(1, 0, 1, none), "There is one subfolder");
    EXPECT_EQ(SubfolderCountCaption(0, 0, 0, none), "There are no subfolders");
    EXPECT_EQ(SubfolderCountCaption(-1, 70, 0, none), "Permission denied");
    EXPECT_EQ(SubfolderCountCaption(-1, 76, 0, none), "Path not found");
    EXPECT_EQ(SubfolderCountCaption(-1, 75, 0, none), "Error");

    QTemporaryDir dir;
    const QString source = dir.path() + "/";
    ASSERT_TRUE(QDir().mkpath(source + "Flat"));
    ASSERT_TRUE(QDir().mkpath(source + "Photos/2024"));
    EXPECT_EQ(IncludeSubfoldersCaption(source, {}), "");
    EXPECT_EQ(IncludeSubfoldersCaption(source, {"Flat"}), "");
    EXPECT_EQ(IncludeSubfoldersCaption(source, {"Photos"}),
              "Include all subfolders of this subfolder");
    EXPECT_EQ(IncludeSubfoldersCaption(source, {"Gone"}),
              "Include all subfolders of this subfolder")
        << "a subfolder that cannot be counted may have subfolders";
    EXPECT_EQ(IncludeSubfoldersCaption(source, {"Flat", "Photos", "Gone"}),
              "Include all subfolders of these 3 subfolders");
    EXPECT_EQ(IncludeSubfoldersCaption(source, {"Flat", "Gone"}), "");
}

} // namespace
} // namespace vnt
