#pragma once

#include <QStringList>

namespace vnt {

// Sorts texts[first..last] in place by their keys: the text from startPosition on
// (1 = whole text), lower-cased when ignoreCase; keys compare by character code.
// Indices outside the list are clamped to it.
void SortTexts(QStringList& texts, qsizetype first, qsizetype last, bool ignoreCase,
               qsizetype startPosition = 1);

} // namespace vnt
