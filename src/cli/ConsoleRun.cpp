#include "cli/ConsoleRun.h"

#include "backup/Counting.h"
#include "backup/Disks.h"
#include "backup/Driver.h"
#include "cli/ConsoleHost.h"
#include "cli/History.h"
#include "cli/RestoreCommands.h"
#include "mainwindow/Filters.h"
#include "mainwindow/FolderProc.h"
#include "mainwindow/Language.h"
#include "platform/DataFolder.h"
#include "platform/Directory.h"
#include "platform/Drives.h"
#include "platform/FoldersOnDisk.h"
#include "platform/Names.h"
#include "report/RunNotice.h"
#include "setups/SetupFile.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <QCommandLineParser>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <sys/stat.h>
#include <unistd.h>

namespace vnt {

namespace {

QString Iso8601(const QDateTime& time) {
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
}

// An argument as a shell would need it typed, so that the logged command line can be run
// again as it stands.
QString ShellWord(const QString& argument) {
    static const QString plain =
        QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_./=:,+@%");
    const bool quote =
        argument.isEmpty() ||
        std::any_of(argument.begin(), argument.end(), [](QChar c) { return !plain.contains(c); });
    if (!quote)
        return argument;
    return u'\'' + QString(argument).replace(u'\'', QStringLiteral("'\\''")) + u'\'';
}

QString SetupDescription(const Setup& setup) {
    QString text = QStringLiteral("source ") + setup.sourceFolder + QStringLiteral("; target ") +
                   setup.targetFolder + QStringLiteral("; included folders: ");
    if (setup.includedFolders.isEmpty())
        text += QStringLiteral("none");
    else
        text += setup.includedFolders.join(QStringLiteral(", ")) +
                (IsChecked(setup.includeSubfolders) ? QStringLiteral(" (with their subfolders)")
                                                    : QStringLiteral(" (their own files)"));
    text += QStringLiteral("; file extension: ") +
            (setup.fileExtension.isEmpty() ? QStringLiteral("any") : setup.fileExtension);
    const QString skip = setup.excludedFilepaths.trimmed();
    text += QStringLiteral("; skip: ") + (skip.isEmpty() ? QStringLiteral("nothing") : skip);
    text += QStringLiteral("; files modified ") +
            ModifiedSincePeriods().value(setup.modifiedSinceIndex).text;
    if (IsChecked(setup.excludeFilesInSourceFolder))
        text += QStringLiteral("; the source folder's own files left out");
    if (IsChecked(setup.suppressDetailedReports))
        text += QStringLiteral("; totals only");
    return text;
}

// Failures before the operation: on standard error and, once it is open, in the log.
class Console {
public:
    // firstSaid, where given, keeps the first failure said: why a run did nothing.
    explicit Console(const QStringList& argumentsIn, QString* firstSaidIn = nullptr)
        : arguments(argumentsIn), firstSaid(firstSaidIn) {}

    bool OpenLog(const QString& path) {
        FILE* file = path.isEmpty() ? nullptr : std::fopen(EncodeName(path).constData(), "ae");
        if (file == nullptr) {
            const QString reason = path.isEmpty() ? QStringLiteral("no file name was given")
                                                  : FileErrorFromErrno(errno).description;
            Fail(QStringLiteral("cannot open the log file ") + path + QStringLiteral(": ") +
                 reason + QStringLiteral(". Nothing was done."));
            return false;
        }
        log.reset(file);
        logPath = path;
        return true;
    }
    FILE* Log() const { return log.get(); }

    // The Setup the run goes by, for the log's first line; none until it is known.
    void SetSetup(const Setup& known) { setup = known; }

    void Fail(const QString& text) {
        if (firstSaid != nullptr && firstSaid->isEmpty())
            *firstSaid = text;
        const QByteArray line = "vantoro-cli: " + ShownLine(text).toUtf8() + '\n';
        std::fputs(line.constData(), stderr);
        WriteLog(line);
    }

    void WriteLog(const QByteArray& line) {
        if (!log)
            return;
        WriteHeader();
        Write(line);
    }

    // Every run starts its part of the log with one line: when, what was typed, the Setup.
    void WriteHeader() {
        if (!log || headerWritten)
            return;
        headerWritten = true;
        QStringList words;
        for (const QString& argument : arguments)
            words.append(ShellWord(argument));
        const QString header = u'[' + Iso8601(QDateTime::currentDateTime()) + QStringLiteral("] ") +
                               words.join(u' ') + QStringLiteral(" | Setup: ") +
                               (setup ? SetupDescription(*setup) : QStringLiteral("not read"));
        // One line whatever the names hold.
        Write(ShownLine(header).toUtf8() + '\n');
    }

    // 0 while every line reached the log, else the errno value of the first failure.
    int LogError() const { return logError; }
    QString LogPath() const { return logPath; }

private:
    void Write(const QByteArray& line) {
        if (logError == 0)
            logError = WriteBytes(line, log.get());
    }

    QStringList arguments;
    QString* firstSaid;
    std::unique_ptr<FILE, int (*)(FILE*)> log{nullptr, &std::fclose};
    std::optional<Setup> setup;
    bool headerWritten = false;
    QString logPath;
    int logError = 0;
};

// Where verify --since-last keeps what the last comparison of one selection found: its
// start, then the files that differed or could not be read. A comparison narrowed by a
// filter has a memory of its own: it did not look at the rest.
QString VerifyStateFile(const Setup& setup) {
    QCryptographicHash key(QCryptographicHash::Sha256);
    for (const QString& part :
         QStringList{setup.sourceFolder, setup.targetFolder, setup.includedFolders.join(u'\n'),
                     QString::number(setup.includeSubfolders), setup.fileExtension,
                     setup.excludedFilepaths.trimmed(), QString::number(setup.modifiedSinceIndex),
                     QString::number(setup.excludeFilesInSourceFolder)})
        key.addData(EncodeName(part).toPercentEncoding() + '\n');
    return StateFolder() + QStringLiteral("verify-") +
           QString::fromLatin1(key.result().toHex().left(32));
}

// Reads that memory into the state. A time later than now (a clock set back since) and a
// memory that cannot be read count as never verified.
void ReadVerifyState(const QString& file, OperationState& state) {
    state.lngVerifyChangedSince = -1;
    QFile last(file);
    if (!last.open(QIODevice::ReadOnly))
        return;
    const QList<QByteArray> lines = last.readAll().split('\n');
    bool ok = false;
    const qint64 since = lines.value(0).trimmed().toLongLong(&ok);
    if (!ok || since > QDateTime::currentMSecsSinceEpoch() * 1'000'000LL)
        return;
    state.lngVerifyChangedSince = since;
    for (qsizetype i = 1; i < lines.size(); ++i)
        if (!lines[i].isEmpty())
            state.strVerifyAgain.insert(DecodeName(QByteArray::fromPercentEncoding(lines[i])));
}

void WriteVerifyState(const QString& file, qint64 startedNanoseconds, const OperationState& state) {
    if (!QDir().mkpath(QFileInfo(file).path()))
        return;
    QByteArray text = QByteArray::number(startedNanoseconds) + '\n';
    for (const QString& path : state.strVerifyProblems)
        text += EncodeName(path).toPercentEncoding("/") + '\n';
    QFile last(file);
    if (last.open(QIODevice::WriteOnly | QIODevice::Truncate))
        last.write(text);
}

// The walk enters an included subfolder only directly below the source, so a deeper path or
// a name the source does not hold would be passed over in silence while the run still says
// that all is backed up. Empty when the name will be walked (or when only the walk can tell:
// a folder that cannot be looked into is the walk's to report).
QString IncludedFolderProblem(const QString& sourceFolder, const QString& name) {
    if (name.contains(u'/'))
        return QStringLiteral("--include takes a subfolder directly in the source folder, not ") +
               name + QStringLiteral(": include ") + name.section(u'/', 0, 0) +
               QStringLiteral(" with --all-subfolders to take the folders below it");
    struct stat st {};
    if (::stat(EncodeName(sourceFolder + name).constData(), &st) == 0)
        return S_ISDIR(st.st_mode) ? QString()
                                   : QStringLiteral("--include ") + name + QStringLiteral(": ") +
                                         sourceFolder + name + QStringLiteral(" is not a folder");
    if (errno == ENOENT || errno == ENOTDIR)
        return QStringLiteral("--include ") + name +
               QStringLiteral(": the source folder has no subfolder of that name (") +
               sourceFolder + name + u')';
    return {};
}

// What the driver asks of the window, answered as an unattended run would.
class ConsoleMain : public MainHooks {
public:
    ConsoleMain(const Setup& setupIn, const OperationState& stateIn, ConsoleHost& hostIn,
                bool createTargetIn, SleepInhibitor& inhibitorIn, QString& firstSaidIn)
        : setup(setupIn), state(stateIn), host(hostIn), createTarget(createTargetIn),
          inhibitor(inhibitorIn), firstSaid(firstSaidIn) {}

    Setup ReadSetup() override { return setup; }
    // The captions of the window's operation buttons.
    QString OperationCaption(Operation operation) override {
        if (operation == state.intOperationListFolders)
            return QStringLiteral("List included subfolders");
        if (operation == state.intOperationCheckBackupState)
            return QStringLiteral("Check backup state");
        if (operation == state.intOperationBackupAllFiles)
            return QStringLiteral("Back up all files in setup");
        if (operation == state.intOperationVerifyBackup)
            return QStringLiteral("Verify backup");
        return QStringLiteral("Back up new and modified");
    }
    QString IncludeSubfoldersHint() override {
        return QStringLiteral("Take them with --all or --include NAME (with --source and "
                              "--target), or choose them in the window.");
    }
    QString ModifiedSinceText() override {
        const QList<ModifiedSincePeriod> periods = ModifiedSincePeriods();
        return periods.value(setup.modifiedSinceIndex).text;
    }
    bool Ask(const QString& text, const QString& title, MsgResult) override {
        Said(text);
        host.Message(title, text);
        host.Answer(false);
        return false;
    }
    // The one question that can be answered yes, and only when asked for: a disk that is
    // not mounted must not become a folder on another one.
    bool AskCreateTarget(const QString& text, const QString& title) override {
        Said(text);
        host.Message(title, text);
        host.Answer(createTarget);
        if (!createTarget)
            host.Message({}, QStringLiteral("Add --create-target to create the target folder ") +
                                 setup.targetFolder + u'.');
        return createTarget;
    }
    void Tell(const QString& text, const QString& title, MsgIcon) override {
        Said(text);
        host.Message(title, text);
    }
    bool ConfirmOperation() override { return true; }
    ReportHost& PrepareReport() override { return host; }
    SleepInhibitor& Inhibitor() override { return inhibitor; }

private:
    void Said(const QString& text) {
        if (firstSaid.isEmpty())
            firstSaid = text;
    }

    Setup setup;
    const OperationState& state;
    ConsoleHost& host;
    bool createTarget;
    SleepInhibitor& inhibitor;
    QString& firstSaid;
};

// What the notification at the end of a run needs of it; word stays empty without --notify.
struct ConsoleEnd : RunEnd {
    QString logPath;
    int remindAfterDays = -1; // the setup file's reminder
};

} // namespace

static int RunCommand(const QStringList& arguments, const QString& programFolder,
                      SleepInhibitor& inhibitor, ConsoleEnd& end) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Backs up one source folder into one target folder: copies new and modified files "
        "under the same relative path, never changes the source and never deletes anything in "
        "the target.\n\nCommands:\n"
        "  list             List included subfolders (folders, files, bytes)\n"
        "  check            Check backup state (report new and modified files)\n"
        "  backup-all       Back up all files in setup\n"
        "  backup-modified  Back up new and modified files\n"
        "  verify           Compare the contents of every selected file with its copy\n\n"
        "Getting files back:\n"
        "  history          List the backups recorded in the target, newest first\n"
        "  versions         List the copy in the backup and every kept version of a file\n"
        "  restore          Copy files back from the backup: all, or the PATHs given\n\n"
        "With --source and --target the whole source folder is taken, as with --all, unless "
        "--include names subfolders or --top-only takes only the files directly in the source "
        "folder. A setup file and --next-run keep their own selection.\n\n"
        "Exit status: 0 finished, 1 finished with copy errors (verify: or a copy that differs "
        "or is missing), 2 nothing done, 3 the backup disk not connected, 130 interrupted."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("command"),
        QStringLiteral("list, check, backup-all, backup-modified or verify"));
    const QCommandLineOption setupFile(QStringLiteral("setup"),
                                       QStringLiteral("Read the Setup from a setup file (.vnt)."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption nextRun(
        QStringLiteral("next-run"),
        QStringLiteral("Use the Setup kept for the next run by the desktop program."));
    const QCommandLineOption source(QStringLiteral("source"), QStringLiteral("The source folder."),
                                    QStringLiteral("DIR"));
    const QCommandLineOption target(QStringLiteral("target"), QStringLiteral("The target folder."),
                                    QStringLiteral("DIR"));
    const QCommandLineOption include(
        QStringLiteral("include"),
        QStringLiteral("An included subfolder, directly in the source folder (repeatable)."),
        QStringLiteral("NAME"));
    const QCommandLineOption all(
        QStringLiteral("all"),
        QStringLiteral("Include every subfolder of the source with all their subfolders (the "
                       "default with --source and --target; not with --include)."));
    const QCommandLineOption topOnly(
        QStringLiteral("top-only"),
        QStringLiteral("Take only the files directly in the source folder, none of its "
                       "subfolders (not with --all or --include)."));
    const QCommandLineOption allSubfolders(
        QStringLiteral("all-subfolders"),
        QStringLiteral("Include the subfolders of the included subfolders."));
    const QCommandLineOption ext(
        QStringLiteral("ext"),
        QStringLiteral(
            "Back up only files with this extension (2 to 5 letters or digits, * and ?)."),
        QStringLiteral("PATTERN"));
    const QCommandLineOption skip(
        QStringLiteral("skip"),
        QStringLiteral("Skip filepaths containing any of these comma-separated texts."),
        QStringLiteral("TEXT"));
    const QCommandLineOption since(
        QStringLiteral("since"),
        QStringLiteral(
            "Only files modified in the last 2, 6, 13 or 27 days before today (0: any time)."),
        QStringLiteral("DAYS"));
    const QCommandLineOption excludeSourceFiles(
        QStringLiteral("exclude-source-files"),
        QStringLiteral("Leave out the files directly in the source folder."));
    const QCommandLineOption summaryOnly(
        QStringLiteral("summary-only"),
        QStringLiteral("Suppress the detailed report: totals only."));
    const QCommandLineOption stopOnError(
        QStringLiteral("stop-on-error"),
        QStringLiteral("Stop at an error where the desktop program would ask."));
    const QCommandLineOption createTarget(QStringLiteral("create-target"),
                                          QStringLiteral("Create a missing target folder."));
    const QCommandLineOption logFile(
        QStringLiteral("log"),
        QStringLiteral("Append the report to this file as well, after a line with the date, "
                       "the command line and the Setup."),
        QStringLiteral("FILE"));
    const QCommandLineOption explain(
        QStringLiteral("explain"),
        QStringLiteral("check, backup-modified: under each file, why it counts as new or "
                       "modified; also the files taken as unchanged although their times differ."));
    const QCommandLineOption keepReplaced(
        QStringLiteral("keep-replaced"),
        QStringLiteral("backup-all, backup-modified: keep each copy a backup replaces under "
                       "TARGET/.vantoro-replaced/DATE_TIME/ (nothing there is ever deleted)."));
    const QCommandLineOption sinceLast(
        QStringLiteral("since-last"),
        QStringLiteral("verify: compare only files copied or changed since the last verify of "
                       "this source and target."));
    const QCommandLineOption repair(
        QStringLiteral("repair"),
        QStringLiteral("verify: copy each file whose copy differs or is missing again, as a "
                       "backup would."));
    const QCommandLineOption json(
        QStringLiteral("json"),
        QStringLiteral("Print one JSON object with the totals and the failures at the end "
                       "instead of the report."));
    parser.addOptions({setupFile,   nextRun,     source,       target,
                       include,     all,         topOnly,      allSubfolders,
                       ext,         skip,        explain,      keepReplaced,
                       sinceLast,   repair,      since,        excludeSourceFiles,
                       summaryOnly, stopOnError, createTarget, logFile,
                       json});
    parser.addOptions(RestoreOptions());
    const QCommandLineOption notify(
        QStringLiteral("notify"),
        QStringLiteral("Show a desktop notification when the run ends: how it ended, the "
                       "counts, and after a failure where the report is."));
    parser.addOption(notify);
    const QCommandLineOption onceADay(
        QStringLiteral("once-a-day"),
        QStringLiteral("backup-all, backup-modified: do nothing when a backup into the target "
                       "has already been made today (for a run started when its disk is "
                       "plugged in)."));
    parser.addOption(onceADay);
    // From here on a signal stops the run as Ctrl+C does: copies under way are abandoned, the
    // totals are still written, and no wait (a bus, the catalogue) outlasts it.
    ConsoleHost::CatchStopSignals();
    Console console(arguments, &end.reason);
    if (!parser.parse(arguments)) {
        console.Fail(parser.errorText());
        return NothingDone;
    }
    // Qt's help-all adds the options of Qt's own that a program takes: none here, so it
    // shows the same help and does not promise more.
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        const QString help = parser.helpText().replace(
            QStringLiteral("Displays help including Qt specific options."),
            QStringLiteral("The same help: this program takes no Qt options."));
        std::fputs(help.toLocal8Bit().constData(), stdout);
        return Finished;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("vantoro-cli %s\n", VANTORO_VERSION);
        return Finished;
    }
    if (parser.isSet(notify))
        end.word = NoticeWord(parser.positionalArguments().value(0));
    // Before anything else: a run that cannot be logged as asked is not started.
    if (parser.isSet(logFile) && !console.OpenLog(parser.value(logFile)))
        return NothingDone;
    end.logPath = console.LogPath();

    const QString failure = LoadProgramText(QStringLiteral("vnt.dat"), programFolder);
    if (!failure.isEmpty()) {
        console.Fail(QString(failure).replace(QStringLiteral("\r\n"), QStringLiteral(" ")));
        return NothingDone;
    }

    OperationState state;
    state.InitialiseOperationValues();
    const QStringList positional = parser.positionalArguments();
    const QString command = positional.value(0);
    if (const QString misuse = RestoreOptionMisuse(parser, command); !misuse.isEmpty()) {
        console.Fail(misuse);
        return NothingDone;
    }
    const auto fail = [&console](const QString& text) { console.Fail(text); };
    if (command == u"versions")
        return RunVersions(parser, fail);
    const bool restoring = command == u"restore";
    const QHash<QString, Operation> commands = {
        {QStringLiteral("list"), state.intOperationListFolders},
        {QStringLiteral("check"), state.intOperationCheckBackupState},
        {QStringLiteral("backup-all"), state.intOperationBackupAllFiles},
        {QStringLiteral("backup-modified"), state.intOperationBackupModifiedFiles},
        {QStringLiteral("verify"), state.intOperationVerifyBackup}};
    // The history reads the target's catalogue alone: no Setup, no lock.
    if (command == u"history") {
        if (positional.size() != 1 || !parser.isSet(target)) {
            console.Fail(QStringLiteral("history takes the target folder, as in: vantoro-cli "
                                        "history --target DIR"));
            return NothingDone;
        }
        return PrintHistory(NormaliseFolder(parser.value(target)), parser.isSet(json));
    }
    // Folders typed after the command, as cp takes them, are the likeliest slip.
    if (positional.size() > 1 && commands.contains(command)) {
        // As typed while they fit the two options, else as placeholders.
        const QString sourceWord =
            positional.size() <= 3 ? ShellWord(positional[1]) : QStringLiteral("DIR");
        const QString targetWord =
            positional.size() == 3 ? ShellWord(positional[2]) : QStringLiteral("DIR");
        console.Fail(QStringLiteral("the folders go after --source and --target, as in: "
                                    "vantoro-cli ") +
                     command + QStringLiteral(" --source ") + sourceWord +
                     QStringLiteral(" --target ") + targetWord);
        return NothingDone;
    }
    if (!restoring && (positional.size() != 1 || !commands.contains(command))) {
        console.Fail(QStringLiteral("give one command: list, check, backup-all, backup-modified, "
                                    "verify, history, versions or restore (see --help)"));
        return NothingDone;
    }
    const bool verify = command == u"verify";
    if (parser.isSet(explain) && command != u"check" && command != u"backup-modified") {
        console.Fail(QStringLiteral("--explain goes with check and backup-modified"));
        return NothingDone;
    }
    if (parser.isSet(onceADay) && !command.startsWith(QStringLiteral("backup-"))) {
        console.Fail(QStringLiteral("--once-a-day goes with backup-all and backup-modified"));
        return NothingDone;
    }
    if (parser.isSet(keepReplaced) && !command.startsWith(QStringLiteral("backup-")) &&
        !(verify && parser.isSet(repair))) {
        console.Fail(QStringLiteral("--keep-replaced goes with backup-all, backup-modified and "
                                    "verify --repair"));
        return NothingDone;
    }
    if ((parser.isSet(sinceLast) || parser.isSet(repair)) && !verify) {
        console.Fail(QStringLiteral("--since-last and --repair go with verify"));
        return NothingDone;
    }
    state.blnRepair = parser.isSet(repair);
    state.blnExplain = parser.isSet(explain);
    state.blnKeepReplaced = parser.isSet(keepReplaced);

    const int sources = (parser.isSet(setupFile) ? 1 : 0) + (parser.isSet(nextRun) ? 1 : 0) +
                        (parser.isSet(source) || parser.isSet(target) ? 1 : 0);
    if (sources != 1) {
        console.Fail(QStringLiteral("give the Setup by exactly one of --setup FILE, --next-run, "
                                    "or --source DIR --target DIR"));
        return NothingDone;
    }
    if (parser.isSet(all) && parser.isSet(include)) {
        console.Fail(QStringLiteral("--all includes every subfolder, so it does not go with "
                                    "--include: give one or the other"));
        return NothingDone;
    }
    if (parser.isSet(topOnly) &&
        (parser.isSet(all) || parser.isSet(include) || parser.isSet(allSubfolders))) {
        console.Fail(QStringLiteral("--top-only takes no subfolder, so it does not go with "
                                    "--all, --include or --all-subfolders"));
        return NothingDone;
    }
    for (const QCommandLineOption& scope : {all, topOnly}) {
        if (parser.isSet(scope) && !parser.isSet(source)) {
            console.Fail(QStringLiteral("--") + scope.names().constFirst() +
                         QStringLiteral(" goes with --source and --target; a setup file keeps "
                                        "its own included folders"));
            return NothingDone;
        }
    }

    Setup setup;
    if (parser.isSet(setupFile) || parser.isSet(nextRun)) {
        const QString path = parser.isSet(setupFile)
                                 ? parser.value(setupFile)
                                 : AppDataFilePath(QStringLiteral("vnt.usr"), ProgramText(310));
        if (!QFileInfo::exists(path)) {
            console.Fail(QStringLiteral("no setup file at ") + path);
            return NothingDone;
        }
        const SetupFileRead read = ReadSetupFile(path);
        // Half a Setup is not run: the settings after the failure would be the empty ones,
        // and an empty skip list or extension filter copies files the Setup leaves out.
        if (read.result != 0) {
            console.Fail(ProgramText(115) + u' ' + path + QStringLiteral(" - ") +
                         SetupReadFailureReason(read.result) +
                         QStringLiteral(" Nothing was done."));
            return NothingDone;
        }
        // A subfolder the file names but the load cannot find or read would be left out,
        // and the run would still say that all is backed up.
        if (!read.droppedFolders.isEmpty()) {
            for (const QString& dropped : read.droppedFolders)
                console.Fail(dropped);
            console.Fail(QStringLiteral("the setup file ") + path +
                         QStringLiteral(" names included subfolders that cannot be found or "
                                        "read. Nothing was done."));
            return NothingDone;
        }
        setup = read.setup;
        state.strSetupFileName = path;
        // What the window set for the backups of this Setup, as --keep-replaced would.
        if (setup.keepReplaced == 1 &&
            (command.startsWith(QStringLiteral("backup-")) || (verify && parser.isSet(repair))))
            state.blnKeepReplaced = true;
        if (!setup.fileExtension.isEmpty() && ExtensionFilterHasBadLength(setup.fileExtension))
            console.Fail(QString(ExtensionLengthMessage())
                             .replace(QStringLiteral("\r\n"), QStringLiteral(" ")));
    } else {
        if (!parser.isSet(source) || !parser.isSet(target)) {
            console.Fail(QStringLiteral("--source and --target go together"));
            return NothingDone;
        }
        setup.sourceFolder = NormaliseFolder(parser.value(source));
        setup.targetFolder = NormaliseFolder(parser.value(target));
        for (const QString& name : parser.values(include)) {
            QString cleaned = QDir::cleanPath(name);
            while (cleaned.endsWith(u'/'))
                cleaned.chop(1);
            if (cleaned.isEmpty() || cleaned == u"." || cleaned.startsWith(u'/') ||
                cleaned.startsWith(QStringLiteral(".."))) {
                console.Fail(QStringLiteral("--include takes a subfolder name below the source: ") +
                             name);
                return NothingDone;
            }
            // A missing source is the operation's to report, as for every other run.
            const QString problem = FolderExists(setup.sourceFolder)
                                        ? IncludedFolderProblem(setup.sourceFolder, cleaned)
                                        : QString();
            if (!problem.isEmpty()) {
                console.Fail(problem + QStringLiteral(". Nothing was done."));
                return NothingDone;
            }
            setup.includedFolders.append(cleaned);
        }
        setup.includeSubfolders = parser.isSet(allSubfolders) ? 1 : 0;
        // The subfolders as they are now: one made since the last run is backed up too. A
        // person at a console means the whole folder unless told otherwise.
        const bool wholeTree =
            parser.isSet(all) || (!parser.isSet(include) && !parser.isSet(topOnly));
        if (wholeTree && !setup.sourceFolder.isEmpty()) {
            FileError error;
            setup.includedFolders = SubfolderNames(setup.sourceFolder, error);
            setup.includeSubfolders = 1;
            // A missing source is the operation's to report, as for every other run.
            if (error && FolderExists(setup.sourceFolder)) {
                console.Fail(QStringLiteral("cannot read the subfolders of the source folder ") +
                             setup.sourceFolder + QStringLiteral(": ") + error.description +
                             QStringLiteral(". Nothing was done."));
                return NothingDone;
            }
        }
        if (parser.isSet(ext)) {
            setup.fileExtension = NormaliseExtensionFilter(parser.value(ext));
            if (ExtensionFilterHasBadLength(setup.fileExtension)) {
                console.Fail(QString(ExtensionLengthMessage())
                                 .replace(QStringLiteral("\r\n"), QStringLiteral(" ")));
                return NothingDone;
            }
        }
        setup.excludedFilepaths = parser.value(skip);
        if (parser.isSet(since)) {
            const QHash<QString, int> indexes = {{QStringLiteral("0"), 0},
                                                 {QStringLiteral("2"), 1},
                                                 {QStringLiteral("6"), 2},
                                                 {QStringLiteral("13"), 3},
                                                 {QStringLiteral("27"), 4}};
            if (!indexes.contains(parser.value(since))) {
                console.Fail(QStringLiteral("--since takes 0, 2, 6, 13 or 27"));
                return NothingDone;
            }
            setup.modifiedSinceIndex = indexes.value(parser.value(since));
        }
        setup.excludeFilesInSourceFolder = parser.isSet(excludeSourceFiles) ? 1 : 0;
        setup.suppressDetailedReports = parser.isSet(summaryOnly) ? 1 : 0;
    }
    if (parser.isSet(summaryOnly))
        setup.suppressDetailedReports = 1;
    setup.modifiedSinceDays = ModifiedSincePeriods().value(setup.modifiedSinceIndex).days;
    console.SetSetup(setup);
    end.setup = parser.isSet(nextRun) ? QStringLiteral("next run")
                                      : SetupNoticeName(state.strSetupFileName, setup.sourceFolder);
    end.target = setup.targetFolder;
    if (command != u"list")
        end.disk = BackupDiskName(setup.targetFolder);
    end.remindAfterDays = setup.remindAfterDays;
    if (parser.isSet(onceADay)) {
        const qint64 last = RememberedBackupDisk(setup.targetFolder).lastBackupMs;
        const QDateTime lastBackup = QDateTime::fromMSecsSinceEpoch(last);
        if (last > 0 && lastBackup.date() == QDate::currentDate()) {
            console.Fail(QStringLiteral("a backup into ") + setup.targetFolder +
                         QStringLiteral(" was made today at ") +
                         lastBackup.toString(QStringLiteral("HH:mm")) +
                         QStringLiteral(", so nothing was done (--once-a-day)."));
            end.word.clear(); // nothing to tell the desktop
            return Finished;
        }
    }

    // The rules the window applies when the folders are chosen.
    if (setup.sourceFolder.isEmpty() || setup.targetFolder.isEmpty()) {
        console.Fail(QStringLiteral("the Setup has no source or no target folder"));
        return NothingDone;
    }
    if (IsRecycleBin(setup.sourceFolder) || IsRecycleBin(setup.targetFolder)) {
        console.Fail(QStringLiteral("A recycle bin cannot be a backup source or target."));
        return NothingDone;
    }
    const TargetRule rule = CheckTargetRule(setup.targetFolder, setup.sourceFolder);
    if (rule != TargetRule::Acceptable) {
        console.Fail(ProgramText(rule == TargetRule::EqualsSource ? 27 : 28));
        return NothingDone;
    }
    if (restoring) {
        if (BackupDiskAway(setup.targetFolder)) {
            console.Fail(BackupDiskAbsentText(setup.targetFolder));
            return DiskNotConnected;
        }
        console.WriteHeader();
        return RunRestoreCommand(parser, setup, console.Log(), fail, inhibitor, end.counts);
    }

    const bool asJson = parser.isSet(json);
    console.WriteHeader();
    state.blnReportLost = console.LogError() != 0;
    ConsoleHost host(state, parser.isSet(stopOnError), asJson ? nullptr : stdout, stderr);
    host.CopyTo(console.Log());
    // A progress line is for a person at a terminal; a script reads the JSON.
    host.ShowProgress(!asJson && ::isatty(::fileno(stderr)) == 1);
    state.blnScheduledTask = true; // no confirmation, no pause
    ConsoleMain main(setup, state, host, parser.isSet(createTarget), inhibitor, end.reason);
    const QDateTime started = QDateTime::currentDateTime();
    const QString verifyState = verify ? VerifyStateFile(setup) : QString();
    if (parser.isSet(sinceLast)) {
        if (KeepsChangeTimes(setup.sourceFolder) && KeepsChangeTimes(setup.targetFolder))
            ReadVerifyState(verifyState, state);
        else
            console.Fail(QStringLiteral("The file system of the source or the target does not "
                                        "keep change times apart, so every file is compared."));
    }
    RunOperation(state, main, commands.value(command));
    host.Finish();
    if (host.shown)
        end.counts = RunCountsText(state, commands.value(command));
    end.firstError = state.strFirstFailure;
    const QDateTime finished = QDateTime::currentDateTime();

    // A signal that came before the operation reached its report stopped it there.
    if (ConsoleHost::interrupted && !state.blnOperationStarted)
        state.blnInterrupted = true;
    int status = RunExitStatus(state);
    // The next --since-last compares what changed from the start of this comparison on, and
    // what it found wrong; an interrupted one did not look at everything.
    if (verify && (status == Finished || status == FinishedWithErrors))
        // A little before the start: change times come from the kernel's clock tick.
        WriteVerifyState(verifyState, (started.toMSecsSinceEpoch() - 20) * 1'000'000LL, state);

    // The report is what an unattended run leaves behind: one that did not reach its
    // reader is said, and the run did not finish without errors (RunExitStatus).
    const auto reportLost = [&](const QString& where, int error) {
        console.Fail(QStringLiteral("the report could not be written to ") + where +
                     QStringLiteral(": ") + FileErrorFromErrno(error).description);
        if (status == Finished)
            status = FinishedWithErrors;
    };
    if (host.OutError() != 0)
        reportLost(QStringLiteral("standard output"), host.OutError());
    if (const int error = std::max(host.LogError(), console.LogError()))
        reportLost(QStringLiteral("the log file ") + console.LogPath(), error);

    if (asJson) {
        const bool list = commands.value(command) == state.intOperationListFolders;
        QJsonArray failures;
        for (const ConsoleHost::Failure& failed : host.Failures())
            failures.append(QJsonObject{{QStringLiteral("path"), failed.path},
                                        {QStringLiteral("reason"), failed.reason}});
        const QJsonObject counts{{QStringLiteral("folders"), state.lngTotalNumFolders},
                                 {QStringLiteral("files"), state.lngTotalNumFiles},
                                 {QStringLiteral("new"), state.lngTotalNumNewFiles},
                                 {QStringLiteral("modified"), state.lngTotalNumModifiedFiles},
                                 {QStringLiteral("copied"), state.lngTotalNumFilesCopied},
                                 {QStringLiteral("errors"), state.lngTotalNumCopyErrors},
                                 {QStringLiteral("kept"), state.lngTotalNumKeptCopies},
                                 {QStringLiteral("compared"), state.lngTotalNumFilesCompared},
                                 {QStringLiteral("differing"), state.lngTotalNumFilesDiffering},
                                 {QStringLiteral("notInTarget"), state.lngTotalNumFilesNotInTarget},
                                 {QStringLiteral("repaired"), state.lngTotalNumFilesRepaired}};
        // The engine adds the sizes of the files listed, or of the files copied, in one sum.
        const qint64 bytes = static_cast<qint64>(state.dblTotalFilesize);
        const QJsonObject summary{
            {QStringLiteral("operation"), command},
            {QStringLiteral("source"), ShownName(setup.sourceFolder)},
            {QStringLiteral("target"), ShownName(setup.targetFolder)},
            {QStringLiteral("started"), Iso8601(started)},
            {QStringLiteral("finished"), Iso8601(finished)},
            {QStringLiteral("counts"), counts},
            {QStringLiteral("bytesCopied"), list ? 0 : bytes},
            {QStringLiteral("bytesListed"), list ? bytes : 0},
            {QStringLiteral("bytesCompared"), static_cast<qint64>(state.dblTotalBytesCompared)},
            {QStringLiteral("exitStatus"), status},
            {QStringLiteral("failures"), failures}};
        if (const int error =
                WriteBytes(QJsonDocument(summary).toJson(QJsonDocument::Indented), stdout))
            reportLost(QStringLiteral("standard output"), error);
    }
    return status;
}

int RunConsole(const QStringList& arguments, const QString& programFolder, Notifier& notifier,
               SleepInhibitor& inhibitor) {
    ConsoleEnd end;
    end.status = RunCommand(arguments, programFolder, inhibitor, end);
    const int status = end.status;
    if (end.word.isEmpty())
        return status;
    if (status == DiskNotConnected) {
        end.lastBackupMs = RememberedBackupDisk(end.target).lastBackupMs;
        // A disk away for longer than the setup allows: the notice becomes the reminder.
        const qint64 daysWithout =
            end.lastBackupMs > 0
                ? (QDateTime::currentMSecsSinceEpoch() - end.lastBackupMs) / (24 * 3600 * 1000LL)
                : 0;
        if (end.remindAfterDays > 0 && daysWithout >= end.remindAfterDays)
            end.overdueDays = static_cast<int>(daysWithout);
    }
    QFile cgroup(QStringLiteral("/proc/self/cgroup"));
    const QByteArray groups = cgroup.open(QIODevice::ReadOnly) ? cgroup.readAll() : QByteArray();
    end.reportHint =
        ConsoleReportHint(end.logPath, qEnvironmentVariableIsSet("INVOCATION_ID"), groups);
    // The run is over and its status stands, whatever the desktop does with its notice.
    if (const QString problem = notifier.Notify(NoticeOfRun(end)); !problem.isEmpty()) {
        const QByteArray line =
            "vantoro-cli: no desktop notification: " + ShownLine(problem).toUtf8() + '\n';
        std::fputs(line.constData(), stderr);
    }
    return status;
}

} // namespace vnt
