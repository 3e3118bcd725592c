// The console program as scripts and scheduled runs use it: the whole source at once, a
// log, a JSON summary, one run per target, and a manual page that lists what --help does.
#include "CliRun.h"
#include "mainwindow/Language.h"
#include "platform/FolderLock.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

namespace vnt::test {
namespace {

class ScriptingTest : public SmallTreeTest {
protected:
    static QJsonObject Json(const CliRun& run) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(run.out.toUtf8(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError)
            << "standard output is one JSON object and nothing else: " << run.out.toStdString();
        EXPECT_TRUE(document.isObject());
        return document.object();
    }
};

TEST_F(ScriptingTest, AllTakesTheWholeSourceAsItIsNow) {
    ASSERT_TRUE(QDir().mkpath(source + "Photos/2023/Summer"));
    WriteFile(source + "Photos/2023/Summer/p.jpg", "pp");
    ASSERT_TRUE(QFile::link(source + "Letters", source + "linked"));
    const QStringList all = {"backup-modified", "--all", "--source", source, "--target", target};
    const CliRun first = Cli(all);
    EXPECT_EQ(first.status, 0) << first.err.toStdString();
    for (const char* copied :
         {"a.txt", "Letters/b.txt", "Letters/Old/c.txt", "Photos/2023/Summer/p.jpg"})
        EXPECT_TRUE(QFile::exists(target + copied)) << copied;
    EXPECT_FALSE(QFile::exists(target + "linked")) << "a link to a folder is not followed";

    // Read at every run: a folder made since the last one is backed up too.
    ASSERT_TRUE(QDir().mkpath(source + "Later"));
    WriteFile(source + "Later/l.txt", "l");
    const CliRun second = Cli(all);
    EXPECT_EQ(second.status, 0);
    EXPECT_TRUE(QFile::exists(target + "Later/l.txt"));
    EXPECT_TRUE(second.out.contains("Number of files copied: 1\n")) << second.out.toStdString();

    const CliRun withInclude = Cli({"backup-all", "--all", "--include", "Letters", "--source",
                                    source, "--target", dir.path() + "/other/", "--create-target"});
    EXPECT_EQ(withInclude.status, 2);
    EXPECT_TRUE(withInclude.err.contains("--include")) << withInclude.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.path() + "/other")) << "nothing was done";
}

TEST_F(ScriptingTest, TheLogGetsEachRunsReportAfterAHeaderLine) {
    const QString log = dir.filePath("backup.log");
    const QStringList backup = {"backup-modified", "--all", "--source", source,
                                "--target",        target,  "--log",    log};
    const CliRun first = Cli(backup);
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    WriteFile(source + "Letters/b.txt", "bbb");
    const CliRun second = Cli({"check", "--source", source, "--target", target, "--include",
                               "Letters", "--summary-only", "--log", log, "--json"});
    ASSERT_EQ(second.status, 0) << second.err.toStdString();

    const QString text = QString::fromUtf8(ReadAll(log));
    EXPECT_FALSE(text.contains('\r')) << "LF line ends";
    const QRegularExpression header(
        R"(^\[\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(Z|[+-]\d\d:\d\d)\] \S*vantoro-cli (.*) \| Setup: (.*)$)");
    QStringList lines = text.split('\n');
    ASSERT_EQ(lines.takeLast(), "") << "the last line is ended";
    const QRegularExpressionMatch firstHeader = header.match(lines.value(0));
    ASSERT_TRUE(firstHeader.hasMatch()) << lines.value(0).toStdString();
    EXPECT_EQ(firstHeader.captured(2), backup.join(' '));
    EXPECT_EQ(firstHeader.captured(3),
              "source " + source + "; target " + target +
                  "; included folders: Letters (with their subfolders); file extension: any; "
                  "skip: nothing; files modified " +
                  ProgramText(353));

    // The whole report follows, as standard output had it; then the next run's part, whose
    // report is in the log even though standard output had JSON.
    const qsizetype firstLines = first.out.count('\n');
    EXPECT_EQ(lines.mid(1, firstLines).join('\n') + '\n', first.out);
    const QRegularExpressionMatch secondHeader = header.match(lines.value(1 + firstLines));
    ASSERT_TRUE(secondHeader.hasMatch()) << "appended, not overwritten";
    EXPECT_TRUE(secondHeader.captured(3).endsWith("; totals only"));
    const QString secondReport = lines.mid(2 + firstLines).join('\n');
    EXPECT_TRUE(secondReport.contains("Number of modified files: 1")) << text.toStdString();
    EXPECT_EQ(Json(second).value("counts").toObject().value("modified").toInt(), 1);

    const QString unwritable = dir.path() + "/no/such/folder/backup.log";
    const CliRun refused = Cli({"backup-all", "--source", source, "--target", dir.path() + "/new/",
                                "--create-target", "--log", unwritable});
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(refused.err.contains("cannot open the log file " + unwritable))
        << refused.err.toStdString();
    EXPECT_TRUE(refused.out.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.path() + "/new")) << "nothing was done";
}

TEST_F(ScriptingTest, JsonSummaryNamesEveryFailure) {
    ASSERT_TRUE(QDir().mkpath(target + "a.txt")); // a folder where the copy must go
    const CliRun failed = Cli({"backup-modified", "--source", source, "--target", target,
                               "--include", "Letters", "--json"});
    EXPECT_EQ(failed.status, 1) << failed.err.toStdString();
    EXPECT_FALSE(failed.err.contains('\x1b')) << "no progress line on a pipe";
    QJsonObject json = Json(failed);
    const QDateTime started = QDateTime::fromString(json.take("started").toString(), Qt::ISODate);
    const QDateTime finished = QDateTime::fromString(json.take("finished").toString(), Qt::ISODate);
    EXPECT_TRUE(started.isValid() && started <= finished);
    EXPECT_NE(started.timeSpec(), Qt::LocalTime) << "with the offset from UTC";
    const QJsonArray failures = json.take("failures").toArray();
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures[0].toObject().value("path").toString(), source + "a.txt");
    const QString reason = failures[0].toObject().value("reason").toString();
    EXPECT_TRUE(reason.startsWith(ProgramText(172) + " (")) << "and the system's words";
    QJsonObject expected = QJsonDocument::fromJson(R"({"operation": "backup-modified",
        "counts": {"folders": 2, "files": 2, "new": 2, "modified": 0, "copied": 1, "errors": 1,
                   "kept": 0, "compared": 0, "differing": 0, "notInTarget": 0, "repaired": 0},
        "bytesCopied": 2, "bytesListed": 0, "bytesCompared": 0, "exitStatus": 1})")
                               .object();
    expected["source"] = source;
    expected["target"] = target;
    EXPECT_EQ(json, expected) << QJsonDocument(json).toJson().toStdString();

    const QJsonObject list =
        Json(Cli({"list", "--all", "--source", source, "--target", target, "--json"}));
    EXPECT_EQ(list.value("counts").toObject().value("folders").toInt(), 3);
    EXPECT_EQ(list.value("bytesListed").toInteger(-1), 6);
    EXPECT_EQ(list.value("bytesCopied").toInteger(-1), 0);
}

TEST_F(ScriptingTest, OneRunPerTargetAtATime) {
    const ScopedEnvironment shortWait("VANTORO_LOCK_WAIT_MS", "100");
    ASSERT_TRUE(QFile::link(target, dir.path() + "/alias"));
    FolderLock other; // another run, as far as the program can tell
    ASSERT_EQ(other.Take(target, 0), FolderLock::Outcome::Taken);
    const QString log = dir.filePath("run.log");
    const QStringList backup = {"backup-all", "--all", "--source", source, "--target", target};
    const CliRun refused = Cli(backup + QStringList{"--log", log});
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(refused.err.contains("Another Vantoro run is using the target folder " + target +
                                     ", so nothing was done."))
        << refused.err.toStdString();
    EXPECT_TRUE(refused.out.isEmpty());
    EXPECT_TRUE(ReadAll(log).contains("Another Vantoro run")) << "a scheduled run's log says why";
    const CliRun byAnotherName =
        Cli({"check", "--source", source, "--target", dir.path() + "/alias", "--json"});
    EXPECT_EQ(byAnotherName.status, 2) << "the folder is locked, whatever its path";
    EXPECT_EQ(Json(byAnotherName).value("exitStatus").toInt(), 2);
    EXPECT_TRUE(QDir(target).isEmpty()) << "nothing was copied";
    EXPECT_EQ(Cli({"list", "--all", "--source", source, "--target", target}).status, 0)
        << "a list reads only the source";

    other.Release();
    const CliRun after = Cli(backup);
    EXPECT_EQ(after.status, 0) << after.err.toStdString();
    EXPECT_EQ(other.Take(target, 0), FolderLock::Outcome::Taken) << "let go when it ended";
}

QSet<QString> Captures(const QString& text, const QRegularExpression& pattern) {
    QSet<QString> found;
    for (auto match = pattern.globalMatch(text); match.hasNext();)
        found.insert(match.next().captured(1));
    return found;
}

// The tags of a manual page section's .TP paragraphs (the line after each .TP), one a line.
QString Tags(const QString& page, const QString& section) {
    const qsizetype start = page.indexOf(".SH " + section + '\n');
    const qsizetype end = page.indexOf("\n.SH ", start + 1);
    const QStringList lines = page.mid(start, end < 0 ? -1 : end - start).split('\n');
    QString tags;
    for (qsizetype i = 1; start >= 0 && i < lines.size(); ++i) {
        if (lines[i - 1] == ".TP")
            tags += lines[i] + '\n';
    }
    return tags;
}

TEST(ManualPage, ListsWhatTheProgramHas) {
    const CliRun help = Cli({"--help"});
    ASSERT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("Without --all and without --include only the source folder's "
                                  "own files are taken, as in the window"));
    QFile file(QStringLiteral(VANTORO_MAN_PAGE));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(file.readAll()).replace("\\-", "-");

    // In the help an option line starts with two blanks and a dash, and its options end at
    // the first two blanks; the commands are the lines of the block under "Commands:".
    QString helpOptions;
    QString helpCommands;
    bool inCommands = false;
    for (const QString& line : help.out.split('\n')) {
        static const QRegularExpression option(R"(^  (-\S.*?)(  |$))");
        if (const auto match = option.match(line); match.hasMatch())
            helpOptions += match.captured(1) + '\n';
        else if (inCommands && !line.isEmpty())
            helpCommands += line.section(' ', 2, 2) + '\n';
        inCommands = line == "Commands:" || (inCommands && !line.isEmpty());
    }
    const QRegularExpression optionName(R"((?:^|[\s,])(--?[A-Za-z?][A-Za-z-]*))",
                                        QRegularExpression::MultilineOption);
    const QSet<QString> inHelp = Captures(helpOptions, optionName);
    const QSet<QString> inPage = Captures(Tags(page, "OPTIONS"), optionName);
    EXPECT_GE(inHelp.size(), 20) << helpOptions.toStdString();
    EXPECT_EQ(QSet<QString>(inHelp).subtract(inPage), QSet<QString>())
        << "in --help, missing from the manual page";
    EXPECT_EQ(QSet<QString>(inPage).subtract(inHelp), QSet<QString>())
        << "in the manual page, not in --help";

    const QRegularExpression commandName(R"(^(?:\.B )?([a-z-]+)$)",
                                         QRegularExpression::MultilineOption);
    EXPECT_EQ(Captures(helpCommands, commandName),
              QSet<QString>({"list", "check", "backup-all", "backup-modified", "verify"}));
    EXPECT_EQ(Captures(Tags(page, "COMMANDS"), commandName), Captures(helpCommands, commandName));

    // Every field of a JSON summary is described, and no other.
    QTemporaryDir dir;
    QDir().mkpath(dir.path() + "/src");
    WriteFile(dir.path() + "/src/a.txt", "a");
    const CliRun run =
        Cli({"list", "--json", "--source", dir.path() + "/src", "--target", dir.path() + "/dst"});
    const QStringList fields = QJsonDocument::fromJson(run.out.toUtf8()).object().keys();
    EXPECT_EQ(fields.size(), 11) << run.out.toStdString();
    EXPECT_EQ(Captures(Tags(page, "JSON OUTPUT"),
                       QRegularExpression(R"(^\.B (\w+)$)", QRegularExpression::MultilineOption)),
              QSet<QString>(fields.begin(), fields.end()));
    EXPECT_TRUE(Tags(page, "ENVIRONMENT").contains("VANTORO_LOCK_WAIT_MS"));
}

} // namespace
} // namespace vnt::test
