#include "mainwindow/Language.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>

namespace vnt {
namespace {

TEST(ProgramTextLoadMessage, EveryStatusOfTheTable) {
    const QString path = QStringLiteral("/opt/vantoro/vnt.dat");
    const struct {
        qint32 status;
        const char* message;
    } cases[] = {
        {0, "No program text was read."},
        {-1, "Cannot open file containing program text.\r\n/opt/vantoro/vnt.dat"},
        {-2, "Particular memory allocation error."},
        {-3, "Too much program text."},
        {-4, "Text not recovered."},
        {-5, "Error -5"},
        {-6, "File is empty."},
        {-7, "Error reading file."},
        {-8, "General memory allocation error."},
        {-9, "Error -9"},
        {-500, "Error -500"},
        {-501, "Missing string at line 1."},
        {-1000, "Missing string at line 500."},
        {-1001, "String too long at line 1."},
        {-1500, "String too long at line 500."},
        {-1501, "Duplicate in program text at line 1."},
        {-2100, "Duplicate in program text at line 600."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgramTextLoadMessage(c.status, path), QString::fromUtf8(c.message)) << c.status;
    EXPECT_EQ(ProgramTextLoadMessage(-1000, path, 612), "Missing string at line 612.");
}

TEST(ProgramTextFilePath, OneSeparatorBetweenFolderAndName) {
    EXPECT_EQ(ProgramTextFilePath("/", "vnt.dat"), "/vnt.dat");
    EXPECT_EQ(ProgramTextFilePath("/opt/vantoro", "vnt.dat"), "/opt/vantoro/vnt.dat");
    EXPECT_EQ(ProgramTextFilePath("/opt/vantoro/", "vnt.dat"), "/opt/vantoro/vnt.dat");
}

TEST(LoadProgramText, LoadsFromTheFolderAndReportsAMissingFile) {
    QTemporaryDir dir;
    test::WriteFile(dir.filePath("vnt.dat"), "1 Vantoro\n5 ~\n");
    EXPECT_EQ(LoadProgramText("vnt.dat", dir.path()), QString());
    EXPECT_EQ(ProgramText(1), "Vantoro");
    EXPECT_EQ(ProgramText(5), QString()) << "the empty-text marker";
    EXPECT_EQ(ProgramText(6), QString()) << "an absent number";

    const QString message = LoadProgramText("other.dat", dir.path());
    EXPECT_EQ(message, "Cannot open file containing program text.\r\n" + dir.path() + "/other.dat");

    test::WriteFile(dir.filePath("bad.dat"), "1 one\n2 two\n2 again\n");
    EXPECT_EQ(LoadProgramText("bad.dat", dir.path()), "Duplicate in program text at line 3.");
}

} // namespace
} // namespace vnt
