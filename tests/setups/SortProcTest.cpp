#include "setups/SortProc.h"

#include <gtest/gtest.h>

namespace vnt {
namespace {

TEST(SortTexts, IgnoringCaseOrNot) {
    QStringList texts = {"b", "A", "a", "C"};
    SortTexts(texts, 0, 3, true);
    EXPECT_TRUE((texts.mid(0, 2) == QStringList{"A", "a"}) ||
                (texts.mid(0, 2) == QStringList{"a", "A"}));
    EXPECT_EQ(texts.mid(2), (QStringList{"b", "C"}));

    texts = {"b", "A", "a", "C"};
    SortTexts(texts, 0, 3, false);
    EXPECT_EQ(texts, (QStringList{"A", "C", "a", "b"}));

    texts = {QStringLiteral("Ärger"), "Zebra"};
    SortTexts(texts, 0, 1, true);
    EXPECT_EQ(texts, (QStringList{"Zebra", QStringLiteral("Ärger")})) << "ä sorts after z by code";

    texts = {"abc", "ab", "", "b"};
    SortTexts(texts, 0, 3, false);
    EXPECT_EQ(texts, (QStringList{"", "ab", "abc", "b"})) << "a prefix sorts first";
}

TEST(SortTexts, RangeAndStartPosition) {
    QStringList texts = {"z", "y", "x", "w", "v"};
    SortTexts(texts, 1, 3, false);
    EXPECT_EQ(texts, (QStringList{"z", "w", "x", "y", "v"}));

    texts = {"1 Zulu", "2 alpha", "3 Mike"};
    SortTexts(texts, 0, 2, true, 3);
    EXPECT_EQ(texts, (QStringList{"2 alpha", "3 Mike", "1 Zulu"}));

    texts = {"b", "a"};
    SortTexts(texts, 1, 1, false);
    EXPECT_EQ(texts, (QStringList{"b", "a"})) << "one text is left alone";
    SortTexts(texts, 1, 0, false);
    EXPECT_EQ(texts, (QStringList{"b", "a"}));
    SortTexts(texts, -5, 99, false);
    EXPECT_EQ(texts, (QStringList{"a", "b"})) << "indices are clamped to the list";
    QStringList empty;
    SortTexts(empty, 0, 10, true);
    EXPECT_TRUE(empty.isEmpty());

    // Larger input stays a permutation in order.
    QStringList many;
    for (int i = 0; i < 1000; ++i)
        many.append(QString::number((i * 7919) % 1000).rightJustified(4, u'0'));
    SortTexts(many, 0, many.size() - 1, false);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(many[i], QString::number(i).rightJustified(4, u'0'));
}

} // namespace
} // namespace vnt
