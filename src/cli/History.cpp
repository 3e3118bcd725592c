#include "cli/History.h"

#include "backup/Catalog.h"
#include "cli/ConsoleHost.h"
#include "platform/Names.h"
#include "platform/Process.h"

#include <cstdio>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vnt {

namespace {

QString LocalTime(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString Iso8601(qint64 ms) {
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(ms);
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
}

QString ExitText(const CatalogRun& run) {
    return run.exitStatus < 0 ? QStringLiteral("did not finish") : QString::number(run.exitStatus);
}

QByteArray Text(const QString& target, const std::vector<CatalogRun>& runs) {
    QString text = QStringLiteral("Backups recorded in ") + ShownLine(target) +
                   QStringLiteral(", newest first:\n");
    text += QStringLiteral("%1  %2  %3  %4  %5\n")
                .arg(QStringLiteral("Started"), -19)
                .arg(QStringLiteral("Operation"), -22)
                .arg(QStringLiteral("Copied"), 10)
                .arg(QStringLiteral("Errors"), 8)
                .arg(QStringLiteral("Exit"));
    for (const CatalogRun& run : runs)
        text += QStringLiteral("%1  %2  %3  %4  %5\n")
                    .arg(LocalTime(run.startedMs), -19)
                    .arg(ShownLine(run.operation), -22)
                    .arg(run.filesCopied, 10)
                    .arg(run.errors, 8)
                    .arg(ExitText(run));
    if (runs.empty())
        text += QStringLiteral("(none)\n");
    return text.toUtf8();
}

QByteArray Json(const QString& target, const std::vector<CatalogRun>& runs) {
    QJsonArray list;
    for (const CatalogRun& run : runs)
        list.append(
            QJsonObject{{QStringLiteral("started"), Iso8601(run.startedMs)},
                        {QStringLiteral("finished"),
                         run.finishedMs > 0 ? QJsonValue(Iso8601(run.finishedMs)) : QJsonValue()},
                        {QStringLiteral("operation"), ShownName(run.operation)},
                        {QStringLiteral("setup"), ShownName(run.setup)},
                        {QStringLiteral("copied"), run.filesCopied},
                        {QStringLiteral("errors"), run.errors},
                        {QStringLiteral("exitStatus"),
                         run.exitStatus >= 0 ? QJsonValue(run.exitStatus) : QJsonValue()}});
    return QJsonDocument(QJsonObject{{QStringLiteral("target"), ShownName(target)},
                                     {QStringLiteral("runs"), list}})
        .toJson(QJsonDocument::Indented);
}

} // namespace

int PrintHistory(const QString& targetFolder, bool asJson) {
    constexpr int Listed = 0;
    constexpr int NotAllWritten = 1;
    constexpr int NothingListed = 2;
    CatalogReader reader;
    if (!reader.Open(targetFolder)) {
        const QByteArray line =
            "vantoro-cli: no history can be shown: " + ShownLine(reader.Problem()).toUtf8() + '\n';
        std::fputs(line.constData(), stderr);
        return NothingListed;
    }
    const std::vector<CatalogRun> runs = reader.Runs();
    // Stopped while it read: what was read is not the whole history.
    if (InterruptionRequested())
        return Interrupted;
    const QByteArray out = asJson ? Json(targetFolder, runs) : Text(targetFolder, runs);
    return WriteBytes(out, stdout) == 0 ? Listed : NotAllWritten;
}

} // namespace vnt
