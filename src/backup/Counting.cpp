#include "backup/Counting.h"

#include "backup/Catalog.h"
#include "mainwindow/FolderProc.h"
#include "mainwindow/Wildcard.h"
#include "platform/Directory.h"
#include "platform/FileCopy.h"
#include "report/StrProc.h"

#include <algorithm>

namespace vnt {

namespace {

bool Matches(const QString& name, const QString& pattern) {
    // Every file name matches "*.*"; skip the matcher for the common case.
    return pattern == u"*.*" || MatchesWildcardPattern(name, pattern, false);
}

QString WithSlash(const QString& folder) {
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

double SizeOf(const QString& path) {
    const qint64 size = FileSizeOrError(path);
    return size >= 0 ? static_cast<double>(size) : 0.0;
}

} // namespace

FileCount CountFiles(const QString& folder, const QString& pattern, bool stopAtFirst,
                     bool withSizes, const std::function<void()>& yield) {
    FileCount result;
    const QString base = WithSlash(folder);
    const FileError error = ReadDirectory(folder, [&](const DirectoryEntry& entry) {
        if (entry.kind != EntryKind::File || !Matches(entry.name, pattern))
            return true;
        ++result.count;
        if (withSizes)
            result.sizeTotal += SizeOf(base + entry.name);
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

FolderCount CountSubfolders(const QString& folder, bool ownLeftOut) {
    FolderCount result;
    const FileError error = ReadDirectory(WithSlash(folder), [&](const DirectoryEntry& entry) {
        if (entry.kind == EntryKind::Folder && !entry.isLink &&
            !(ownLeftOut && IsOwnTargetFolderName(entry.name)))
            ++result.count;
        return true;
    });
    if (error) {
        result.count = -1;
        result.errorText = error.description;
        result.errorNumber = error.number;
    }
    return result;
}

QStringList SubfolderNames(const QString& folder, FileError& error) {
    QStringList names;
    error = ReadDirectory(folder, [&names](const DirectoryEntry& entry) {
        if (entry.kind == EntryKind::Folder && !entry.isLink)
            names.append(entry.name);
        return true;
    });
    std::sort(names.begin(), names.end());
    return names;
}

bool IsFolderEmpty(const QString& folder, bool* accessDenied, bool ownLeftOut) {
    bool found = false;
    const FileError error =
        ReadDirectory(folder, [&found, ownLeftOut](const DirectoryEntry& entry) {
            found = entry.kind == EntryKind::File ||
                    (entry.kind == EntryKind::Folder && !entry.isLink &&
                     !(ownLeftOut && IsOwnTargetFolderName(entry.name)));
            return !found;
        });
    if (accessDenied != nullptr)
        *accessDenied = error.number == ErrorNumber::PermissionDenied;
    return error || !found;
}

qint32 ListFilesInFolder(const QString& folder, QStringList& names, qsizetype capacity,
                         double& sizeTotal, const QString& pattern, bool keepCase, bool withSizes) {
    names.clear();
    if (!FolderExists(folder))
        return -1;
    const QString base = WithSlash(folder);
    bool overflow = false;
    const FileError error = ReadDirectory(folder, [&](const DirectoryEntry& entry) {
        if (entry.kind != EntryKind::File || !Matches(entry.name, pattern))
            return true;
        if (names.size() >= capacity) {
            overflow = true;
            return false;
        }
        QString name = keepCase ? entry.name : LowerCase(entry.name);
        const double size = SizeOf(base + entry.name);
        sizeTotal += size;
        if (withSizes)
            name += QStringLiteral(" (") + FormatByteCount(size) + u')';
        names.append(name);
        return true;
    });
    if (overflow)
        return -2;
    if (error) {
        names = QStringList{error.description};
        return -3;
    }
    return static_cast<qint32>(names.size());
}

void CountFilesInTree(bool firstCall, const QString& folder, const QString& pattern,
                      TreeCount& tree, bool withSizes, bool skipSystemFolders, qint32 folderLimit,
                      const std::function<void()>& yield) {
    if (firstCall) {
        tree.count = 0;
        tree.sizeTotal = 0;
        tree.errorNumber = 0;
        tree.accessDenied = false;
        tree.foldersCounted = 0;
    }
    const QString base = WithSlash(folder);
    const auto finished = [&tree] {
        return tree.errorNumber != 0 || tree.limit == -2 || tree.limit == -3;
    };
    QStringList subfolders;
    const FileError error = ReadDirectory(base, [&](const DirectoryEntry& entry) {
        if (entry.kind == EntryKind::Folder && !entry.isLink) {
            subfolders.append(entry.name);
            return true;
        }
        if (entry.kind != EntryKind::File || !Matches(entry.name, pattern))
            return true;
        ++tree.count;
        if (withSizes)
            tree.sizeTotal += SizeOf(base + entry.name);
        if (tree.limit > 0 && tree.count >= tree.limit) {
            tree.limit = -2;
            return false;
        }
        return true;
    });
    if (yield)
        yield();
    if (error.number == ErrorNumber::PermissionDenied)
        tree.accessDenied = true;
    else if (error)
        tree.errorNumber = error.number;
    for (const QString& name : subfolders) {
        if (finished())
            return;
        const QString path = base + name + u'/';
        QString systemName;
        if (skipSystemFolders && IsSystemFolder(path, systemName))
            continue;
        if (tree.count == 0 && folderLimit > 0 && ++tree.foldersCounted > folderLimit) {
            tree.limit = -3;
            return;
        }
        CountFilesInTree(false, path, pattern, tree, withSizes, skipSystemFolders, folderLimit,
                         yield);
    }
}

} // namespace vnt
