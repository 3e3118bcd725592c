#include "report/Progress.h"

#include "RecordingHost.h"

#include <gtest/gtest.h>
#include <QRegularExpression>

namespace vnt::test {
namespace {

TEST(FolderCountField, FiveCharacterField) {
    EXPECT_EQ(FolderCountField(23), "   23 files in ");
    EXPECT_EQ(FolderCountField(0), "    0 files in ");
    EXPECT_EQ(FolderCountField(1), "    1 file  in ");
    EXPECT_EQ(FolderCountField(-1), "    ? files  in ");
    EXPECT_EQ(FolderCountField(40000), "40000 files in ");
    EXPECT_EQ(FolderCountField(123456), "23456 files in ");
}

TEST(FolderPathForReport, ShortensOnlyLongSourcePathsWithSubfolders) {
    const QString twenty = "/home/me/Data/Photo/"; // 20 characters
    ASSERT_EQ(twenty.size(), 20);
    EXPECT_EQ(FolderPathForReport(twenty + "2024/", twenty, true), twenty + "2024/");
    const QString longer = "/home/me/Data/Photos/"; // 21
    EXPECT_EQ(FolderPathForReport(longer + "2024/", longer, true), "{source folder}2024/");
    EXPECT_EQ(FolderPathForReport(longer + "2024/", longer, false), longer + "2024/");
    EXPECT_EQ(FolderPathForReport("/other/HOME/me/Data/Photos/", longer, true),
              "/other/HOME/me/Data/Photos/")
        << "the comparison keeps letter case";
}

TEST(DisplayNumFilesInFolder, WritesOrKeepsThePiece) {
    RecordingHost host;
    DisplayNumFilesInFolder(host, true, "/src/", true, "/src/a/", 0, true, false, true);
    EXPECT_EQ(host.text, "") << "a folder without files gets no line unless asked";
    DisplayNumFilesInFolder(host, true, "/src/", true, "/src/a/", 0, true, true, true);
    EXPECT_EQ(host.text, "    0 files in /src/a/\r\n");
    host.text.clear();
    DisplayNumFilesInFolder(host, true, "/src/", true, "/src/b/", 2, false, false, true);
    EXPECT_EQ(host.text, "    2 files in /src/b/");
    host.text.clear();
    DisplayNumFilesInFolder(host, true, "/src/", true, "/src/c/", 40000, false, false, false);
    EXPECT_EQ(host.text, "");
    EXPECT_EQ(host.strNumFilesInFolder, "40000 files in /src/c/");
    const QString source = "/home/me/Documents/Letters/";
    DisplayNumFilesInFolder(host, true, source, true, source + "d/", 1, false, false, false);
    EXPECT_TRUE(host.strNumFilesInFolder.endsWith("in {source folder}d/"));
    DisplayNumFilesInFolder(host, false, source, true, source + "d/", 1, false, false, false);
    EXPECT_TRUE(host.strNumFilesInFolder.endsWith("in " + source + "d/"))
        << "a folder outside the source tree is shown whole";
}

// The result phrase after a folder piece, for Back up all files.
QString AllFiles(qint32 n, qint32 k, bool afterLineEnd = false) {
    RecordingHost host;
    host.text = afterLineEnd ? "    2 files in /x/\r\n" : "    2 files in /x/";
    DisplayFilesCopied(host, true, n, 0, 0, k);
    return host.text.mid(afterLineEnd ? 20 : 18);
}

TEST(DisplayFilesCopied, BackUpAllFilesRows) {
    EXPECT_EQ(AllFiles(1, 1), "  Copied.\r\n");
    EXPECT_EQ(AllFiles(2, 2), "  Both copied.\r\n");
    EXPECT_EQ(AllFiles(5, 5), "  All copied.\r\n");
    EXPECT_EQ(AllFiles(0, 0), "  All copied.\r\n");
    EXPECT_EQ(AllFiles(5, 0), "  None copied.\r\n");
    EXPECT_EQ(AllFiles(5, 1), "  Only one file copied.\r\n");
    EXPECT_EQ(AllFiles(9, 7), "  Only 7 files copied.\r\n");
    EXPECT_EQ(AllFiles(40000, 39999), "  Only 39999 files copied.\r\n") << "no 16-bit limit";
    // After a finished line the result stands indented on its own line.
    EXPECT_EQ(AllFiles(2, 2, true), "      Both copied.\r\n");
    EXPECT_EQ(AllFiles(5, 0, true), "  None copied.\r\n") << "only the all-copied rows indent";
}

QString Modified(qint32 n, qint32 w, qint32 m, qint32 k, bool afterLineEnd = false) {
    RecordingHost host;
    host.text = afterLineEnd ? "\r\n" : "";
    DisplayFilesCopied(host, false, n, w, m, k);
    return host.text.mid(afterLineEnd ? 2 : 0);
}

TEST(DisplayFilesCopied, BackUpNewAndModifiedRows) {
    // Phase 1 rows, then phase 2 rows.
    EXPECT_EQ(Modified(3, 0, 3, 3), "  All are modified.  All Copied.\r\n");
    EXPECT_EQ(Modified(1, 0, 1, 1, true), "    Copied.\r\n") << "one modified file: indent only";
    EXPECT_EQ(Modified(4, 1, 3, 4),
              "  3 modified files and 1 file not previously backed up.  All Copied.\r\n");
    EXPECT_EQ(Modified(9, 0, 1, 1),
              "  1 modified file and 0 files not previously backed up.  Copied.\r\n");
    EXPECT_EQ(Modified(2, 2, 0, 2), "  Neither previously backed up.  Both copied.\r\n");
    EXPECT_EQ(Modified(5, 5, 0, 5), "  None previously backed up.  All Copied.\r\n");
    EXPECT_EQ(Modified(1, 1, 0, 1), "Copied.\r\n") << "a single new file: phase 1 writes nothing";
    EXPECT_EQ(Modified(5, 0, 0, 0), "") << "nothing found, nothing copied";
    EXPECT_EQ(Modified(4, 1, 3, 1),
              "  3 modified files and 1 file not previously backed up.  One file copied.\r\n");
    EXPECT_EQ(Modified(9, 2, 3, 5),
              "  3 modified files and 2 files not previously backed up.  All Copied.\r\n");
    EXPECT_EQ(Modified(9, 4, 3, 5),
              "  3 modified files and 4 files not previously backed up.  5 files copied.\r\n");
    EXPECT_EQ(Modified(5, 5, 0, 0), "  None previously backed up.  ") << "nothing copied";
    EXPECT_EQ(Modified(3, 1, 1, 0, true),
              "      1 modified file and 1 file not previously backed up.  ");
}

QString Check(qint32 n, qint32 w, qint32 m) {
    RecordingHost host;
    host.text = "   12 files in /x/\r\n";
    DisplayNewAndModifiedFiles(host, n, w, m);
    return host.text.mid(20);
}

TEST(DisplayNewAndModifiedFiles, Rows) {
    EXPECT_EQ(Check(2, 2, 0), "      Neither are backed up.\r\n");
    EXPECT_EQ(Check(3, 3, 0), "      None are backed up.\r\n");
    EXPECT_EQ(Check(1, 1, 0), "    ") << "a single new file: only the indent";
    EXPECT_EQ(Check(2, 0, 2), "      Both are modified.\r\n");
    EXPECT_EQ(Check(5, 0, 5), "      All are modified.\r\n");
    EXPECT_EQ(Check(1, 0, 1), "    ");
    EXPECT_EQ(Check(5, 1, 3), "      3 modified files and 1 file not backed up.  \r\n");
    EXPECT_EQ(Check(5, 0, 0), "");
}

TEST(ProgressLabels, BytesCopiedAndFreeSpace) {
    EXPECT_EQ(BytesCopiedText(3145728, 12), "Copied: 3,145,728 bytes (3.00 Mb) in 12 files");
    EXPECT_EQ(BytesCopiedText(10, 1), "Copied: 10 bytes in 1 file");
    EXPECT_EQ(BytesCopiedText(0, 0), "Copied: 0 bytes in 0 files");
    RecordingHost host;
    DisplayFreeSpace(host, "relative");
    EXPECT_TRUE(host.freeSpace.endsWith(" relative ")) << "no free space can be read";
    DisplayFreeSpace(host, "/");
    EXPECT_TRUE(host.freeSpace.contains(QRegularExpression(" / [0-9.,]+ (bytes|Kb|Mb|Gb)$")))
        << host.freeSpace.toStdString();
}

} // namespace
} // namespace vnt::test
