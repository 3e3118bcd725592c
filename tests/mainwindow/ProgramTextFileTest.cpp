// The shipped program text file: complete, loadable, and shaped as its callers need.
#include "mainwindow/Language.h"

#include <gtest/gtest.h>
#include <QRegularExpression>
#include <vector>

namespace vnt {
namespace {

std::vector<qint16> NumbersInUse() {
    std::vector<qint16> numbers;
    const auto range = [&numbers](int first, int last) {
        for (int n = first; n <= last; ++n)
            numbers.push_back(static_cast<qint16>(n));
    };
    for (const int n : {1, 19, 31, 32, 72, 134, 135, 152, 310, 403, 405, 406})
        numbers.push_back(static_cast<qint16>(n));
    range(21, 28);
    range(36, 49);
    range(58, 60);
    range(62, 66);
    range(79, 83);
    range(112, 122);
    range(157, 159);
    range(164, 172);
    range(346, 349);
    range(352, 358);
    range(374, 392);
    return numbers;
}

class ProgramTextFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(LoadProgramText(QStringLiteral("vnt.dat"), QStringLiteral(VANTORO_DATA_DIR)),
                  QString());
    }
};

TEST_F(ProgramTextFile, EveryNumberInUseHasAText) {
    for (const qint16 n : NumbersInUse()) {
        const QString text = ProgramText(n);
        EXPECT_FALSE(text.trimmed().isEmpty()) << "text " << n;
        EXPECT_FALSE(text.startsWith(u' ')) << "text " << n << " starts with a blank";
    }
}

TEST_F(ProgramTextFile, TextsWithAFixedWordingOrShape) {
    EXPECT_EQ(ProgramText(1), "Vantoro");
    EXPECT_EQ(ProgramText(44), "Pause");
    EXPECT_EQ(ProgramText(60), "Counting files ...");
    EXPECT_EQ(ProgramText(63).right(1), " ") << "the error count follows directly";

    // The last modified-since entry is made from 358 by turning its "2" into "4".
    const QString twoWeeks = ProgramText(358);
    EXPECT_EQ(twoWeeks.count(u'2'), 1);
    EXPECT_EQ(twoWeeks.count(u'4'), 0);
    EXPECT_EQ(QString(twoWeeks).replace(u'2', u'4'), "in the last 4 weeks");
    const QStringList periods = {ProgramText(353), ProgramText(356), ProgramText(357), twoWeeks};
    EXPECT_EQ(periods.size(), QSet<QString>(periods.begin(), periods.end()).size());

    EXPECT_EQ(ProgramText(374).count(QStringLiteral("C:\\")), 1);
    EXPECT_EQ(ProgramText(378).count(QStringLiteral("E:\\")), 1);
    EXPECT_TRUE(ProgramText(383).contains(QStringLiteral("999")));
    EXPECT_NE(ProgramText(19), ProgramText(21));
    EXPECT_NE(ProgramText(58), ProgramText(44));
    EXPECT_TRUE(ProgramText(122).contains(QRegularExpression("^https?://\\S+$")));
}

} // namespace
} // namespace vnt
