#include "cli/ConsoleRun.h"

#include "backup/Driver.h"
#include "cli/ConsoleHost.h"
#include "mainwindow/Filters.h"
#include "mainwindow/FolderProc.h"
#include "mainwindow/Language.h"
#include "setups/SetupFile.h"

#include <csignal>
#include <cstdio>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

namespace vnt {

namespace {

constexpr int Finished = 0;
constexpr int FinishedWithErrors = 1;
constexpr int NothingDone = 2;
constexpr int Interrupted = 130;

void OnSignal(int) {
    ConsoleHost::interrupted = 1;
}

void Fail(const QString& text) {
    std::fprintf(stderr, "vantoro-cli: %s\n", text.toLocal8Bit().constData());
}

// What the driver asks of the window, answered as an unattended run would.
class ConsoleMain : public MainHooks {
public:
    ConsoleMain(const Setup& setupIn, const OperationState& stateIn, ConsoleHost& hostIn,
                bool createTargetIn)
        : setup(setupIn), state(stateIn), host(hostIn), createTarget(createTargetIn) {}

    Setup ReadSetup() override { return setup; }
    // The captions of the window's operation buttons.
    QString OperationCaption(qint16 operation) override {
        if (operation == state.intOperationListFolders)
            return QStringLiteral("List included subfolders");
        if (operation == state.intOperationCheckBackupState)
            return QStringLiteral("Check backup state");
        if (operation == state.intOperationBackupAllFiles)
            return QStringLiteral("Back up all files in setup");
        return QStringLiteral("Back up new and modified");
    }
    QString ModifiedSinceText() override {
        const QList<ModifiedSincePeriod> periods = ModifiedSincePeriods();
        return periods.value(setup.modifiedSinceIndex).text;
    }
    bool Ask(const QString& text, const QString& title, MsgResult) override {
        host.Message(title, text);
        // Only the question to create a missing target can be answered yes, and only when
        // asked for: a disk that is not mounted must not become a folder on another one.
        const bool yes = title == u"Create folder" && createTarget;
        std::fprintf(stderr, "  -> %s\n", yes ? "Yes" : "No");
        return yes;
    }
    void Tell(const QString& text, const QString& title, MsgIcon) override {
        host.Message(title, text);
    }
    void ClearSource() override {}
    void ShowCheckingNotice(bool) override {}
    bool ConfirmOperation() override { return true; }
    ReportHost& PrepareReport() override { return host; }
    void SetExcludedFilepathsText(const QString&) override {}
    void LockForOperation() override {}
    void UnlockAfterOperation() override {}
    void RefreshDisplays() override {}

private:
    Setup setup;
    const OperationState& state;
    ConsoleHost& host;
    bool createTarget;
};

} // namespace

int RunConsole(const QStringList& arguments, const QString& programFolder) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Backs up one source folder into one target folder: copies new and modified "
                       "files under the same relative path, never changes the source and never "
                       "deletes anything in the target.\n\nCommands:\n"
                       "  list             List included subfolders (folders, files, bytes)\n"
                       "  check            Check backup state (report new and modified files)\n"
                       "  backup-all       Back up all files in setup\n"
                       "  backup-modified  Back up new and modified files"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("list, check, backup-all or backup-modified"));
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
        QStringLiteral("An included subfolder, relative to the source (repeatable)."),
        QStringLiteral("NAME"));
    const QCommandLineOption allSubfolders(
        QStringLiteral("all-subfolders"),
        QStringLiteral("Include the subfolders of the included subfolders."));
    const QCommandLineOption ext(
        QStringLiteral("ext"),
        QStringLiteral("Back up only files with this extension (2 to 5 letters, * and ?)."),
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
    parser.addOptions({setupFile, nextRun, source, target, include, allSubfolders, ext, skip, since,
                       excludeSourceFiles, summaryOnly, stopOnError, createTarget});
    if (!parser.parse(arguments)) {
        Fail(parser.errorText());
        return NothingDone;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        return Finished;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("vantoro-cli %s\n", VANTORO_VERSION);
        return Finished;
    }

    const QString failure = LoadProgramText(QStringLiteral("vnt.dat"), programFolder);
    if (!failure.isEmpty()) {
        Fail(QString(failure).replace(QStringLiteral("\r\n"), QStringLiteral(" ")));
        return NothingDone;
    }

    OperationState state;
    state.InitialiseOperationValues();
    const QStringList positional = parser.positionalArguments();
    const QString command = positional.value(0);
    const QHash<QString, qint16> commands = {
        {QStringLiteral("list"), state.intOperationListFolders},
        {QStringLiteral("check"), state.intOperationCheckBackupState},
        {QStringLiteral("backup-all"), state.intOperationBackupAllFiles},
        {QStringLiteral("backup-modified"), state.intOperationBackupModifiedFiles}};
    if (positional.size() != 1 || !commands.contains(command)) {
        Fail(QStringLiteral(
            "give one command: list, check, backup-all or backup-modified (see --help)"));
        return NothingDone;
    }

    const int sources = (parser.isSet(setupFile) ? 1 : 0) + (parser.isSet(nextRun) ? 1 : 0) +
                        (parser.isSet(source) || parser.isSet(target) ? 1 : 0);
    if (sources != 1) {
        Fail(QStringLiteral("give the Setup by exactly one of --setup FILE, --next-run, or "
                            "--source DIR --target DIR"));
        return NothingDone;
    }

    Setup setup;
    if (parser.isSet(setupFile) || parser.isSet(nextRun)) {
        const QString path = parser.isSet(setupFile)
                                 ? parser.value(setupFile)
                                 : AppDataFilePath(QStringLiteral("vnt.usr"), ProgramText(310));
        if (!QFileInfo::exists(path)) {
            Fail(QStringLiteral("no setup file at ") + path);
            return NothingDone;
        }
        const SetupFileRead read = ReadSetupFile(path);
        // Half a Setup is not run: the settings after the failure would be the empty ones,
        // and an empty skip list or extension filter copies files the Setup leaves out.
        if (read.result != 0) {
            Fail(ProgramText(115) + u' ' + path + QStringLiteral(" - ") +
                 SetupReadFailureReason(read.result) + QStringLiteral(" Nothing was done."));
            return NothingDone;
        }
        setup = read.setup;
        setup.modifiedSinceIndex = ModifiedSincePeriodIndex(setup.modifiedSinceIndex);
    } else {
        if (!parser.isSet(source) || !parser.isSet(target)) {
            Fail(QStringLiteral("--source and --target go together"));
            return NothingDone;
        }
        setup.sourceFolder = NormaliseFolder(parser.value(source));
        setup.targetFolder = NormaliseFolder(parser.value(target));
        for (const QString& name : parser.values(include)) {
            QString cleaned = QDir::cleanPath(name);
            while (cleaned.endsWith(u'/'))
                cleaned.chop(1);
            if (cleaned.isEmpty() || cleaned.startsWith(u'/') ||
                cleaned.startsWith(QStringLiteral(".."))) {
                Fail(QStringLiteral("--include takes a subfolder name below the source: ") + name);
                return NothingDone;
            }
            setup.includedFolders.append(cleaned);
        }
        setup.includeSubfolders = parser.isSet(allSubfolders) ? 1 : 0;
        if (parser.isSet(ext)) {
            setup.fileExtension = NormaliseExtensionFilter(parser.value(ext));
            if (ExtensionFilterHasBadLength(setup.fileExtension)) {
                Fail(QString(ExtensionLengthMessage())
                         .replace(QStringLiteral("\r\n"), QStringLiteral(" ")));
                return NothingDone;
            }
        }
        setup.excludedFilepaths = parser.value(skip);
        if (parser.isSet(since)) {
            const QHash<QString, int> indexes = {
                {"0", 0}, {"2", 1}, {"6", 2}, {"13", 3}, {"27", 4}};
            if (!indexes.contains(parser.value(since))) {
                Fail(QStringLiteral("--since takes 0, 2, 6, 13 or 27"));
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

    // The rules the window applies when the folders are chosen.
    if (setup.sourceFolder.isEmpty() || setup.targetFolder.isEmpty()) {
        Fail(QStringLiteral("the Setup has no source or no target folder"));
        return NothingDone;
    }
    if (IsRecycleBin(setup.sourceFolder) || IsRecycleBin(setup.targetFolder)) {
        Fail(QStringLiteral("A recycle bin cannot be a backup source or target."));
        return NothingDone;
    }
    const TargetRule rule = CheckTargetRule(setup.targetFolder, setup.sourceFolder);
    if (rule != TargetRule::Acceptable) {
        Fail(ProgramText(rule == TargetRule::EqualsSource ? 27 : 28));
        return NothingDone;
    }

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    ConsoleHost host(state, parser.isSet(stopOnError));
    state.blnScheduledTask = true; // no confirmation, no pause
    ConsoleMain main(setup, state, host, parser.isSet(createTarget));
    RunOperation(state, main, commands.value(command));
    host.Finish();

    if (ConsoleHost::interrupted)
        return Interrupted;
    if (!host.shown)
        return NothingDone;
    return state.lngTotalNumCopyErrors > 0 ? FinishedWithErrors : Finished;
}

} // namespace vnt
