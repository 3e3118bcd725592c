#include "setups/SubfolderRows.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QTemporaryDir>
#include <sys/stat.h>

namespace vnt::test {
namespace {

TEST(SubfolderRows, Descriptions) {
    QTemporaryDir dir;
    const QString top = dir.path() + "/";
    QDir().mkpath(top + "Letters");
    for (int i = 0; i < 12; ++i)
        WriteFile(top + QStringLiteral("Letters/l%1.txt").arg(i), QByteArray(3857, 'x'));
    QDir().mkpath(top + "Empty");
    for (int f = 0; f < 3; ++f) {
        QDir().mkpath(top + QStringLiteral("Photos/%1").arg(f));
        for (int i = 0; i < 90; ++i)
            WriteFile(top + QStringLiteral("Photos/%1/p%2.jpg").arg(f).arg(i),
                      QByteArray(1024, 'p'));
    }
    EXPECT_EQ(DescribeSubfolder(top, "Letters").text,
              "Letters {12 files and no subfolders, 45.20 Kb}");
    const SubfolderRow empty = DescribeSubfolder(top, "Empty");
    EXPECT_EQ(empty.text, "Empty {no files and no subfolders}");
    EXPECT_TRUE(empty.emptyOrUnreadable);
    const SubfolderRow photos = DescribeSubfolder(top, "Photos");
    EXPECT_EQ(photos.text, "Photos {no files and 3 subfolders, over 200.00 Kb}")
        << "counting stops at 200 files";
    EXPECT_TRUE(photos.over);
    const SubfolderRow gone = DescribeSubfolder(top, "Gone");
    EXPECT_EQ(gone.text.left(6), "Gone {");
    EXPECT_TRUE(RowCanNeverBeTicked(gone)) << "unreadable, whatever words the system uses";
    EXPECT_TRUE(RowCanNeverBeTicked(empty));
    EXPECT_FALSE(RowCanNeverBeTicked(photos));
    EXPECT_EQ(RowFolderName("My {odd} name {1 file and no subfolders, 1 bytes}"), "My {odd} name");

    // A sub-subfolder that may not be read is passed over; the count does not stop there.
    QDir().mkpath(top + "Music/Locked");
    WriteFile(top + "Music/a.mp3", QByteArray(2048, 'm'));
    WriteFile(top + "Music/Locked/b.mp3", "b");
    chmod(QFile::encodeName(top + "Music/Locked").constData(), 0);
    OpenForOthers(top + "Music");
    const int status = RunWithoutPrivileges([&top] {
        const SubfolderRow music = DescribeSubfolder(top, "Music");
        return music.text == "Music {1 file and 1 subfolder, 2.00 Kb}" && !music.over ? 0 : 1;
    });
    chmod(QFile::encodeName(top + "Music/Locked").constData(), 0755);
    EXPECT_EQ(status, 0);
}

TEST(SubfolderRows, CaptionsAreShortenedBeforeTheBraces) {
    const QString row = QString(100, u'n') + " {1 file and no subfolders, 12 bytes}";
    const QString caption = ShortenRowCaption(row);
    EXPECT_TRUE(caption.endsWith(" ... {1 file and no subfolders, 12 bytes}"));
    EXPECT_EQ(caption.size(), 84 + 5);
    EXPECT_EQ(ShortenRowCaption("Short {no files and no subfolders}"),
              "Short {no files and no subfolders}");
}

TEST(SubfolderRows, PreselectionAndTheCountLine) {
    std::vector<SubfolderRow> rows(40);
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i].text = QStringLiteral("F%1 {1 file and no subfolders, 1.00 Kb}")
                           .arg(i, 2, 10, QLatin1Char('0'));
        rows[i].size = 1024;
    }
    rows[0].text = "photos {1 file and no subfolders, 1.00 Kb}";
    rows[1].emptyOrUnreadable = true;
    rows[39].text = "f02 {1 file and no subfolders, 1.00 Kb}";
    PreselectRows(rows, "Photos\r\nF01\r\n\r\nMissing\r\nF02");
    EXPECT_EQ(rows[0].state, 1) << "a name without a row of its own matches in any case";
    EXPECT_EQ(rows[39].state, 0) << "F02 has its own row; f02 is another folder";
    EXPECT_EQ(rows[1].state, 0) << "an empty folder is never ticked";
    EXPECT_EQ(rows[2].state, 1);
    rows[2].over = true;
    rows[3].state = 1;
    EXPECT_EQ(SelectionCountLine(rows, true), "3 selected (of 40).\r\nA total of over 3.00 Kb.");
    EXPECT_EQ(SelectionCountLine(rows, false), "3 selected (of 40).");
    for (SubfolderRow& row : rows)
        row.state = 1;
    EXPECT_TRUE(SelectionCountLine(rows, true).startsWith("All 40 subfolders selected.\r\n"));
    for (SubfolderRow& row : rows)
        row.state = 0;
    EXPECT_EQ(SelectionCountLine(rows, true), "No subfolders selected.");
    rows[5].state = 1;
    EXPECT_EQ(SelectionCountLine(rows, true), "One subfolder selected.\r\nA total of 1.00 Kb.");
}

} // namespace
} // namespace vnt::test
