#include "setups/SortProc.h"

#include "report/StrProc.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace vnt {

void SortTexts(QStringList& texts, qsizetype first, qsizetype last, bool ignoreCase,
               qsizetype startPosition) {
    first = std::max<qsizetype>(first, 0);
    last = std::min<qsizetype>(last, texts.size() - 1);
    if (last - first < 1)
        return;
    const qsizetype keyStart = std::max<qsizetype>(startPosition, 1) - 1;

    // Keys are made once, not at every comparison.
    std::vector<std::pair<QString, QString>> rows;
    rows.reserve(static_cast<size_t>(last - first + 1));
    for (qsizetype i = first; i <= last; ++i) {
        QString key = texts[i].mid(keyStart);
        rows.emplace_back(ignoreCase ? LowerCase(key) : std::move(key), std::move(texts[i]));
    }
    std::sort(rows.begin(), rows.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (qsizetype i = first; i <= last; ++i)
        texts[i] = std::move(rows[static_cast<size_t>(i - first)].second);
}

} // namespace vnt
