#include "mainwindow/Wildcard.h"

#include "report/StrProc.h"

namespace vnt {

namespace {

bool OnlyStars(const QString& text) {
    for (const QChar c : text) {
        if (c != u'*')
            return false;
    }
    return true;
}

QString WithoutWildcards(QStringView text) {
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (c != u'*' && c != u'?')
            result.append(c);
    }
    return result;
}

} // namespace

bool MatchesWildcardPart(const QString& textIn, const QString& patternIn, bool exactCase) {
    const QString text = exactCase ? textIn : LowerCase(textIn);
    const QString pattern = exactCase ? patternIn : LowerCase(patternIn);
    if (text == pattern)
        return true;
    if (text.isEmpty())
        return OnlyStars(pattern);
    if (pattern.isEmpty())
        return true;

    qsizetype t = 0;
    qsizetype p = 0;
    while (true) {
        if (p >= pattern.size())
            return t >= text.size();
        const QChar pc = pattern[p];
        if (pc == u'?') {
            if (t >= text.size())
                return false;
        } else if (pc == u'*') {
            const QString rest = WithoutWildcards(QStringView(pattern).mid(p));
            if (rest.isEmpty())
                return true;
            const qsizetype found = text.indexOf(rest[0], t);
            if (found < 0)
                return false;
            // The star ends at the first later occurrence; the next pattern character is
            // compared with it.
            t = found;
            ++p;
            continue;
        } else if (t >= text.size() || text[t] != pc) {
            return false;
        }
        ++t;
        ++p;
    }
}

bool MatchesWildcardPattern(const QString& fileName, const QString& patternIn, bool exactCase) {
    // A path is not a file name. ("?", "*" and ":" are legal in Linux file names, so
    // unlike on other systems they do not make a name unmatchable.)
    if (fileName.contains(u'/'))
        return false;
    const QString pattern = patternIn.trimmed();
    if (pattern.isEmpty())
        return true;

    const qsizetype patternDot = pattern.lastIndexOf(u'.');
    const qsizetype nameDot = fileName.lastIndexOf(u'.');
    if (patternDot < 0 && nameDot < 0)
        return MatchesWildcardPart(fileName, pattern, exactCase);
    if (patternDot < 0)
        return false;
    const QString patternBase = pattern.left(patternDot);
    const QString patternExtension = pattern.mid(patternDot + 1);
    if (nameDot < 0) {
        if (!QString(patternExtension).remove(u'*').isEmpty())
            return false;
        return MatchesWildcardPart(fileName, patternBase, exactCase);
    }
    return MatchesWildcardPart(fileName.left(nameDot), patternBase, exactCase) &&
           MatchesWildcardPart(fileName.mid(nameDot + 1), patternExtension, exactCase);
}

} // namespace vnt
