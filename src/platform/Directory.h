#pragma once
// Reading a folder's entries straight from the file system, with the reason when it fails.

#include "platform/FileErrors.h"

#include <functional>
#include <QString>

namespace vnt {

enum class EntryKind { File, Folder, Other };

struct DirectoryEntry {
    QString name;
    EntryKind kind = EntryKind::Other; // links count as what they point to; Other: FIFOs,
                                       // sockets, devices, dangling links
    bool isLink = false;
    const char* rawName = nullptr; // the name's bytes, valid during the visit only
};

// Calls visit for every entry of folder (not "." and ".."); visit returns false to stop.
// The error says why the folder could not be read. Without decodeNames the entries carry
// only their raw names (name stays empty): for a caller that decodes only what it reads.
FileError ReadDirectory(const QString& folder,
                        const std::function<bool(const DirectoryEntry&)>& visit,
                        bool decodeNames = true);
// The same for a folder held open (any descriptor of it will do): no path, so no limit on
// its length and no link on the way that could be swapped.
FileError ReadDirectoryAt(int folder, const std::function<bool(const DirectoryEntry&)>& visit,
                          bool decodeNames = true);

// Whether the file system holding the folder keeps a file's change time apart from its
// modification time (a FUSE file system such as sshfs, and FAT, do not).
bool KeepsChangeTimes(const QString& folder);

} // namespace vnt
