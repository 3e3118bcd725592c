#include "cli/ConsoleHost.h"

#include "platform/Names.h"
#include "report/StrProc.h"

#include <unistd.h>

namespace vnt {

namespace {

const QString CRLF = QStringLiteral("\r\n");

} // namespace

volatile std::sig_atomic_t ConsoleHost::interrupted = 0;

ConsoleHost::ConsoleHost(OperationState& stateIn, bool stopOnErrorIn, FILE* outIn, FILE* errIn)
    : state(stateIn), stopOnError(stopOnErrorIn), out(outIn), err(errIn),
      progressOnTerminal(::isatty(::fileno(errIn)) == 1) {
    progressClock.start();
}

ConsoleHost::~ConsoleHost() {
    Finish();
}

void ConsoleHost::WriteLine(const QString& text) {
    ClearProgress();
    const QByteArray bytes = ShownName(text).toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), out);
    std::fflush(out);
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
    currentFolder = text;
    Progress(false);
}

void ConsoleHost::ShowBytesCopied(const QString&) {
    Progress(false);
}

bool ConsoleHost::AskYesNo(const QString& question, const QString& title, MsgResult, MsgIcon) {
    Message(title, question);
    std::fprintf(err, "  -> %s\n", stopOnError ? "Yes" : "No");
    return stopOnError;
}

void ConsoleHost::Inform(const QString& message, const QString& title, MsgIcon) {
    Message(title, message);
}

void ConsoleHost::Message(const QString& title, const QString& text) {
    ClearProgress();
    QString message = title.isEmpty() ? text : title + QStringLiteral(": ") + text;
    message.replace(CRLF, QStringLiteral(" "));
    message.replace(u'\n', u' ');
    const QByteArray bytes = ShownName(message.simplified()).toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), err);
    std::fflush(err);
}

void ConsoleHost::Yield() {
    if (interrupted)
        state.blnStop = true;
    Progress(false);
}

void ConsoleHost::Progress(bool force) {
    if (!progressOnTerminal || (!force && progressClock.elapsed() < 100))
        return;
    progressClock.restart();
    const QString status = QStringLiteral("%1 folders, %2 files, %3 copied  %4")
                               .arg(FormatCount(state.lngTotalNumFolders))
                               .arg(FormatCount(state.lngTotalNumFiles))
                               .arg(FormatByteSize(state.dblTotalFilesize))
                               .arg(currentFolder);
    const QByteArray bytes = "\r\x1b[K" + status.left(200).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), err);
    std::fflush(err);
    progressShown = true;
}

void ConsoleHost::ClearProgress() {
    if (!progressShown)
        return;
    std::fputs("\r\x1b[K", err);
    std::fflush(err);
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
    std::fflush(out);
}

} // namespace vnt
