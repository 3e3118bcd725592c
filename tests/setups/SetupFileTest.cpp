#include "setups/SetupFile.h"

#include "platform/DataFolder.h"
#include "platform/Names.h"
#include "setups/Registry.h"
#include "TestSupport.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <vector>

namespace vnt::test {
namespace {

class SetupFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString file = dir.filePath("a.vnt");

    SetupFileRead Read(const QByteArray& bytes) {
        WriteFile(file, bytes);
        return ReadSetupFile(file);
    }
};

TEST_F(SetupFileTest, WritesTheLayoutByteForByte) {
    vnt::Setup setup;
    setup.sourceFolder = "/home/me/Data, old/";
    setup.targetFolder = "/media/USB/";
    setup.suppressDetailedReports = 1;
    setup.includeSubfolders = 1;
    setup.modifiedSinceIndex = -1;
    setup.excludedFilepaths = "cache, .git";
    setup.includedFolders = {"Letters", "Photos 2024"};
    setup.fileExtension = "jp?g";
    EXPECT_EQ(SetupFileBytes(setup),
              "/home/me/Data, old/\r\n/media/USB/\r\n 1 \r\n 0 \r\n 0 \r\n 1 \r\n"
              "-1 \r\n 0 \r\ncache, .git\r\n 2 \r\nLetters\r\nPhotos 2024\r\njp?g\r\n");
    vnt::Setup empty;
    EXPECT_EQ(SetupFileBytes(empty),
              "\r\n\r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n\r\n 0 \r\n\r\n");
}

TEST_F(SetupFileTest, RoundTripKeepsEveryField) {
    const QString source = dir.path() + "/Ünïcode, with blanks/";
    ASSERT_TRUE(QDir().mkpath(source + "Brève/inner"));
    ASSERT_TRUE(QDir().mkpath(source + "B, c"));
    vnt::Setup setup;
    setup.sourceFolder = source;
    setup.targetFolder = dir.path() + "/Zïel/";
    setup.saveSetupOnQuit = 1;
    setup.excludeFilesInSourceFolder = 2;
    setup.modifiedSinceIndex = 4;
    setup.pauseAfterFirstCopy = 1;
    setup.excludedFilepaths = " ,a,,b, ";
    setup.includedFolders = {"Brève", "B, c"};
    setup.fileExtension = "*x";
    ASSERT_TRUE(WriteSetupFile(file, setup));
    const SetupFileRead read = ReadSetupFile(file);
    EXPECT_EQ(read.result, 0);
    EXPECT_EQ(SetupFileBytes(read.setup), SetupFileBytes(setup));
    EXPECT_TRUE(read.someSubfolderHasSubfolders);
}

TEST_F(SetupFileTest, ALineBreakInAnyTextIsRefusedAndTheOldFileKept) {
    vnt::Setup good;
    good.sourceFolder = "/src/";
    good.targetFolder = "/dst/";
    good.includedFolders = {"A", "B"};
    ASSERT_TRUE(WriteSetupFile(file, good));
    const QByteArray before = ReadAll(file);
    ASSERT_FALSE(before.isEmpty());

    const std::vector<std::pair<std::function<void(vnt::Setup&)>, QString>> cases = {
        {[](vnt::Setup& s) { s.sourceFolder = "/src\n/"; }, "source folder"},
        {[](vnt::Setup& s) { s.targetFolder = "/dst\r/"; }, "target folder"},
        {[](vnt::Setup& s) { s.includedFolders.append("C\r\nD"); }, "included subfolder"},
        {[](vnt::Setup& s) { s.excludedFilepaths = "cache,\ntmp"; }, "filepaths to skip"},
        {[](vnt::Setup& s) { s.fileExtension = "tx\nt"; }, "file extension"},
    };
    for (const auto& [breakIt, named] : cases) {
        vnt::Setup broken = good;
        breakIt(broken);
        EXPECT_TRUE(SetupLineBreakProblem(broken).contains(named))
            << SetupLineBreakProblem(broken).toStdString();
        EXPECT_FALSE(WriteSetupFile(file, broken)) << named.toStdString();
        EXPECT_FALSE(WriteSetupFile(dir.filePath("new.vnt"), broken)) << named.toStdString();
    }
    EXPECT_EQ(ReadAll(file), before) << "the old file is left as it was";
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.vnt"})
        << "no new file and no temporary file";
    EXPECT_TRUE(SetupLineBreakProblem(good).isEmpty());
}

TEST_F(SetupFileTest, AFailedWriteSaysWhyAndANameWithoutExtensionGetsOne) {
    vnt::Setup setup;
    setup.sourceFolder = "/src/";
    QString why;
    EXPECT_FALSE(WriteSetupFile(dir.filePath("no such folder/a.vnt"), setup, &why));
    EXPECT_EQ(why, QString::fromLocal8Bit(std::strerror(ENOENT)));
    WriteFile(dir.filePath("plain"), "x");
    EXPECT_FALSE(WriteSetupFile(dir.filePath("plain/a.vnt"), setup, &why));
    EXPECT_EQ(why, QString::fromLocal8Bit(std::strerror(ENOTDIR)));
    setup.fileExtension = "tx\nt";
    EXPECT_FALSE(WriteSetupFile(file, setup, &why));
    EXPECT_EQ(why, SetupLineBreakProblem(setup));

    EXPECT_EQ(WithSetupFileExtension("/home/me/nightly"), "/home/me/nightly.vnt");
    EXPECT_EQ(WithSetupFileExtension("/home/me.d/nightly"), "/home/me.d/nightly.vnt");
    for (const QString kept : {"/home/me/a.txt", "/home/me/a.VNT", "/home/me/a.", "/home/me/"})
        EXPECT_EQ(WithSetupFileExtension(kept), kept) << "left to the extension check";
}

TEST_F(SetupFileTest, MalformedFiles) {
    const QByteArray head = "/src/\r\n/dst/\r\n 1 \r\n 1 \r\n 0 \r\n 1 \r\n 2 \r\n 1 \r\ncache\r\n";
    SetupFileRead read = Read(head);
    EXPECT_EQ(read.result, 62) << "stops after line 9";
    EXPECT_EQ(read.setup.targetFolder, "/dst/");
    EXPECT_EQ(read.setup.modifiedSinceIndex, 2);
    EXPECT_EQ(read.setup.excludedFilepaths, "cache");
    EXPECT_TRUE(read.setup.includedFolders.isEmpty());

    read = Read(head + "-4 \r\ntxt\r\n");
    EXPECT_EQ(read.result, 0) << "a negative count is no subfolder";
    EXPECT_EQ(read.setup.fileExtension, "txt");

    const QString source = dir.path() + "/";
    QDir().mkpath(source + "Kept");
    read = Read(
        QFile::encodeName(source) +
        "\r\n/dst/\r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n\r\n 3 \r\nKept\r\nDeleted\r\n");
    EXPECT_EQ(read.result, 62);
    EXPECT_EQ(read.setup.includedFolders, QStringList{"Kept"}) << "a deleted subfolder is dropped";

    EXPECT_EQ(Read("/s/\r\n/d/\r\n 7 \r\n").result, 13) << "a check box cannot take 7";
    EXPECT_EQ(Read("/s/\r\n/d/\r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 5 \r\n").result, 13);
    EXPECT_EQ(Read("/s/\r\n/d/\r\n x \r\n").result, 13);
    EXPECT_EQ(ReadSetupFile(dir.filePath("missing.vnt")).result, 76);

    QElapsedTimer timer;
    timer.start();
    read = Read(head + " 2000000000 \r\nA\r\nB\r\n");
    EXPECT_EQ(read.result, 62);
    EXPECT_LT(timer.elapsed(), 1000) << "a huge count costs nothing";
}

// Names are bytes: whatever a line holds reads back as the same name and is written again
// byte for byte; only a NUL byte, which no name can hold, is refused.
TEST_F(SetupFileTest, EveryLineIsReadAsItsOwnBytes) {
    const QByteArray bytes =
        "/Caf\xe9/\r\n/\x80 \x9c/\r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n"
        "dir\xfe,\xc3\xa9t\xe9\r\n 0 \r\n*t\xc3\xa9t\r\n";
    const SetupFileRead read = Read(bytes);
    EXPECT_EQ(read.result, 0);
    EXPECT_EQ(EncodeName(read.setup.sourceFolder), "/Caf\xe9/");
    EXPECT_EQ(read.setup.excludedFilepaths, DecodeName(QByteArray("dir\xfe,\xc3\xa9t\xe9")));
    EXPECT_EQ(SetupFileBytes(read.setup), bytes);
    // The extension is a filter, not a name: it is read as the window cleans what is typed.
    QByteArray typed = bytes;
    typed.replace("*t\xc3\xa9t", "*.T\xf8\xc3\x89T");
    EXPECT_EQ(Read(typed).setup.fileExtension, QString::fromUtf8("*t\xc3\xa9t"));

    const auto raw = [](const auto& text) { return QByteArray(text, sizeof text - 1); };
    EXPECT_EQ(Read(raw("/s\0x/\r\n/d/\r\n 0 \r\n")).result, 13);
    EXPECT_EQ(
        Read(raw("/s/\r\n/d/\r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n\r\n 1 \r\na\0\r\n\r\n"))
            .result,
        13);
}

TEST_F(SetupFileTest, AnyBytesGiveAResultAndAConsistentSetup) {
    QRandomGenerator random(20261207);
    const QByteArray pieces[] = {" 0 ", " 1 ", "-1 ",      " 3 ",          "\r\n",
                                 "\n",  "/x/", "\xff\xfe", "999999999999", " 2 "};
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes;
        const int parts = static_cast<int>(random.bounded(40));
        for (int i = 0; i < parts; ++i) {
            if (random.bounded(3) == 0)
                bytes += static_cast<char>(random.bounded(256));
            else
                bytes += pieces[random.bounded(10)];
        }
        const SetupFileRead read = Read(bytes);
        ASSERT_TRUE(read.result == 0 || read.result == 62 || read.result == 13) << read.result;
        ASSERT_GE(read.setup.modifiedSinceIndex, -1);
        ASSERT_LE(read.setup.modifiedSinceIndex, 4);
        ASSERT_LE(read.setup.pauseAfterFirstCopy, 2);
    }
}

TEST(SettingsStore, StatusTextsAndTheStamp) {
    QString value;
    EXPECT_EQ(RestoreFromRegistry("", "x", value), "1 Key not found or is empty.");
    EXPECT_EQ(RestoreFromRegistry("Software\\Test", "x", value), "1 Key not found or is empty.");
    EXPECT_TRUE(SaveToRegistry("Software\\Test", "Name", QStringLiteral("value") + QChar(0))
                    .startsWith("0 New key created.  "));
    EXPECT_TRUE(
        SaveToRegistry("Software\\Test", "Other", "v").startsWith("0 Key already exists.  "));
    EXPECT_EQ(RestoreFromRegistry("Software\\Test", "", value), "2 Name not specified.");
    EXPECT_EQ(RestoreFromRegistry("Software\\Test", "Missing", value), "3 Name not found.");
    EXPECT_EQ(RestoreFromRegistry("Software\\Test", "Name", value), "0 OK");
    EXPECT_EQ(value, "value") << "trailing control characters go";

    EXPECT_EQ(StampPreviousRun("Software\\Stamp", "Previous run"), "") << "first start";
    QString first;
    RestoreFromRegistry("Software\\Stamp", "Previous run", first);
    EXPECT_TRUE(first.contains(" at "));
    EXPECT_EQ(StampPreviousRun("Software\\Stamp", "Previous run"), first);

    SaveToRegistry("Software\\Stamp", "Previous run", "123456789");
    EXPECT_EQ(StampPreviousRun("Software\\Stamp", "Previous run"), "")
        << "nine characters are not shown";
}

// Earlier versions kept the settings in ~/.config/Vantoro/; they move over once, beside the
// setup files, without losing a value.
TEST(SettingsStore, OldSettingsMoveOverOnceAndNothingIsLost) {
    const QString oldPath =
        QSettings(QSettings::IniFormat, QSettings::UserScope, "Vantoro", "Vantoro").fileName();
    const QString newPath = UserConfigFolder() + "/settings.ini";
    ASSERT_TRUE(QDir().mkpath(QFileInfo(oldPath).path()));
    WriteFile(oldPath, "[Moved]\nStamp=old stamp\nOnly=kept\n");

    // A new place that cannot be written leaves the old file, and it serves meanwhile.
    const QByteArray newBefore = QFile::exists(newPath) ? ReadAll(newPath) : QByteArray();
    QFile::remove(newPath);
    ASSERT_TRUE(QDir().mkdir(newPath));
    QString value;
    EXPECT_EQ(RestoreFromRegistry("Moved", "Stamp", value), "0 OK");
    EXPECT_EQ(value, "old stamp");
    EXPECT_TRUE(QFileInfo(oldPath).isFile());
    ASSERT_TRUE(QDir().rmdir(newPath));

    // A new file already there keeps its own values, even with a line that cannot be parsed;
    // the rest are moved into it.
    WriteFile(newPath, "<not a setting>\n" + newBefore + "\n[Moved]\nStamp=new stamp\n");
    EXPECT_EQ(RestoreFromRegistry("Moved", "Stamp", value), "0 OK");
    EXPECT_EQ(value, "new stamp") << "the value written later stays";
    EXPECT_EQ(RestoreFromRegistry("Moved", "Only", value), "0 OK");
    EXPECT_EQ(value, "kept");
    EXPECT_TRUE(ReadAll(newPath).contains("Only=kept"));
    EXPECT_FALSE(QFileInfo::exists(oldPath));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(oldPath).path())) << "the empty old folder goes";
    EXPECT_TRUE(SaveToRegistry("Moved", "Only", "again").startsWith("0 Key already exists."));
    EXPECT_FALSE(QFileInfo::exists(oldPath)) << "nothing is written to the old place";
}

TEST(SettingsStore, TheStampHasTheFullYearAndSeconds) {
    const QDateTime moment(QDate(2007, 11, 11), QTime(23, 23, 5));
    EXPECT_EQ(PreviousRunStampText(moment, QLocale(QLocale::Swedish, QLocale::Sweden)),
              "2007-11-11 at 23:23:05");
    EXPECT_EQ(PreviousRunStampText(moment, QLocale(QLocale::German, QLocale::Germany)),
              "11.11.2007 at 23:23:05")
        << "a short format with a two-digit year gets the year in full";
    EXPECT_EQ(PreviousRunStampText(moment, QLocale(QLocale::English, QLocale::UnitedStates)),
              "11/11/2007 at 11:23:05 PM")
        << "no time zone";
    EXPECT_EQ(PreviousRunStampText(moment, QLocale(QLocale::French, QLocale::Canada)),
              "2007-11-11 at 23 h 23 min 05 s")
        << "quoted words of a format stay";
}

} // namespace
} // namespace vnt::test
