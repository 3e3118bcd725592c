#include "cli/ConsoleHost.h"

#include "platform/Names.h"
#include "platform/Process.h"
#include "report/StrProc.h"

#include <cerrno>
#include <sys/ioctl.h>
#include <unistd.h>

namespace vnt {

int WriteBytes(const QByteArray& bytes, FILE* file) {
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), file) ==
            static_cast<size_t>(bytes.size()) &&
        std::fflush(file) == 0)
        return 0;
    const int error = errno != 0 ? errno : EIO;
    std::clearerr(file);
    return error;
}

namespace {

const QString CRLF = QStringLiteral("\r\n");

int TerminalWidth(FILE* file) {
    winsize size{};
    if (::ioctl(::fileno(file), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

} // namespace

volatile std::sig_atomic_t ConsoleHost::interrupted = 0;

namespace {
void OnStopSignal(int) {
    ConsoleHost::interrupted = 1;
    RequestInterruption();
}
} // namespace

void ConsoleHost::CatchStopSignals() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, OnStopSignal);
}

ConsoleHost::ConsoleHost(OperationState& stateIn, bool stopOnErrorIn, FILE* outIn, FILE* errIn)
    : state(stateIn), stopOnError(stopOnErrorIn), out(outIn), err(errIn),
      progressOn(::isatty(::fileno(errIn)) == 1) {
    progressClock.start();
    runClock.start();
}

ConsoleHost::~ConsoleHost() {
    Finish();
}

// A stream that failed once is not written again: the run goes on, and says at its end
// that the report was lost.
void ConsoleHost::WriteLog(const QByteArray& bytes) {
    if (logFile != nullptr && logError == 0) {
        logError = WriteBytes(bytes, logFile);
        state.blnReportLost = state.blnReportLost || logError != 0;
    }
}

void ConsoleHost::WriteLine(const QString& text) {
    ClearProgress();
    const QByteArray bytes = ShownLine(text).toUtf8() + '\n';
    if (out != nullptr && outError == 0) {
        outError = WriteBytes(bytes, out);
        state.blnReportLost = state.blnReportLost || outError != 0;
    }
    WriteLog(bytes);
}

// Finished lines are printed at once; the unfinished one waits, so a notice that is
// written and taken back before its line ends never shows.
void ConsoleHost::Append(const QString& text) {
    line += text;
    qsizetype lineEnd = line.indexOf(CRLF);
    while (lineEnd >= 0) {
        WriteLine(line.left(lineEnd));
        line.remove(0, lineEnd + 2);
        lineEnded = true;
        lineEnd = line.indexOf(CRLF);
    }
    view = lineEnded ? CRLF + line : line;
}

void ConsoleHost::Output(const QString& strText, bool blnCRLF) {
    Append(blnCRLF ? strText + CRLF : strText);
    Yield();
}

void ConsoleHost::AppendToText(const QString& text) {
    Append(text);
}

void ConsoleHost::RemoveFromEnd(qsizetype count) {
    line.chop(std::min(count, line.size()));
    view = lineEnded ? CRLF + line : line;
}

void ConsoleHost::SetText(const QString& text) {
    // The list's counting notice is the window's, not part of the report.
    if (text.startsWith(QStringLiteral("Now counting files and folders ...")))
        return;
    line.clear();
    Append(text);
}

void ConsoleHost::SetSourceDirpath(const QString& text) {
    const QString label = QStringLiteral("Source folder: ");
    current = text.startsWith(label) ? text.mid(label.size()) : text;
    Progress(false);
}

void ConsoleHost::ShowBytesCopied(const QString&) {
    Progress(false);
}

void ConsoleHost::CopyHandedOut(const QString& folder, const QString& name) {
    // Only the progress line reads it: most of the time nobody looks.
    if (progressOn)
        current = folder + name;
}

void ConsoleHost::CopyProgress(const QString&, qint64 done, qint64 size) {
    bytesInFile = size > 0 ? static_cast<double>(done) : 0;
    // At its end the file's bytes join the total: the line is drawn again with them.
    if (size > 0)
        Progress(false);
}

void ConsoleHost::FailureReported(const QString& path, const QString& reason) {
    QString shownReason = reason;
    shownReason.replace(CRLF, QStringLiteral(" "));
    failures.append({ShownName(path), ShownName(shownReason.simplified())});
}

bool ConsoleHost::AskYesNo(const QString& question, const QString& title, MsgResult, MsgIcon) {
    Message(title, question);
    Answer(stopOnError);
    return stopOnError;
}

void ConsoleHost::Answer(bool yes) {
    const QByteArray bytes = yes ? "  -> Yes\n" : "  -> No\n";
    WriteBytes(bytes, err);
    WriteLog(bytes);
}

void ConsoleHost::Inform(const QString& message, const QString& title, MsgIcon) {
    Message(title, message);
}

void ConsoleHost::Notice(const QString& text) {
    Message(QString(), text);
}

void ConsoleHost::Message(const QString& title, const QString& text) {
    ClearProgress();
    QString message = title.isEmpty() ? text : title + QStringLiteral(": ") + text;
    message.replace(CRLF, QStringLiteral(" "));
    message.replace(u'\n', u' ');
    const QByteArray bytes = ShownLine(message.simplified()).toUtf8() + '\n';
    WriteBytes(bytes, err);
    WriteLog(bytes);
}

void ConsoleHost::Yield() {
    if (interrupted)
        state.blnStop = state.blnInterrupted = true;
    Progress(false);
}

QString ConsoleHost::ProgressText(const OperationState& progress, qint64 elapsedMs,
                                  const QString& at, int width, double bytesInFile) {
    QString status;
    if (progress.blnBackupOperation) {
        // A large file counts as it is copied, so a long copy is seen to move.
        const double bytes = progress.dblTotalFilesize + bytesInFile;
        status = QStringLiteral("%1 files, %2 copied, %3")
                     .arg(FormatCount(progress.lngTotalNumFiles),
                          FormatCount(progress.lngTotalNumFilesCopied), FormatScaledSize2(bytes, 1));
        // The first second's rate says more about the start than about the run.
        if (elapsedMs >= 1000)
            status += QStringLiteral(" at ") +
                      FormatScaledSize2(bytes * 1000.0 / static_cast<double>(elapsedMs), 1) +
                      QStringLiteral("/s");
    } else {
        status = QStringLiteral("%1 folders, %2 files")
                     .arg(FormatCount(progress.lngTotalNumFolders),
                          FormatCount(progress.lngTotalNumFiles));
    }
    const QString shown = ShownLine(at);
    const qsizetype room = width - status.size() - 2;
    constexpr qsizetype Ellipsis = 3;
    if (!shown.isEmpty() && room > 2 * Ellipsis)
        status +=
            QStringLiteral("  ") +
            (shown.size() <= room ? shown : QStringLiteral("...") + shown.right(room - Ellipsis));
    return status.left(width);
}

void ConsoleHost::Progress(bool force) {
    if (!progressOn || (!force && progressClock.elapsed() < 100))
        return;
    progressClock.restart();
    // One column short of the width: a line that fills it would wrap on some terminals,
    // and the next update could no longer take it back.
    const QString status = ProgressText(state, runClock.elapsed(), current,
                                        std::max(TerminalWidth(err) - 1, 20), bytesInFile);
    WriteBytes("\r\x1b[K" + status.toUtf8(), err);
    progressShown = true;
}

void ConsoleHost::ClearProgress() {
    if (!progressShown)
        return;
    WriteBytes("\r\x1b[K", err);
    progressShown = false;
}

void ConsoleHost::Finish() {
    if (!line.isEmpty()) {
        WriteLine(line);
        line.clear();
        lineEnded = true;
        view = CRLF;
    }
    ClearProgress();
}

} // namespace vnt
