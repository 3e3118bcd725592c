#include "cli/RestoreCommands.h"

#include "backup/Catalog.h"
#include "backup/KeptVersions.h"
#include "backup/Restore.h"
#include "cli/ConsoleHost.h"
#include "cli/ConsoleRun.h"
#include "mainwindow/FolderProc.h"
#include "platform/Names.h"
#include "report/RunNotice.h"
#include "report/StrProc.h"

#include <csignal>
#include <cstdio>
#include <QDateTime>

namespace vnt {

namespace {

// The paths typed after the command, each relative to the source; false (and fail told)
// when one is not.
bool ReadPaths(const QStringList& typed, QStringList& paths,
               const std::function<void(const QString&)>& fail) {
    for (const QString& path : typed) {
        const QString relative = RelativeRestorePath(path);
        if (relative.isEmpty()) {
            fail(QStringLiteral("a path to restore is relative to the source folder, without "
                                "\"..\": ") +
                 path + QStringLiteral(". Nothing was done."));
            return false;
        }
        paths.append(relative);
    }
    return true;
}

QString LocalTime(qint64 secondsSinceEpoch) {
    return QDateTime::fromSecsSinceEpoch(secondsSinceEpoch)
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

QList<QCommandLineOption> RestoreOptions() {
    return {
        QCommandLineOption(QStringLiteral("into"),
                           QStringLiteral("restore: put the files into this folder instead of "
                                          "the source folder."),
                           QStringLiteral("DIR")),
        QCommandLineOption(QStringLiteral("as-of"),
                           QStringLiteral("restore: each file as the backup held it at this "
                                          "local time (\"YYYY-MM-DD HH:MM\")."),
                           QStringLiteral("TIME")),
        QCommandLineOption(QStringLiteral("overwrite"),
                           QStringLiteral("restore: replace a file that differs from its copy, "
                                          "keeping it first under DIR/.vantoro-before-restore/.")),
    };
}

QString RestoreOptionMisuse(const QCommandLineParser& parser, const QString& command) {
    const bool restoring = command == u"restore";
    if (!restoring &&
        (parser.isSet(QStringLiteral("into")) || parser.isSet(QStringLiteral("as-of")) ||
         parser.isSet(QStringLiteral("overwrite"))))
        return QStringLiteral("--into, --as-of and --overwrite go with restore");
    if ((restoring || command == u"versions") && parser.isSet(QStringLiteral("json")))
        return QStringLiteral("--json goes with list, check, backup-all, backup-modified and "
                              "verify");
    if ((command == u"history" || command == u"versions") && parser.isSet(QStringLiteral("notify")))
        return QStringLiteral("--notify goes with list, check, backup-all, backup-modified, "
                              "verify and restore");
    return {};
}

int RunVersions(const QCommandLineParser& parser, const std::function<void(const QString&)>& fail) {
    const QStringList positional = parser.positionalArguments();
    if (!parser.isSet(QStringLiteral("target")) || positional.size() != 2) {
        fail(QStringLiteral("versions takes the target folder and one file, as in: vantoro-cli "
                            "versions --target DIR PATH"));
        return NothingDone;
    }
    QStringList paths;
    if (!ReadPaths({positional[1]}, paths, fail))
        return NothingDone;
    const QString target = NormaliseFolder(parser.value(QStringLiteral("target")));
    const VersionsOfFile found = ListVersions(target, paths[0]);
    if (!found.problem.isEmpty()) {
        fail(QStringLiteral("cannot read the target folder ") + target + QStringLiteral(": ") +
             found.problem);
        return NothingDone;
    }
    if (found.versions.empty()) {
        fail(QStringLiteral("the backup in ") + target + QStringLiteral(" holds no copy of ") +
             paths[0]);
        return FinishedWithErrors;
    }
    QString text = QStringLiteral("Versions of ") + paths[0] + QStringLiteral(" in ") + target +
                   QStringLiteral(", newest first:\n");
    for (const FileVersion& version : found.versions) {
        const QString when =
            version.current
                ? QStringLiteral("in the backup now")
                : QStringLiteral("replaced ") +
                      version.keptBy.started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        text += QStringLiteral("  %1  %2 bytes  modified %3  %4\n")
                    .arg(when, -28)
                    .arg(FormatCount(version.facts.size), 12)
                    .arg(LocalTime(version.facts.mtimeSeconds), version.path);
    }
    if (const int error = WriteBytes(ShownLines(text).toUtf8(), stdout)) {
        fail(QStringLiteral("the list could not be written to standard output: ") +
             FileErrorFromErrno(error).description);
        return FinishedWithErrors;
    }
    return Finished;
}

int RunRestoreCommand(const QCommandLineParser& parser, const Setup& setup, FILE* log,
                      const std::function<void(const QString&)>& fail, SleepInhibitor& inhibitor,
                      QString& counts) {
    RestoreRequest request;
    request.setup = setup;
    // Folders alone mean the whole backup, also the folders the source no longer has.
    request.wholeBackup =
        parser.isSet(QStringLiteral("source")) &&
        (parser.isSet(QStringLiteral("all")) ||
         (!parser.isSet(QStringLiteral("include")) && !parser.isSet(QStringLiteral("top-only"))));
    if (!ReadPaths(parser.positionalArguments().mid(1), request.paths, fail))
        return NothingDone;
    if (parser.isSet(QStringLiteral("into")))
        request.destination = NormaliseFolder(parser.value(QStringLiteral("into")));
    if (parser.isSet(QStringLiteral("as-of"))) {
        request.asOf = ParseAsOf(parser.value(QStringLiteral("as-of")));
        if (!request.asOf) {
            fail(QStringLiteral("--as-of takes a local date and time as \"YYYY-MM-DD HH:MM\", "
                                "not ") +
                 parser.value(QStringLiteral("as-of")));
            return NothingDone;
        }
    }
    request.overwrite = parser.isSet(QStringLiteral("overwrite"));
    // Without a usable catalogue the files alone say what the backup held.
    CatalogReader catalog;
    std::optional<CatalogHistory> history;
    if (request.asOf) {
        if (catalog.Open(setup.targetFolder))
            request.history = &history.emplace(catalog, true);
        else if (!catalog.Missing())
            std::fprintf(stderr, "vantoro-cli: the backup's history is not used: %s\n",
                         qUtf8Printable(catalog.Problem()));
    }

    OperationState state;
    ConsoleHost host(state, false, stdout, stderr);
    host.CopyTo(log);
    host.ShowProgress(false);
    const RestoreOutcome outcome = RunRestore(
        request, host,
        [&] {
            host.Yield();
            return state.blnStop;
        },
        inhibitor);
    host.Finish();
    if (!outcome.refused.isEmpty()) {
        fail(outcome.refused);
        return NothingDone;
    }
    counts = RestoreCountsText(outcome.totals);
    int status = Finished;
    if (outcome.totals.stopped || ConsoleHost::interrupted)
        status = Interrupted;
    else if (outcome.totals.leftBehind > 0)
        status = FinishedWithErrors;
    for (const auto& [error, where] :
         {std::pair{host.OutError(), QStringLiteral("standard output")},
          std::pair{host.LogError(), QStringLiteral("the log file")}}) {
        if (error == 0)
            continue;
        fail(QStringLiteral("the report could not be written to ") + where + QStringLiteral(": ") +
             FileErrorFromErrno(error).description);
        if (status == Finished)
            status = FinishedWithErrors;
    }
    return status;
}

} // namespace vnt
