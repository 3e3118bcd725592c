#include "report/StrProc.h"

#include <gtest/gtest.h>
#include <QLocale>

namespace vnt {
namespace {

TEST(StrProc, CountsAndByteTexts) {
    EXPECT_EQ(FormatCount(qint32{12345}), "12,345");
    EXPECT_EQ(FormatCount(qint32{-1}), "-1");
    EXPECT_EQ(FormatCount(5000000000.0), "5,000,000,000");
    EXPECT_EQ(FormatCount(0.0), "0");

    EXPECT_EQ(FormatByteCount(-1), "");
    EXPECT_EQ(FormatByteCount(0), "0 bytes");
    EXPECT_EQ(FormatByteCount(0, true), "0 Bytes");
    EXPECT_EQ(FormatByteCount(3145728), "3,145,728 bytes");
    EXPECT_EQ(FormatByteCount(1, true), "1 Bytes");

    EXPECT_EQ(FormatByteSize(-5), "");
    EXPECT_EQ(FormatByteSize(0), "0 bytes");
    EXPECT_EQ(FormatByteSize(1048576), "1,048,576 bytes");
    EXPECT_EQ(FormatByteSize(1048577), "1,048,577 bytes (1.00 Mb)");
    EXPECT_EQ(FormatByteSize(3145728), "3,145,728 bytes (3.00 Mb)");
    EXPECT_EQ(FormatByteSize(10995116277760.0), "10,995,116,277,760 bytes (10,485,760.00 Mb)");
}

TEST(StrProc, ScaledSizesInBothVariants) {
    const struct {
        double bytes;
        qint16 decimals;
        const char* first;
        const char* second;
    } cases[] = {
        {-3, 1, "", "-3 bytes"},
        {0, 2, "0 bytes", "0 bytes"},
        {1023, 2, "1023 bytes", "1023 bytes"},
        {1024, 1, "1.0 Kb", "1.0 Kb"},
        {1536, 1, "1.5 Kb", "1.5 Kb"},
        {1048575, 0, "1,024 Kb", "1,024 Kb"},
        {1048576, 2, "1.00 Mb", "1.00 Mb"},
        {1073741824, 1, "1,024.0 Mb", "1.0 Gb"},
        {5.5 * 1073741824.0, 2, "5,632.00 Mb", "5.50 Gb"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatScaledSize(c.bytes, c.decimals), c.first) << c.bytes;
        EXPECT_EQ(FormatScaledSize2(c.bytes, c.decimals), c.second) << c.bytes;
    }
}

TEST(StrProc, SeparatorsFollowTheLocale) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(FormatByteSize(3145728), "3.145.728 bytes (3,00 Mb)");
    EXPECT_EQ(FormatScaledSize2(1536, 1), "1,5 Kb");
    EXPECT_EQ(FormatCount(qint32{12345}), "12.345");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

TEST(StrProc, PluralAndTrims) {
    EXPECT_EQ(PluralSuffix(1), "");
    EXPECT_EQ(PluralSuffix(0), "s");
    EXPECT_EQ(PluralSuffix(2), "s");
    EXPECT_EQ(PluralSuffix(-1), "s");

    QString text = QStringLiteral("abc\r\n ");
    TrimTrailingBlanks(text);
    EXPECT_EQ(text, "abc");
    text = QStringLiteral(" \t \r\n");
    TrimTrailingBlanks(text);
    EXPECT_EQ(text, "");
    text = QStringLiteral("a b\t");
    TrimTrailingBlanks(text);
    EXPECT_EQ(text, "a b");
    text = QString();
    TrimTrailingBlanks(text);
    EXPECT_EQ(text, "");

    text = QStringLiteral("abc \r\n\t");
    TrimTrailingControls(text);
    EXPECT_EQ(text, "abc ") << "a blank is not a control character";
    text = QString(QChar(0)) + QChar(31);
    TrimTrailingControls(text);
    EXPECT_EQ(text, "");
}

TEST(StrProc, ShortenedPaths) {
    bool shortened = false;
    EXPECT_EQ(ShortenedPath("/home/Data/Projects/Report", 13, shortened), "/ho.../Report");
    EXPECT_TRUE(shortened);
    const QString path = QStringLiteral("/home/me/Data/Projects/Report");
    for (const qint16 m : {10, 13, 20, 28}) {
        shortened = false;
        const QString result = ShortenedPath(path, m, shortened);
        EXPECT_EQ(result.size(), m);
        EXPECT_TRUE(result.startsWith("/ho...") && path.endsWith(result.mid(6)));
        EXPECT_TRUE(shortened);
    }
    shortened = false;
    EXPECT_EQ(ShortenedPath(path, 9, shortened), path) << "9 or less leaves it";
    EXPECT_EQ(ShortenedPath(path, 29, shortened), path) << "it fits";
    EXPECT_EQ(ShortenedPath(path, 200, shortened), path);
    EXPECT_FALSE(shortened);
    shortened = true;
    ShortenedPath(path, 200, shortened);
    EXPECT_TRUE(shortened) << "the flag is only ever set";
}

TEST(StrProc, PathPieces) {
    EXPECT_EQ(FileNameOfPath("/home/me/Photo.JPG"), "Photo.JPG");
    EXPECT_EQ(FileNameOfPath("/home/me/Photo.JPG", true), "photo.jpg");
    EXPECT_EQ(FileNameOfPath("plain"), "plain");
    EXPECT_EQ(FileNameOfPath("/home/me/"), "");
    EXPECT_EQ(FolderOfPath("/home/me/Photo.JPG"), "/home/me/");
    EXPECT_EQ(FolderOfPath("plain"), "");
    EXPECT_EQ(ExtensionOfPath("/home/me/Photo.tar.GZ", true), "gz");
    EXPECT_EQ(ExtensionOfPath("/home/me/Photo.tar.GZ"), "GZ");
    EXPECT_EQ(ExtensionOfPath("/home/my.folder/README"), "") << "a dot in a folder name";
    EXPECT_EQ(ExtensionOfPath("/home/me/.bashrc"), "bashrc");
    EXPECT_EQ(ExtensionOfPath("/home/me/name."), "");

    EXPECT_EQ(DriveDesignation(""), "");
    EXPECT_EQ(DriveDesignation("/"), "/");
    EXPECT_EQ(DriveDesignation("relative/path"), "");
}

TEST(StrProc, CaseMappingKeepsLengthAndCoversAccentedLetters) {
    const QString upper = QStringLiteral("ŠŸÀÁÂÃÄÅÇÈÉÊËÌÍÎÏÐÑÒÓÔÕÖØÙÚÛÜÝ");
    const QString lower = QStringLiteral("šÿàáâãäåçèéêëìíîïðñòóôõöøùúûüý");
    EXPECT_EQ(LowerCase(upper), lower);
    EXPECT_EQ(UpperCase(lower), upper);
    EXPECT_EQ(LowerCase("ABC xyz 123"), "abc xyz 123");
    EXPECT_EQ(UpperCase(QStringLiteral("straße")), QStringLiteral("STRAßE")) << "no length change";
}

} // namespace
} // namespace vnt
