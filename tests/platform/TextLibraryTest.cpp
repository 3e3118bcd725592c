#include "platform/TextLibrary.h"

#include "TestSupport.h"

#include <array>
#include <gtest/gtest.h>
#include <QTemporaryDir>

namespace vnt {
namespace {

class TextLibraryTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TextLibrary library;

    qint32 LoadContent(const QByteArray& content) {
        const QString path = dir.filePath(QStringLiteral("texts.dat"));
        test::WriteFile(path, content);
        return library.load(path);
    }

    QString Get(qint16 n, qint32 capacity = TextLibrary::BufferCapacity) {
        std::array<QChar, TextLibrary::BufferCapacity> buffer{};
        const qint32 length = library.get(n, 0, buffer.data(), capacity);
        return length <= 0 ? QStringLiteral("<none>") : QString(buffer.data(), length);
    }
};

TEST_F(TextLibraryTest, ReadsTextsCommentsAndLineEnds) {
    const QByteArray content = "\xEF\xBB\xBF# heading\r\n"
                               "1 Vantoro\r\n"
                               "\n"
                               "   # indented comment\n"
                               "2\tTab separated  \n"
                               "  3 leading blanks before the number\n"
                               "4 ~\n"
                               "7 Gr\xC3\xBC\xC3\x9F"
                               "e C:\\ and 50% done\n";
    EXPECT_EQ(LoadContent(content), 5);
    EXPECT_EQ(Get(1), "Vantoro");
    EXPECT_EQ(Get(2), "Tab separated  "); // trailing blanks belong to the text
    EXPECT_EQ(Get(3), "leading blanks before the number");
    EXPECT_EQ(Get(4), "~"); // the marker is the caller's to interpret
    EXPECT_EQ(Get(7), QString::fromUtf8("Gr\xC3\xBC\xC3\x9F"
                                        "e C:\\ and 50% done"));
    EXPECT_EQ(Get(5), "<none>");
    EXPECT_EQ(Get(3, 7), "leading"); // cut at the caller's capacity
    std::array<QChar, 8> buffer{};
    EXPECT_EQ(library.get(1, 1, buffer.data(), 8), 0) << "only language 0 exists";
}

TEST_F(TextLibraryTest, FileLevelFailures) {
    EXPECT_EQ(library.load(dir.filePath(QStringLiteral("missing.dat"))), TextStatus::CannotOpen);
    EXPECT_EQ(LoadContent(""), TextStatus::EmptyFile);
    EXPECT_EQ(LoadContent("# only a comment\n\n"), TextStatus::NothingRead);
    EXPECT_EQ(LoadContent("1 caf\xE9\n"), TextStatus::ReadError) << "Latin-1 byte, not UTF-8";

    QByteArray huge;
    const QByteArray longText(1000, 'x');
    for (int n = 1; n <= 4500; ++n)
        huge += QByteArray::number(n) + ' ' + longText + '\n';
    EXPECT_EQ(LoadContent(huge), TextStatus::TooMuchText);
}

TEST_F(TextLibraryTest, LineNumberedFailures) {
    EXPECT_EQ(LoadContent("1 one\n2 two\n3\n"), -503) << "number without text";
    EXPECT_EQ(LoadContent("1 one\n2    \n"), -502) << "only blanks after the number";
    EXPECT_EQ(LoadContent("# c\nhello world\n"), -502) << "no number at all";
    EXPECT_EQ(LoadContent("1x text\n"), -501) << "number not followed by a blank";
    EXPECT_EQ(LoadContent("-5 text\n"), -501);
    EXPECT_EQ(LoadContent("40000 text\n"), -501) << "beyond a 16-bit number";

    EXPECT_EQ(LoadContent("1 " + QByteArray(1024, 'a') + "\n2 " + QByteArray(1025, 'b') + "\n"),
              -1002);
    EXPECT_EQ(Get(1), "<none>") << "a failed load keeps nothing of the failed file";

    EXPECT_EQ(LoadContent("1 one\n2 two\n\n1 again\n"), -1504);
    EXPECT_EQ(library.failureLine(), 4);
}

TEST_F(TextLibraryTest, LinesBeyondFiveHundredKeepTheirCondition) {
    QByteArray content;
    for (int n = 1; n < 600; ++n)
        content += QByteArray::number(n) + " text\n";
    EXPECT_EQ(LoadContent(content + "600\n"), -1000) << "still the missing-text class";
    EXPECT_EQ(library.failureLine(), 600);
    EXPECT_EQ(LoadContent(content + "600 " + QByteArray(1100, 'z') + "\n"), -1500);
    EXPECT_EQ(library.failureLine(), 600);
    EXPECT_EQ(LoadContent(content + "5 twice\n"), -2100);
}

TEST_F(TextLibraryTest, FailedLoadKeepsEarlierTexts) {
    ASSERT_EQ(LoadContent("1 first\n"), 1);
    EXPECT_EQ(library.load(dir.filePath(QStringLiteral("missing.dat"))), TextStatus::CannotOpen);
    EXPECT_EQ(Get(1), "first");
}

} // namespace
} // namespace vnt
