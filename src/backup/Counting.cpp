#include "backup/Counting.h"

#include "mainwindow/Wildcard.h"
#include "platform/Directory.h"

#include <QFileInfo>

namespace vnt {

FileCount CountFiles(const QString& folder, const QString& pattern, bool stopAtFirst,
                     bool withSizes, const std::function<void()>& yield) {
    FileCount result;
    const QString base = folder.endsWith(u'/') ? folder : folder + u'/';
    const FileError error = ReadDirectory(folder, [&](const DirectoryEntry& entry) {
        if (entry.kind != EntryKind::File || !MatchesWildcardPattern(entry.name, pattern, false))
            return true;
        ++result.count;
        if (withSizes)
            result.sizeTotal += static_cast<double>(QFileInfo(base + entry.name).size());
        if (yield)
            yield();
        return !stopAtFirst;
    });
    if (error.number == ErrorNumber::PermissionDenied) {
        result.accessDenied = true;
        result.count = 0;
    } else if (error) {
        result.count = -1;
        result.errorText = error.description;
    }
    return result;
}

} // namespace vnt
