#pragma once
// The versions of a file a backup holds: the copy now in the target, and those that backups
// with --keep-replaced put aside under TARGET/.vantoro-replaced/STAMP/, STAMP being when the
// run that replaced them began ("yyyy-MM-dd_HHmmss", "-2", "-3" for runs in one second).
// What lies there is untrusted: a name that is no stamp is passed over, and no link in the
// target is followed.

#include "platform/FileCopy.h"

#include <memory>
#include <optional>
#include <QDateTime>
#include <QString>
#include <vector>

namespace vnt {

// The folder at the target's root where replaced copies are kept.
inline constexpr char KeptCopiesFolder[] = ".vantoro-replaced";

// One run that kept replaced copies.
struct KeptRun {
    QString folderName;
    QDateTime started; // local time
    int sequence = 1;  // 2, 3 for the second and third run that began in that second
    bool operator<(const KeptRun& other) const {
        return started != other.started ? started < other.started : sequence < other.sequence;
    }
};
// The run a folder name under the kept copies stands for; none when the name is no stamp.
std::optional<KeptRun> ParseKeptRun(const QString& folderName);

// The kept copies' folder of a target held open, and the runs in it, oldest first. A link in
// place of that folder or of a run's folder is no run.
class KeptRuns {
public:
    explicit KeptRuns(const FolderHandle& targetRoot);
    const std::vector<KeptRun>& Runs() const { return runs; }
    // A folder (relative to the source, with a final slash, or empty) in a run's copies,
    // opened one name at a time without following any link; null where there is none.
    std::shared_ptr<FolderHandle> OpenFolder(const KeptRun& run, const QString& relativeFolder);

private:
    std::unique_ptr<FolderOpener> opener;
    std::vector<KeptRun> runs;
};

struct FileVersion {
    bool current = false; // the copy now in the backup, else a kept one
    KeptRun keptBy;       // a kept version: the run that replaced it
    FileFacts facts;
    QString path; // where it lies
};

struct VersionsOfFile {
    std::vector<FileVersion> versions; // newest first: the current copy, then by run
    QString problem;                   // why the target could not be read; empty when it could
};
// Every version of a file (path relative to the source) a backup in targetFolder holds.
VersionsOfFile ListVersions(const QString& targetFolder, const QString& relativePath);

} // namespace vnt
