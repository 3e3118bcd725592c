#pragma once
// Counting the files of a folder.

#include <functional>
#include <QString>

namespace vnt {

struct FileCount {
    qint32 count = 0; // -1 when the folder could not be read
    bool accessDenied = false;
    QString errorText;
    double sizeTotal = 0; // bytes of the matching files, when sizes were asked for
};

// Files directly in folder whose names match pattern (letter case ignored). Folders,
// FIFOs, sockets and devices are not files; links to files are. With stopAtFirst the
// count ends at the first match; yield runs after every file. Access denied gives 0.
FileCount CountFiles(const QString& folder, const QString& pattern, bool stopAtFirst = false,
                     bool withSizes = false, const std::function<void()>& yield = {});

} // namespace vnt
