// Beyond sizes and times: why a file counts as modified, a comparison of contents, and the
// replaced copies kept. End to end on the built console program.

#include "backup/Catalog.h"
#include "cli/CliRun.h"
#include "platform/FileCopy.h"
#include "TestSupport.h"

#include <csignal>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <sqlite3.h>
#include <sys/resource.h>
#include <thread>

namespace vnt::test {
namespace {

class ContentsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString source = dir.path() + "/src/";
    QString target = dir.path() + "/dst/";
    // The comparison's memory of its last run stays in this test's folder.
    ScopedEnvironment state{"XDG_STATE_HOME", QFile::encodeName(dir.path() + "/state").constData()};

    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(source + "docs"));
        ASSERT_TRUE(QDir().mkpath(target + "docs"));
    }
    CliRun Run(const QString& command, const QStringList& more = {}) {
        return Cli(QStringList{command, "--source", source, "--target", target, "--all"} + more);
    }
    static void Flip(const QString& path, qint64 offset) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.seek(offset));
        char byte = 0;
        ASSERT_EQ(file.read(&byte, 1), 1);
        ASSERT_TRUE(file.seek(offset));
        byte = static_cast<char>(byte ^ 0x20);
        ASSERT_EQ(file.write(&byte, 1), 1);
    }
};

TEST_F(ContentsTest, ExplainSaysWhyAndNamesWhereAnEditCouldHide) {
    WriteFile(source + "docs/grown.txt", "longer than before");
    WriteFile(target + "docs/grown.txt", "short");
    WriteFile(source + "docs/jitter.txt", "same size");
    WriteFile(target + "docs/jitter.txt", "same size");
    SetLastWriteUtc(source + "docs/jitter.txt", 2024, 5, 10, 12, 1, 0);
    SetLastWriteUtc(target + "docs/jitter.txt", 2024, 5, 10, 12, 0, 0);
    WriteFile(source + "docs/new.txt", "new");

    const CliRun run = Run("check", {"--explain"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    const QString expected =
        "      " + source + "docs/grown.txt (modified)\n          size 5 -> 18 bytes\n";
    EXPECT_TRUE(run.out.contains(expected)) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("      " + source +
                                 "docs/jitter.txt counted unchanged\n          times differ by "
                                 "1 min, contents the same\n"))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(source + "docs/new.txt (new)\n          no copy in the target\n"));
    EXPECT_FALSE(Run("check").out.contains("counted unchanged")) << "only when asked";
    EXPECT_EQ(Run("backup-all", {"--explain"}).status, 2);
}

TEST_F(ContentsTest, ATimeTheToleranceAbsorbsIsConfirmedByTheContents) {
    // Same-size saves 40 s and exactly 1 h after the backed-up version, a pure clock shift
    // and a copy 20 s apart within one minute.
    const struct {
        const char* name;
        const char* sourceText;
        const char* targetText;
        int hour, minute, second;
        const char* why;
    } files[] = {
        {"edit40s.txt", "version 2", "version 1", 12, 0, 50,
         "times differ by 40 s, contents differ"},
        {"edit1h.txt", "version 2", "version 1", 13, 0, 10,
         "times differ by exactly 1 h, contents differ"},
        {"shifted.txt", "same text", "same text", 13, 0, 10,
         "times differ by exactly 1 h, contents the same"},
        {"close.txt", "same text", "same text", 12, 0, 30,
         "times differ by 20 s, contents the same"},
    };
    for (const auto& file : files) {
        WriteFile(source + "docs/" + file.name, file.sourceText);
        WriteFile(target + "docs/" + file.name, file.targetText);
        SetLastWriteUtc(source + "docs/" + file.name, 2024, 5, 10, file.hour, file.minute,
                        file.second);
        SetLastWriteUtc(target + "docs/" + file.name, 2024, 5, 10, 12, 0, 10);
    }
    const CliRun explained = Run("check", {"--explain"});
    for (const auto& file : files) {
        const bool edited = QByteArray(file.sourceText) != file.targetText;
        EXPECT_TRUE(explained.out.contains("      " + source + "docs/" + file.name +
                                           (edited ? " (modified)" : " counted unchanged") +
                                           "\n          " + file.why + "\n"))
            << file.name << "\n"
            << explained.out.toStdString();
    }
    const CliRun backup = Run("backup-modified");
    EXPECT_EQ(backup.status, 0);
    EXPECT_TRUE(backup.out.contains("Number of modified files: 2")) << backup.out.toStdString();
    for (const auto& file : files)
        EXPECT_EQ(ReadAll(target + "docs/" + file.name), file.sourceText) << file.name;
    EXPECT_EQ(Run("verify").status, 0);
}

TEST_F(ContentsTest, VerifyFindsEveryDifferenceAndRemembersItsLastRun) {
    QByteArray big(9 * 1024 * 1024, '\0');
    for (qsizetype i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7 % 251);
    WriteFile(source + "docs/big.bin", big);
    WriteFile(source + "docs/end.bin", big.left(5000));
    WriteFile(source + "docs/gone.txt", "gone");
    WriteFile(source + "top.txt", "top");
    ASSERT_EQ(Run("backup-all").status, 0);
    CliRun run = Run("verify");
    EXPECT_EQ(run.status, 0) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("Number of files compared: 4")) << run.out.toStdString();

    // A flipped byte in the middle of a large file and at the very end of another, with
    // sizes and times unchanged: only the contents tell.
    Flip(target + "docs/big.bin", 6'000'001);
    Flip(target + "docs/end.bin", 4999);
    QFile::remove(target + "docs/gone.txt");
    for (const char* name : {"docs/big.bin", "docs/end.bin"})
        SetLastWriteUtc(target + name, 2024, 5, 10, 12, 0, 0),
            SetLastWriteUtc(source + name, 2024, 5, 10, 12, 0, 0);
    // Change times come from the kernel's clock tick: the pause keeps this run's apart.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(Run("check").out.count("(modified)"), 0) << "sizes and times cannot see it";
    run = Run("verify");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.contains(source + "docs/big.bin (Contents differ at byte 6,000,001)"))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(source + "docs/end.bin (Contents differ at byte 4,999)"));
    EXPECT_TRUE(run.out.contains(source + "docs/gone.txt (Not in target)"));
    EXPECT_TRUE(run.out.contains("Number of files whose contents differ: 2"));
    EXPECT_TRUE(run.out.contains("Number of files not in the target: 1"));
    // A script learns the same from the JSON: every copy that differs or is missing, by name.
    const QJsonObject json =
        QJsonDocument::fromJson(Run("verify", {"--json"}).out.toUtf8()).object();
    QStringList failures;
    for (const QJsonValue failure : json["failures"].toArray())
        failures.append(failure["path"].toString() + " | " + failure["reason"].toString());
    failures.sort();
    EXPECT_EQ(failures, QStringList({source + "docs/big.bin | Contents differ at byte 6,000,001",
                                     source + "docs/end.bin | Contents differ at byte 4,999",
                                     source + "docs/gone.txt | Not in target"}));
    EXPECT_EQ(json["exitStatus"].toInt(), 1);

    // --since-last: what changed since the last comparison, and what differed or was missing
    // then, compared again until it matches.
    for (int again = 0; again < 2; ++again) {
        run = Run("verify", {"--since-last"});
        EXPECT_EQ(run.status, 1) << "a difference is never forgotten";
        EXPECT_TRUE(run.out.contains("Number of files compared: 2")) << run.out.toStdString();
        EXPECT_TRUE(run.out.contains(source + "docs/end.bin (Contents differ at byte 4,999)"));
    }
    // A comparison narrowed by a filter has its own memory: the whole selection is not
    // taken as verified by it.
    EXPECT_TRUE(Run("verify", {"--since-last", "--ext", "txt"}).out.contains("compared: 1"));
    // verify --repair copies what differs or is missing, keeping the replaced copies.
    run = Run("verify", {"--repair", "--keep-replaced"});
    EXPECT_EQ(run.status, 0) << run.out.toStdString();
    for (const char* name : {"docs/big.bin", "docs/end.bin", "docs/gone.txt"})
        EXPECT_TRUE(run.out.contains(source + name + " (repaired)")) << name;
    EXPECT_TRUE(run.out.contains("Number of files repaired: 3"));
    EXPECT_EQ(ReadAll(target + "docs/big.bin"), big);
    EXPECT_EQ(
        QDir(target + ".vantoro-replaced").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1)
        << "the damaged copies are kept";
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    run = Run("verify", {"--since-last"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.contains("Number of files compared: 3")) << "the repaired copies";
    run = Run("verify", {"--since-last"});
    EXPECT_TRUE(run.out.contains("Number of files compared: 0")) << run.out.toStdString();
    // A remembered time ahead of the clock is no earlier run.
    for (const QFileInfo& memory : QDir(dir.path() + "/state/vantoro").entryInfoList(QDir::Files)) {
        const QByteArray kept = ReadAll(memory.filePath());
        WriteFile(memory.filePath(), "9000000000000000000" + kept.mid(kept.indexOf('\n')));
    }
    EXPECT_TRUE(Run("verify", {"--since-last"}).out.contains("Number of files compared: 4"));
    EXPECT_EQ(Run("check", {"--since-last"}).status, 2);
    EXPECT_EQ(Run("check", {"--repair"}).status, 2);
}

TEST_F(ContentsTest, WhereChangeTimesCannotBeTrustedEveryFileIsCompared) {
    // A FUSE file system (sshfs among them) may show change times that follow the
    // modification time: a copy rewritten with its times put back would never be compared.
    const QString fuse = dir.path() + "/fuse/";
    QDir().mkpath(fuse);
    QProcess mount;
    mount.start("bindfs", {target, fuse});
    if (!mount.waitForFinished(20000) || mount.exitStatus() != QProcess::NormalExit ||
        mount.exitCode() != 0)
        GTEST_SKIP() << "bindfs is missing or cannot mount here";
    const auto unmount = qScopeGuard([&] { QProcess::execute("fusermount", {"-u", fuse}); });
    WriteFile(source + "docs/a.txt", "aaa");
    WriteFile(source + "docs/b.txt", "bbb");
    const QStringList onFuse = {"--source", source, "--target", fuse, "--all"};
    ASSERT_EQ(Cli(QStringList{"backup-all"} + onFuse).status, 0);
    ASSERT_EQ(Cli(QStringList{"verify"} + onFuse).status, 0);
    const CliRun run = Cli(QStringList{"verify", "--since-last"} + onFuse);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.contains("Number of files compared: 2")) << run.out.toStdString();
    EXPECT_EQ(run.err.count("every file is compared"), 1) << run.err.toStdString();
}

TEST_F(ContentsTest, AnInterruptedVerifyExitsWithItsSummary) {
    // Holes read fast but not instantly: the comparison is under way when the signal comes.
    for (const QString& root : {source, target}) {
        QFile file(root + "docs/huge.bin");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(64LL * 1024 * 1024 * 1024));
    }
    QProcess process;
    process.start(VANTORO_CLI, {"verify", "--source", source, "--target", target, "--all"});
    ASSERT_TRUE(process.waitForStarted());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 130);
    EXPECT_TRUE(process.readAllStandardOutput().contains("Number of files compared:"));
}

TEST_F(ContentsTest, ReplacedCopiesAreKeptGenerationByGeneration) {
    const QString file = source + "docs/letter.txt";
    for (const char* text : {"first", "second!", "third!!!", "fourth!!!!"}) {
        WriteFile(file, text);
        ASSERT_EQ(Run("backup-modified", {"--keep-replaced"}).status, 0);
    }
    EXPECT_EQ(ReadAll(target + "docs/letter.txt"), "fourth!!!!");
    QStringList kept;
    const QDir keep(target + ".vantoro-replaced");
    for (const QString& run : keep.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        kept.append(QString::fromUtf8(ReadAll(keep.filePath(run) + "/docs/letter.txt")));
    EXPECT_EQ(kept, QStringList({"first", "second!", "third!!!"}));
    const CliRun check = Run("check");
    EXPECT_FALSE(check.out.contains(".vantoro-replaced")) << "never part of a backup";
    EXPECT_EQ(Run("verify").status, 0);
}

TEST(KeepReplaced, ACancelledCopyKeepsNoExtraVersion) {
    QTemporaryDir dir;
    WriteFile(dir.filePath("source"), QByteArray(64, 'n'));
    WriteFile(dir.filePath("target"), "old");
    const QByteArray keep = QFile::encodeName(dir.filePath("kept"));
    CopyOutcome outcome = CopySingleFile(
        dir.filePath("source"), dir.filePath("target"), [] { return false; }, true, keep);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_FALSE(QFile::exists(dir.filePath("kept")));
    EXPECT_EQ(ReadAll(dir.filePath("target")), "old");
    outcome = CopySingleFile(dir.filePath("source"), dir.filePath("target"), {}, true, keep);
    EXPECT_TRUE(outcome.copied && outcome.kept);
    EXPECT_EQ(ReadAll(dir.filePath("kept")), "old");
    // Where the old copy cannot be kept, it is not replaced either.
    outcome = CopySingleFile(dir.filePath("source"), dir.filePath("target"), {}, true,
                             QFile::encodeName(dir.filePath("no/such/folder/kept")));
    EXPECT_TRUE(outcome.keepFailed);
    EXPECT_FALSE(outcome.copied);
}

// The history of a target, as the catalogue holds it and as history shows it.
TEST_F(ContentsTest, EveryBackupIsRecordedAndHistoryListsThemNewestFirst) {
    WriteFile(source + "docs/a.txt", "first a");
    WriteFile(source + "docs/b.txt", "b");
    ASSERT_EQ(Run("backup-modified").status, 0);
    WriteFile(source + "docs/a.txt", "second a!");
    ASSERT_EQ(Run("backup-modified", {"--keep-replaced"}).status, 0);
    // Neither a check nor a comparison copies anything: they leave no run.
    ASSERT_EQ(Run("check").status, 0);
    ASSERT_EQ(Run("verify").status, 0);
    Flip(target + "docs/b.txt", 0);
    ASSERT_EQ(Run("verify", {"--repair"}).status, 0);

    CatalogReader reader;
    ASSERT_TRUE(reader.Open(target)) << reader.Problem().toStdString();
    const std::vector<CatalogRun> runs = reader.Runs();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].operation, "verify --repair");
    EXPECT_EQ(runs[0].filesCopied, 1);
    EXPECT_EQ(runs[1].operation, "backup-modified");
    EXPECT_EQ(runs[1].filesCopied, 1);
    EXPECT_EQ(runs[2].filesCopied, 2);
    for (const CatalogRun& run : runs) {
        EXPECT_EQ(run.errors, 0);
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_GE(run.finishedMs, run.startedMs);
        EXPECT_EQ(run.setup, source + " -> " + target);
    }
    const std::vector<CatalogCopy> a = reader.CopiesOf("docs/a.txt");
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[0].run, runs[2].id);
    EXPECT_EQ(a[0].size, 7);
    EXPECT_TRUE(a[0].keptAs.isEmpty());
    EXPECT_EQ(a[1].size, 9);
    EXPECT_EQ(a[1].mtimeSeconds,
              QFileInfo(source + "docs/a.txt").lastModified().toSecsSinceEpoch());
    ASSERT_TRUE(a[1].keptAs.startsWith(".vantoro-replaced/")) << a[1].keptAs.toStdString();
    EXPECT_EQ(ReadAll(target + QFile::decodeName(a[1].keptAs)), "first a");
    EXPECT_EQ(reader.CopiesOf("docs/b.txt").size(), 2u) << "the repair is a copy";

    const CliRun history = Cli({"history", "--target", target});
    EXPECT_EQ(history.status, 0) << history.err.toStdString();
    const QStringList lines = history.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5) << history.out.toStdString();
    EXPECT_EQ(lines[0], "Backups recorded in " + target + ", newest first:");
    EXPECT_TRUE(lines[1].startsWith("Started ")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains(
        QRegularExpression(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d  verify --repair +1 +0  0$)")))
        << lines[2].toStdString();
    EXPECT_TRUE(lines[4].contains(QRegularExpression(R"(  backup-modified +2 +0  0$)")))
        << lines[4].toStdString();

    const CliRun json = Cli({"history", "--json", "--target", target});
    EXPECT_EQ(json.status, 0);
    const QJsonObject object = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(object["target"].toString(), target);
    const QJsonArray listed = object["runs"].toArray();
    ASSERT_EQ(listed.size(), 3);
    const QJsonObject newest = listed[0].toObject();
    EXPECT_EQ(newest["operation"].toString(), "verify --repair");
    EXPECT_EQ(newest["copied"].toInt(), 1);
    EXPECT_EQ(newest["errors"].toInt(), 0);
    EXPECT_EQ(newest["exitStatus"].toInt(-1), 0);
    EXPECT_EQ(QDateTime::fromString(newest["started"].toString(), Qt::ISODate).toMSecsSinceEpoch(),
              runs[0].startedMs / 1000 * 1000);
    EXPECT_EQ(listed[2].toObject()["copied"].toInt(), 2);

    // The catalogue is anybody's to write: its texts reach the terminal escaped, one run a line.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(target + ".vantoro/catalog.sqlite").constData(), &db),
              SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db,
                           "UPDATE runs SET operation = 'backup-all' || char(27) || '[2J' ||"
                           " char(10) || 'forged' WHERE id = 1",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    const CliRun planted = Cli({"history", "--target", target});
    EXPECT_EQ(planted.out.count('\n'), 5) << planted.out.toStdString();
    EXPECT_TRUE(planted.out.contains("backup-all\\x1b[2J\\nforged")) << planted.out.toStdString();

    // No catalogue, or no target given: nothing to list, and why.
    const CliRun none = Cli({"history", "--target", dir.path()});
    EXPECT_EQ(none.status, 2);
    EXPECT_TRUE(none.err.startsWith("vantoro-cli: no history can be shown: there is no catalogue"))
        << none.err.toStdString();
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(Cli({"history"}).status, 2);
}

// Whatever the run's fate, every copy the catalogue names is a complete file in the target.
TEST_F(ContentsTest, AKilledOrFailingRunLeavesAConsistentCatalogue) {
    for (int folder = 0; folder < 6; ++folder) {
        ASSERT_TRUE(QDir().mkpath(source + QString("d%1").arg(folder)));
        for (int file = 0; file < 800; ++file)
            WriteFile(source + QString("d%1/f%2").arg(folder).arg(file), QByteArray(200, 'x'));
    }
    const QStringList backup{"backup-modified", "--all", "--source", source, "--target", target};
    const CliRun killed = CliInChild(backup, {}, Captured, [](pid_t pid, int out) {
        // Killed once well over a batch of files has been named.
        QByteArray seen;
        char buffer[4096];
        for (ssize_t got;
             seen.count("(new)") < 2500 && (got = ::read(out, buffer, sizeof buffer)) > 0;)
            seen.append(buffer, got);
        ::kill(pid, SIGKILL);
    });
    ASSERT_EQ(killed.status, -SIGKILL);
    const auto expectConsistent = [&](qsizetype runs) {
        CatalogReader reader;
        ASSERT_TRUE(reader.Open(target)) << reader.Problem().toStdString();
        ASSERT_EQ(reader.Runs().size(), static_cast<size_t>(runs));
        for (int folder = 0; folder < 6; ++folder) {
            for (int file = 0; file < 800; ++file) {
                const QString path = QString("d%1/f%2").arg(folder).arg(file);
                for (const CatalogCopy& copy : reader.CopiesOf(QFile::encodeName(path)))
                    EXPECT_EQ(QFileInfo(target + path).size(), copy.size) << path.toStdString();
            }
        }
    };
    expectConsistent(1);
    {
        CatalogReader reader;
        ASSERT_TRUE(reader.Open(target));
        EXPECT_EQ(reader.LastRun()->exitStatus, -1);
        EXPECT_EQ(reader.LastRun()->finishedMs, 0);
    }
    EXPECT_TRUE(Cli({"history", "--target", target}).out.contains("did not finish"));

    // A copy that fails (past the file-size limit) has no row; the run counts its error.
    WriteFile(source + "big.bin", QByteArray(5 << 20, 'b'));
    const CliRun limited = CliInChild(backup, [] {
        const rlimit fileSize{4 << 20, 4 << 20};
        ::setrlimit(RLIMIT_FSIZE, &fileSize);
    });
    EXPECT_EQ(limited.status, 1) << limited.err.toStdString();
    expectConsistent(2);
    CatalogReader reader;
    ASSERT_TRUE(reader.Open(target));
    EXPECT_TRUE(reader.CopiesOf("big.bin").empty());
    EXPECT_EQ(reader.LastRun()->errors, 1);
    EXPECT_EQ(reader.LastRun()->exitStatus, 1);
    EXPECT_EQ(reader.CopiesOf("d5/f799").size(), 1u)
        << "the run copied what the killed one had not";
}

// The program's own folders in the target are never mixed with the source's entries.
TEST_F(ContentsTest, SourceEntriesNamedLikeTheProgramsOwnFoldersAreLeftBehind) {
    ASSERT_EQ(LoadProgramText("vnt.dat", VANTORO_DATA_DIR), QString());
    ASSERT_TRUE(QDir().mkpath(source + ".vantoro"));
    WriteFile(source + ".vantoro/catalog.sqlite", "the source's own file");
    WriteFile(source + ".vantoro-replaced", "a file of that name");
    WriteFile(source + "docs/.vantoro", "deeper down it is a name like any other");
    for (const char* command : {"check", "backup-all"}) {
        const CliRun run = Run(command);
        EXPECT_EQ(run.status, 1) << command;
        for (const QString& path : {source + ".vantoro/", source + ".vantoro-replaced"})
            EXPECT_TRUE(run.out.contains("      " + ProgramText(79) + " " + path + "  " +
                                         OwnFolderNameText() + "\n"))
                << command << run.out.toStdString();
    }
    EXPECT_TRUE(
        Run("backup-all").out.contains("Number of errors when attempting to copy a file: 2\n"));
    EXPECT_EQ(ReadAll(target + "docs/.vantoro"), "deeper down it is a name like any other");
    EXPECT_FALSE(QFileInfo::exists(target + ".vantoro-replaced"));
    EXPECT_EQ(QDir(target + ".vantoro").entryList(QDir::Files), QStringList{"catalog.sqlite"});
    CatalogReader reader;
    ASSERT_TRUE(reader.Open(target)) << reader.Problem().toStdString();
    EXPECT_EQ(reader.Runs().at(0).errors, 2);
    EXPECT_EQ(reader.Runs().at(0).filesCopied, 1);
}

} // namespace
} // namespace vnt::test
