#include "mainwindow/Wildcard.h"

#include <gtest/gtest.h>

namespace vnt {
namespace {

TEST(MatchesWildcardPart, Table) {
    const struct {
        const char* text;
        const char* pattern;
        bool exactCase;
        bool expected;
    } cases[] = {
        {"txt", "t?t", false, true},
        {"txt", "*", false, true},
        {"TXT", "txt", false, true},
        {"TXT", "txt", true, false},
        {"ab", "a?b", false, false},
        {"photo", "p*o", false, false}, // the star stops at the first "o"
        {"photo", "p*t?", false, true},
        {"photo", "*o", false, false},
        {"photo", "ph*", false, true},
        {"photo", "p**o", false, false},
        {"abx", "*?x", false, false}, // "?" takes the character the star stopped at
        {"abcd", "a*d", false, true},
        {"abcd", "a*e", false, false},
        {"", "", false, true},
        {"", "**", false, true},
        {"", "*?", false, false},
        {"", "a", false, false},
        {"anything", "", false, true},
        {"ab", "ab?", false, false},
        {"abc", "?bc", false, true},
        {"JPEG", "jp*g", false, true},
        {"JPEG", "jp*g", true, false},
        {"ÄRGER", "ärger", false, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesWildcardPart(QString::fromUtf8(c.text), QString::fromUtf8(c.pattern),
                                      c.exactCase),
                  c.expected)
            << c.text << " / " << c.pattern;
}

TEST(MatchesWildcardPattern, Table) {
    const struct {
        const char* name;
        const char* pattern;
        bool expected;
    } cases[] = {
        {"readme", "*.*", true},
        {"readme", "read*", true},
        {"readme", "*.txt", false},
        {"a.txt", "a", false},
        {"a.txt", "*.*", true},
        {"a.txt", "  A.TXT ", true},
        {"a.txt", "", true},
        {"a.txt", "   ", true},
        {"a.txt", "*.t?t", true},
        {"a.txt", "b.*", false},
        {"archive.tar.gz", "*.gz", true},
        {"archive.tar.gz", "archive.*", false}, // the base is "archive.tar"
        {"archive.tar.gz", "archive*.*", true},
        {"readme", "readme.", true},
        {"readme", "readme.x", false},
        {"what?.txt", "*.txt", true}, // legal on Linux
        {"dir/a.txt", "*.*", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesWildcardPattern(c.name, c.pattern, false), c.expected)
            << c.name << " / " << c.pattern;
}

} // namespace
} // namespace vnt
