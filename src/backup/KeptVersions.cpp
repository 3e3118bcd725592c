#include "backup/KeptVersions.h"

#include "platform/Directory.h"
#include "platform/Names.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <QRegularExpression>

namespace vnt {

std::optional<KeptRun> ParseKeptRun(const QString& folderName) {
    static const QRegularExpression stamp(
        QStringLiteral(R"(^(\d{4}-\d\d-\d\d_\d{6})(?:-([2-9]|[1-9]\d{1,5}))?$)"));
    const QRegularExpressionMatch match = stamp.match(folderName);
    if (!match.hasMatch())
        return std::nullopt;
    KeptRun run;
    run.folderName = folderName;
    run.started = QDateTime::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd_HHmmss"));
    run.sequence = match.hasCaptured(2) ? match.captured(2).toInt() : 1;
    if (!run.started.isValid())
        return std::nullopt;
    return run;
}

KeptRuns::KeptRuns(const FolderHandle& targetRoot) {
    const int root =
        targetRoot.IsOpen() ? ::fcntl(targetRoot.Descriptor(), F_DUPFD_CLOEXEC, 0) : -1;
    if (root < 0)
        return;
    // No link is followed at all: a backup makes none, so any there was planted.
    opener = std::make_unique<FolderOpener>(FolderHandle::Adopt(root), false, QString(), QString());
    const OpenedFolder kept = opener->Open(QString::fromLatin1(KeptCopiesFolder));
    if (!kept.handle)
        return;
    ReadDirectoryAt(kept.handle->Descriptor(), [this](const DirectoryEntry& entry) {
        if (entry.kind == EntryKind::Folder && !entry.isLink)
            if (std::optional<KeptRun> run = ParseKeptRun(entry.name))
                runs.push_back(*run);
        return true;
    });
    std::sort(runs.begin(), runs.end());
}

std::shared_ptr<FolderHandle> KeptRuns::OpenFolder(const KeptRun& run,
                                                   const QString& relativeFolder) {
    if (!opener)
        return nullptr;
    OpenedFolder opened = opener->Open(QString::fromLatin1(KeptCopiesFolder) + u'/' +
                                       run.folderName + u'/' + relativeFolder);
    return std::move(opened.handle);
}

VersionsOfFile ListVersions(const QString& targetFolder, const QString& relativePath) {
    VersionsOfFile found;
    const FolderHandle root(targetFolder);
    if (!root.IsOpen()) {
        found.problem = FileErrorFromErrno(errno).description;
        return found;
    }
    const qsizetype slash = relativePath.lastIndexOf(u'/');
    const QString folder = relativePath.left(slash + 1);
    const QByteArray name = EncodeName(relativePath.mid(slash + 1));
    // A version is a regular file that is the folder's own entry; a link is none.
    const auto add = [&](const std::shared_ptr<FolderHandle>& in, const QString& path,
                         FileVersion version) {
        if (!in)
            return;
        version.facts = in->Facts(name, false);
        if (version.facts.exists && version.facts.regular) {
            version.path = path;
            found.versions.push_back(std::move(version));
        }
    };
    FolderOpener current(FolderHandle::Adopt(::fcntl(root.Descriptor(), F_DUPFD_CLOEXEC, 0)), false,
                         {}, {});
    FileVersion now;
    now.current = true;
    add(current.Open(folder).handle, targetFolder + relativePath, now);
    KeptRuns kept(root);
    const std::vector<KeptRun>& runs = kept.Runs();
    for (auto run = runs.crbegin(); run != runs.crend(); ++run) {
        FileVersion version;
        version.keptBy = *run;
        add(kept.OpenFolder(*run, folder),
            targetFolder + QString::fromLatin1(KeptCopiesFolder) + u'/' + run->folderName + u'/' +
                relativePath,
            version);
    }
    return found;
}

} // namespace vnt
