#pragma once
// A report host for engine tests: keeps the text, records labels, buttons and questions,
// and answers questions from a queue.

#include "report/ReportHost.h"

#include <deque>
#include <functional>
#include <QStringList>
#include <vector>

namespace vnt::test {

class RecordingHost : public NullReportHost {
public:
    QString text;
    QString caption, sourceDirpath, targetDirpath, fileLabel, fileName, bytesCopied, freeSpace;
    bool bytesCopiedVisible = false;
    bool visible = false;
    QStringList events;            // starts and ends, pauses, sleeps, beeps, in order
    QStringList questions;         // "title|text" of every box shown
    std::deque<bool> answers;      // yes/no answers; the default button when empty
    std::function<void()> onYield; // what happens elsewhere while the walk lets events run
    std::function<void(const QString&)> onOutput; // what a person does on reading a line

    void Output(const QString& strText, bool blnCRLF) override {
        text += strText;
        if (blnCRLF)
            text += QStringLiteral("\r\n");
        if (onOutput)
            onOutput(strText);
    }
    const QString& ReportText() const override { return text; }
    void AppendToText(const QString& piece) override { text += piece; }
    void RemoveFromEnd(qsizetype count) override { text.chop(count); }
    void SetText(const QString& newText) override { text = newText; }
    QStringList drawnTexts; // the text each time it was drawn at once
    void DrawNow() override { drawnTexts.append(text); }
    struct Progress {
        QString name;
        qint64 done, size;
    };
    std::vector<Progress> progress;
    void CopyProgress(const QString& name, qint64 done, qint64 size) override {
        progress.push_back({name, done, size});
    }
    void SetSourceDirpath(const QString& t) override { sourceDirpath = t; }
    void SetTargetDirpath(const QString& t) override { targetDirpath = t; }
    void SetFileNowBeingCopied(const QString& label, const QString& name) override {
        fileLabel = label;
        fileName = name;
    }
    QString FileNowBeingCopiedLabel() const override { return fileLabel; }
    void ShowBytesCopied(const QString& t) override {
        bytesCopied = t;
        bytesCopiedVisible = true;
    }
    void HideBytesCopied() override { bytesCopiedVisible = false; }
    void ShowFreeSpace(const QString& t) override { freeSpace = t; }
    void SetCaption(const QString& t) override { caption = t; }
    void OperationStarted() override { events.append(QStringLiteral("started")); }
    void OperationFinished() override { events.append(QStringLiteral("finished")); }
    void ShowReport() override {
        visible = true;
        events.append(QStringLiteral("show"));
    }
    bool IsReportVisible() const override { return visible; }
    void Pause() override { events.append(QStringLiteral("pause")); }
    bool AskYesNo(const QString& question, const QString& title, MsgResult defaultButton,
                  MsgIcon) override {
        questions.append(title + u'|' + question);
        if (answers.empty())
            return defaultButton == MsgResult::Yes;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void Inform(const QString& message, const QString& title, MsgIcon) override {
        questions.append(title + u'|' + message);
    }
    void Yield() override {
        if (onYield)
            onYield();
    }
    void Sleep(int ms) override { events.append(QStringLiteral("sleep %1").arg(ms)); }
    void Beep() override { events.append(QStringLiteral("beep")); }
};

} // namespace vnt::test
