// The console program as scripts and scheduled runs use it: the whole source at once, a
// log, a JSON summary, one run per target, and documents that show what the program does.
#include "backup/Catalog.h"
#include "backup/Disks.h"
#include "CliRun.h"
#include "mainwindow/Language.h"
#include "platform/FolderLock.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <sys/mount.h>
#include <sys/resource.h>

namespace vnt::test {
namespace {

class ScriptingTest : public SmallTreeTest {
protected:
    // A document's example of a JSON summary: the lines from the first "{" after marker to
    // the next "}", with its sample folders named as this test's.
    QJsonObject Example(const QString& document, const QString& marker) const {
        const QString text = QString::fromUtf8(ReadAll(document));
        const qsizetype at = text.indexOf(marker);
        const qsizetype begin = text.indexOf("\n{\n", at);
        const qsizetype end = text.indexOf("\n}\n", begin);
        if (at < 0 || begin < 0 || end < 0)
            return {};
        return QJsonDocument::fromJson(text.mid(begin + 1, end - begin + 1)
                                           .replace("/home/me/Documents/", source)
                                           .replace("/media/me/BACKUP/Documents/", target)
                                           .toUtf8())
            .object();
    }

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
    const QStringList arguments = {"backup-modified", "--source",  source.chopped(1), "--target",
                                   target.chopped(1), "--include", "Letters",         "--json"};
    const CliRun failed = Cli(arguments);
    EXPECT_EQ(failed.status, 1) << failed.err.toStdString();
    EXPECT_FALSE(failed.err.contains('\x1b')) << "no progress line on a pipe";
    QJsonObject json = Json(failed);

    // The README shows this run, and the manual page its object: every field, as printed
    // but for the times.
    const QString command =
        "$ vantoro-cli " + arguments.join(' ')
                               .replace(source.chopped(1), "~/Documents")
                               .replace(target.chopped(1), "/media/me/BACKUP/Documents");
    EXPECT_TRUE(QString::fromUtf8(ReadAll(VANTORO_README)).contains(command + '\n'))
        << command.toStdString();
    using Document = std::pair<QString, QString>; // the file and the marker of its example
    for (const auto& [document, marker] :
         {Document{VANTORO_README, command}, Document{VANTORO_MAN_PAGE, ".SH JSON OUTPUT"}}) {
        QJsonObject example = Example(document, marker);
        QJsonObject printed = json;
        for (QJsonObject* summary : {&example, &printed}) {
            for (const char* time : {"started", "finished"}) {
                static const QRegularExpression withOffset(
                    R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d([+-]\d\d:\d\d|Z)$)");
                summary->insert(time, withOffset.match(summary->value(time).toString()).hasMatch());
            }
        }
        EXPECT_EQ(example, printed) << document.toStdString() << '\n'
                                    << QJsonDocument(example).toJson().toStdString();
    }
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

// The regular files below a target, by their path below it, without the program's own.
QStringList FilesBelow(const QString& root) {
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next().mid(root.size());
        if (!path.startsWith(".vantoro/"))
            files.append(path);
    }
    files.sort();
    return files;
}

TEST_F(ScriptingTest, SignalsAndLimitsEndARunCleanlyOrNotAtAll) {
    // A report far longer than a pipe holds: the run cannot end while nobody reads it.
    ASSERT_TRUE(QDir().mkpath(source + "Many"));
    for (int i = 0; i < 1000; ++i)
        WriteFile(source + "Many/" + QString::number(i) + QString(150, 'x') + ".txt",
                  QByteArray::number(i));
    WriteFile(source + "big.bin", QByteArray(100 * 1024, 'b'));
    QStringList all = FilesBelow(source);
    const auto backup = [&](const QString& name, const QStringList& more = {}) {
        EXPECT_TRUE(QDir().mkpath(dir.path() + "/" + name));
        return QStringList{"backup-modified",      "--all", "--source", source, "--target",
                           dir.path() + "/" + name} +
               more;
    };

    // The terminal closes mid-run: stopped as by Ctrl+C, the totals still written.
    const QString hungUpTarget = dir.path() + "/hup/";
    const CliRun hungUp = CliInChild(backup("hup"), {}, Captured, [](pid_t pid, int out) {
        char first = 0;
        ASSERT_EQ(::read(out, &first, 1), 1) << "the report begins once the handlers are set";
        ::kill(pid, SIGHUP);
    });
    EXPECT_EQ(hungUp.status, 130) << hungUp.err.toStdString();
    EXPECT_TRUE(hungUp.out.contains(ProgramText(49)));
    const QStringList copiedBeforeTheStop = FilesBelow(hungUpTarget);
    EXPECT_LT(copiedBeforeTheStop.size(), all.size());
    EXPECT_TRUE(hungUp.out.contains(
        QString("Number of files copied: %1\n").arg(copiedBeforeTheStop.size())))
        << "the totals are those of the target; no unfinished copy left: "
        << copiedBeforeTheStop.filter(".~vantoro").join(' ').toStdString();
    for (const QString& name : copiedBeforeTheStop)
        EXPECT_EQ(ReadAll(hungUpTarget + name), ReadAll(source + name)) << name.toStdString();

    // The reader of the report went away (| head -1): the backup runs to its end.
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    ::close(pipeEnds[0]);
    const CliRun piped = CliInChild(backup("pipe"), {}, pipeEnds[1]);
    ::close(pipeEnds[1]);
    EXPECT_EQ(piped.status, 1);
    EXPECT_EQ(piped.err,
              "vantoro-cli: the report could not be written to standard output: Broken pipe\n");
    EXPECT_EQ(FilesBelow(dir.path() + "/pipe/"), all);

    // A file-size limit (ulimit -f) fails that one file; the run goes on to the next.
    const CliRun limited = CliInChild(backup("limit"), [] {
        const rlimit fileSize{64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &fileSize);
    });
    EXPECT_EQ(limited.status, 1) << limited.err.toStdString();
    const QString failedLine = "      " + ProgramText(79) + " " + source + "big.bin  ";
    EXPECT_TRUE(limited.out.split('\n').filter(failedLine).value(0).endsWith("(File too large)"))
        << limited.out.left(1000).toStdString();
    all.removeOne("big.bin");
    EXPECT_EQ(FilesBelow(dir.path() + "/limit/"), all) << "the subfolders come after it";

    // No room for a thread's stack (ulimit -v): the serial engine, said once.
    const ScopedEnvironment threaded("VANTORO_THREADS", "2");
    const CliRun serial = CliInChild(backup("threads", {"--summary-only"}), [] {
        const rlimit stack{2LL << 30, 2LL << 30};
        const rlimit memory{1LL << 30, 1LL << 30};
        if (::setrlimit(RLIMIT_STACK, &stack) != 0 || ::setrlimit(RLIMIT_AS, &memory) != 0)
            ::_exit(77);
    });
    if (serial.status == 77)
        GTEST_SKIP() << "the stack limit cannot be raised here";
    EXPECT_EQ(serial.status, 0) << serial.err.toStdString();
    EXPECT_EQ(serial.err, "A thread could not be started (Resource temporarily unavailable), so "
                          "this run goes on with one thread.\n");
    EXPECT_EQ(FilesBelow(dir.path() + "/threads/").size(), all.size() + 1);
}

TEST_F(ScriptingTest, AReportThatCannotBeWrittenIsSaidAndFailsTheRun) {
    const QStringList files = FilesBelow(source);
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    const QStringList toFull = {"backup-all", "--all", "--source", source, "--target", target};
    const CliRun report = CliInChild(toFull, {}, full);
    EXPECT_EQ(report.status, 1);
    EXPECT_EQ(report.err, "vantoro-cli: the report could not be written to standard output: No "
                          "space left on device\n");
    EXPECT_EQ(FilesBelow(target), files) << "the backup itself completes";
    CatalogReader history;
    ASSERT_TRUE(history.Open(target)) << history.Problem().toStdString();
    EXPECT_EQ(history.Runs().at(0).exitStatus, 1) << "the history says what the run returned";
    const CliRun json =
        CliInChild({"check", "--all", "--source", source, "--target", target, "--json"}, {}, full);
    EXPECT_EQ(json.status, 1) << json.err.toStdString();
    ::close(full);

    ASSERT_TRUE(QDir().mkpath(dir.path() + "/logged") && QDir().mkpath(dir.path() + "/closed"));
    const CliRun log = Cli({"backup-all", "--all", "--source", source, "--target",
                            dir.path() + "/logged/", "--log", "/dev/full"});
    EXPECT_EQ(log.status, 1);
    EXPECT_EQ(log.err, "vantoro-cli: the report could not be written to the log file /dev/full: "
                       "No space left on device\n");
    EXPECT_TRUE(log.out.endsWith("Number of files copied: 3\nSum of sizes of files copied: 6 "
                                 "bytes\n"))
        << log.out.toStdString();
    EXPECT_EQ(FilesBelow(dir.path() + "/logged/"), files);
    CatalogReader logged;
    ASSERT_TRUE(logged.Open(dir.path() + "/logged/"));
    EXPECT_EQ(logged.Runs().at(0).exitStatus, 1);

    // Standard output closed: no file the run opens takes its place.
    const QString logPath = dir.filePath("closed.log");
    const CliRun closed = CliInChild({"backup-all", "--all", "--source", source, "--target",
                                      dir.path() + "/closed/", "--log", logPath},
                                     {}, -1);
    EXPECT_EQ(closed.status, 1);
    EXPECT_EQ(closed.err, "vantoro-cli: the report could not be written to standard output: Bad "
                          "file descriptor\n");
    EXPECT_EQ(QString::fromUtf8(ReadAll(logPath)).count("Number of files copied: 3\n"), 1);
    EXPECT_EQ(FilesBelow(dir.path() + "/closed/"), files);
    for (const QString& name : files)
        EXPECT_EQ(ReadAll(dir.path() + "/closed/" + name), ReadAll(source + name));
}

TEST_F(ScriptingTest, OddFileSystemsAndTooFewDescriptors) {
    // Too few descriptors to read the source (ulimit -n 8) is not an empty selection.
    const CliRun starved =
        CliInChild({"backup-all", "--all", "--source", source, "--target", target}, [] {
            const rlimit descriptors{8, 8};
            ::setrlimit(RLIMIT_NOFILE, &descriptors);
        });
    EXPECT_EQ(starved.status, 2);
    EXPECT_TRUE(starved.err.contains(": Too many open files. Nothing was done.\n"))
        << starved.err.toStdString();
    EXPECT_FALSE(starved.err.contains(ProgramText(40)));
    EXPECT_TRUE(QDir(target).isEmpty());

    // A file system that reports no size (ramfs, as some FUSE ones) has room of unknown size.
    if (::getuid() != 0)
        GTEST_SKIP() << "mounting ramfs needs root";
    const QByteArray mountPoint = QFile::encodeName(target);
    if (::mount("ramfs", mountPoint.constData(), "ramfs", 0, nullptr) != 0)
        GTEST_SKIP() << "ramfs cannot be mounted here";
    const std::unique_ptr<const char, void (*)(const char*)> unmount(
        mountPoint.constData(), [](const char* path) { ::umount2(path, MNT_DETACH); });
    double freeBytes = 7;
    double totalBytes = 8;
    EXPECT_EQ(GetFreeDiskSpace(target, freeBytes, totalBytes), -1);
    EXPECT_EQ(GetDriveFreeSpaceText(target), "") << "the window shows no figure";
    const CliRun sizeless = Cli({"backup-all", "--all", "--source", source, "--target", target});
    EXPECT_EQ(sizeless.status, 0) << sizeless.out.toStdString();
    EXPECT_EQ(FilesBelow(target), FilesBelow(source));
}

// A disk image mounted below /mnt/, unplugged halfway: the run that finds it gone says so with
// its own status, and neither it nor --create-target writes on the disk below the mount point.
TEST(BackupDisk, AnAbsentDiskIsItsOwnCaseAndNothingLandsOnTheWrongDisk) {
    if (::getuid() != 0)
        GTEST_SKIP() << "mounting a disk image needs root";
    QTemporaryDir work;
    const QString source = work.path() + "/src/";
    ASSERT_TRUE(QDir().mkpath(source));
    WriteFile(source + "a.txt", "a");
    QTemporaryDir mountPoint(QStringLiteral("/mnt/vantoro-disk-XXXXXX"));
    ASSERT_TRUE(mountPoint.isValid());
    const QString image = work.path() + "/disk.img";
    const auto run = [](const QString& program, const QStringList& arguments) {
        QProcess process;
        process.start(program, arguments);
        return process.waitForFinished(60'000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    };
    QFile file(image);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(4 * 1024 * 1024) ||
        !run("mkfs.ext4", {"-q", "-F", image}) ||
        !run("mount", {"-o", "loop", image, mountPoint.path()}))
        GTEST_SKIP() << "a disk image cannot be mounted here";
    file.close();
    const QString target = mountPoint.path() + "/Backup/";
    const QStringList backup = {"backup-modified", "--source", source, "--target", target,
                                "--create-target"};
    const CliRun plugged = Cli(backup);
    EXPECT_EQ(plugged.status, 0) << plugged.err.toStdString();
    EXPECT_TRUE(QFile::exists(target + "a.txt"));
    ASSERT_TRUE(run("umount", {mountPoint.path()}));

    const QString said = "The backup disk for " + target + " is not connected; nothing was done.";
    for (const QStringList& arguments :
         {backup, QStringList{"verify", "--source", source, "--target", target},
          QStringList{"restore", "--source", source, "--target", target}}) {
        const CliRun unplugged = Cli(arguments);
        EXPECT_EQ(unplugged.status, 3) << arguments[0].toStdString();
        EXPECT_TRUE(unplugged.err.contains(said)) << unplugged.err.toStdString();
    }
    EXPECT_TRUE(QDir(mountPoint.path()).isEmpty()) << "no folder made below the mount point";
    // The mount point's own folder as the target: a disk was mounted there, so no disk either.
    const CliRun intoMountPoint =
        Cli({"backup-all", "--source", source, "--target", mountPoint.path()});
    EXPECT_EQ(intoMountPoint.status, 3);
    EXPECT_TRUE(QDir(mountPoint.path()).isEmpty());

    // An old copy left where the disk was mounted: the folder is there and not empty, but it
    // lies on the system disk. Nothing is written there.
    ASSERT_TRUE(QDir().mkpath(target));
    WriteFile(target + "old.txt", "old");
    WriteFile(source + "b.txt", "b");
    const CliRun stale = Cli(backup);
    EXPECT_EQ(stale.status, 3) << stale.out.toStdString();
    EXPECT_TRUE(stale.err.contains(said)) << stale.err.toStdString();
    EXPECT_FALSE(QFile::exists(target + "b.txt"));
    ASSERT_TRUE(QDir(target).removeRecursively());

    // Plugged in again: the backup goes on where it was.
    ASSERT_TRUE(run("mount", {"-o", "loop", image, mountPoint.path()}));
    const CliRun back = Cli(backup);
    EXPECT_EQ(back.status, 0) << back.err.toStdString();
    EXPECT_EQ(ReadAll(target + "b.txt"), "b");
    ASSERT_TRUE(run("umount", {mountPoint.path()}));

    // An empty folder below /mnt that no disk was ever mounted on is a first backup.
    QTemporaryDir plain(QStringLiteral("/mnt/vantoro-plain-XXXXXX"));
    const CliRun first = Cli({"backup-all", "--source", source, "--target", plain.path()});
    EXPECT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_TRUE(QFile::exists(plain.path() + "/a.txt"));
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
    EXPECT_TRUE(help.out.contains("With --source and --target the whole source folder is taken, "
                                  "as with --all, unless --include names subfolders or "
                                  "--top-only takes only the files directly in the source folder"));
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
        inCommands = line == "Commands:" || line == "Getting files back:" ||
                     (inCommands && !line.isEmpty());
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
    // The shell completes every option but Qt's own second spelling of the help.
    QFile completion(QFileInfo(QStringLiteral(VANTORO_MAN_PAGE))
                         .dir()
                         .filePath("../dist/vantoro-cli.bash-completion"));
    ASSERT_TRUE(completion.open(QIODevice::ReadOnly));
    const QSet<QString> completed = Captures(QString::fromUtf8(completion.readAll()),
                                             QRegularExpression(R"([\s'](--[a-z-]+))"));
    for (const QString& name : inHelp)
        EXPECT_TRUE(!name.startsWith("--") || name == "--help-all" || completed.contains(name))
            << name.toStdString() << " is not completed";

    const QRegularExpression commandName(R"(^(?:\.B )?([a-z-]+)$)",
                                         QRegularExpression::MultilineOption);
    EXPECT_EQ(Captures(helpCommands, commandName),
              QSet<QString>({"list", "check", "backup-all", "backup-modified", "verify", "history",
                             "versions", "restore"}));
    EXPECT_EQ(Captures(Tags(page, "COMMANDS") + Tags(page, "GETTING FILES BACK"), commandName),
              Captures(helpCommands, commandName));

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

    // --help-all says no more than the manual page: this program takes no options of Qt's.
    EXPECT_EQ(Cli({"--help-all"}).out, help.out);
    EXPECT_TRUE(help.out.contains("The same help: this program takes no Qt options."));
    EXPECT_TRUE(page.contains("--help-all\nThe same help: this program takes no Qt options."));

    // The user guide and the README name only commands and options the program has: the
    // lines that run vantoro-cli, the guide's part about it and the README's option list.
    const QString guide = QString::fromUtf8(ReadAll(VANTORO_DATA_DIR "/vnt_help.txt"));
    QString aboutCli = guide.section("vantoro-cli\n-----------\n", 1).section("\n8. ", 0, 0);
    for (const QString& document : {guide, QString::fromUtf8(ReadAll(VANTORO_README))}) {
        for (const QString& line : document.split('\n')) {
            if (line.contains("vantoro-cli ") || line.startsWith("- `--"))
                aboutCli += QString(line).replace('`', ' ') + '\n';
        }
    }
    const QRegularExpression commandRun(R"(vantoro-cli ([a-z][a-z-]*)(?=  | --))",
                                        QRegularExpression::MultilineOption);
    EXPECT_EQ(Captures(aboutCli, commandRun), Captures(helpCommands, commandName))
        << "every command shown, and no other";
    EXPECT_EQ(Captures(aboutCli, optionName).subtract(inHelp), QSet<QString>())
        << "named in a document, unknown to --help";
}

} // namespace
} // namespace vnt::test
