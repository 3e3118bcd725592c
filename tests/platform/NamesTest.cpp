#include "platform/Names.h"

#include <gtest/gtest.h>
#include <QRandomGenerator>

namespace vnt::test {
namespace {

TEST(NameCodec, EveryByteThatIsNotUtf8RoundTrips) {
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        const QByteArray alone(1, static_cast<char>(byte));
        const QByteArray inside = "dir" + alone + "x.txt";
        for (const QByteArray& name : {alone, inside, alone + alone}) {
            const QString decoded = DecodeName(name);
            EXPECT_EQ(EncodeName(decoded), name) << "byte " << byte;
            EXPECT_FALSE(ShownName(decoded).contains(QChar(0xDC00 + byte)));
        }
        EXPECT_EQ(ShownName(DecodeName(inside)), "dir" + QString(QChar(0xFFFD)) + "x.txt");
    }
}

TEST(NameCodec, ValidUtf8IsOrdinaryTextAndInvalidFormsStayBytes) {
    EXPECT_EQ(DecodeName(QByteArray("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80")),
              QString::fromUtf8("café € 😀"));
    EXPECT_EQ(EncodeName(QString::fromUtf8("café € 😀")),
              "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80");
    // Overlong, surrogate, beyond U+10FFFF, cut short: none may collapse into another name.
    for (const QByteArray& bad : {QByteArray("\xc0\xaf"), QByteArray("\xed\xa0\x80"),
                                  QByteArray("\xf4\x90\x80\x80"), QByteArray("\xe2\x82")}) {
        const QString decoded = DecodeName(bad);
        EXPECT_EQ(decoded.size(), bad.size()) << "one stand-in per byte";
        EXPECT_EQ(EncodeName(decoded), bad);
    }
    // A character beyond U+FFFF whose low half lies in the stand-in range is text.
    const QByteArray high("\xf0\x90\x82\x80"); // U+10080: D800 DC80
    EXPECT_EQ(DecodeName(high).size(), 2);
    EXPECT_EQ(EncodeName(DecodeName(high)), high);
    EXPECT_EQ(ShownName(DecodeName(high)), DecodeName(high));
}

TEST(NameCodec, RandomBytesRoundTrip) {
    QRandomGenerator random(7);
    for (int round = 0; round < 5000; ++round) {
        QByteArray name;
        const int size = 1 + static_cast<int>(random.bounded(12));
        for (int i = 0; i < size; ++i)
            name += static_cast<char>(1 + random.bounded(255));
        ASSERT_EQ(EncodeName(DecodeName(name)), name) << name.toHex().constData();
    }
}

} // namespace
} // namespace vnt::test
