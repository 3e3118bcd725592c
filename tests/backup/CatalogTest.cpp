// The backup's history in the target: what the writer records, what the reader gives back,
// and catalogues that must not be trusted.

#include "backup/Catalog.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <random>
#include <sqlite3.h>
#include <unistd.h>

namespace vnt::test {
namespace {

class CatalogTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString target = dir.path() + "/dst/";
    QString database = target + ".vantoro/catalog.sqlite";

    void SetUp() override { ASSERT_TRUE(QDir().mkpath(target)); }

    // A run with copies through the writer; ended unless told otherwise.
    void Record(qint64 started, const QString& operation, int copies, bool end = true) {
        CatalogWriter writer;
        ASSERT_TRUE(writer.Open(target)) << writer.Problem().toStdString();
        writer.BeginRun(started, operation, "/src/ -> " + target);
        for (int i = 0; i < copies; ++i)
            writer.AddCopy("docs/f" + QByteArray::number(i), i, 1'700'000'000 + i,
                           i == 0 ? ".vantoro-replaced/2024-01-01_000000/docs/f0" : QByteArray());
        if (end)
            writer.EndRun(started + 5000, copies, 1, 1);
        EXPECT_TRUE(writer.Problem().isEmpty()) << writer.Problem().toStdString();
    }

    // Runs SQL straight on the database, as a hostile or foreign program would.
    void Sql(const QString& path, const char* sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &error), SQLITE_OK) << error;
        sqlite3_free(error);
        sqlite3_close(db);
    }

    // The writer leaves a catalogue it cannot use as it found it, and says why; the reader
    // calls it unusable.
    void ExpectRefused(const char* why) {
        const QByteArray before = ReadAll(database);
        {
            CatalogWriter writer;
            EXPECT_FALSE(writer.Open(target));
            writer.BeginRun(1, "backup-all", "x");
            writer.AddCopy("a", 1, 1, {});
            writer.EndRun(2, 1, 0, 0);
            EXPECT_TRUE(writer.Problem().contains(why)) << writer.Problem().toStdString();
        }
        EXPECT_EQ(ReadAll(database), before) << "left alone";
        CatalogReader reader;
        EXPECT_FALSE(reader.Open(target));
        EXPECT_FALSE(reader.Missing());
        EXPECT_TRUE(reader.Problem().contains("is unusable: ")) << reader.Problem().toStdString();
        EXPECT_TRUE(reader.Problem().contains(why)) << reader.Problem().toStdString();
        EXPECT_TRUE(reader.Runs().empty());
    }
};

TEST(CatalogPaths, OnlyPlainRelativePathsAreSafe) {
    for (const char* safe : {"a", "a/b.txt", "..a/b..", ".hidden/x", "a/.../b"})
        EXPECT_TRUE(IsSafeRelativePath(safe)) << safe;
    for (const QByteArray& unsafe : {QByteArray(), QByteArray("/etc/passwd"), QByteArray("../x"),
                                     QByteArray("a/../../x"), QByteArray("a/.."), QByteArray("./a"),
                                     QByteArray("a//b"), QByteArray("a/"), QByteArray("a\0b", 3)})
        EXPECT_FALSE(IsSafeRelativePath(unsafe)) << unsafe.toStdString();
}

TEST_F(CatalogTest, RunsAndCopiesComeBackAsRecorded) {
    Record(1'000, "backup-all", 2'500);
    Record(2'000, "backup-modified", 1);
    CatalogReader reader;
    ASSERT_TRUE(reader.Open(target)) << reader.Problem().toStdString();
    const std::vector<CatalogRun> runs = reader.Runs();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].operation, "backup-modified") << "newest first";
    EXPECT_EQ(runs[1].operation, "backup-all");
    EXPECT_EQ(runs[1].startedMs, 1'000);
    EXPECT_EQ(runs[1].finishedMs, 6'000);
    EXPECT_EQ(runs[1].filesCopied, 2'500);
    EXPECT_EQ(runs[1].errors, 1);
    EXPECT_EQ(runs[1].exitStatus, 1);
    EXPECT_EQ(runs[1].setup, "/src/ -> " + target);
    EXPECT_EQ(reader.LastRun()->id, runs[0].id);

    const std::vector<CatalogCopy> copies = reader.CopiesOf("docs/f0");
    ASSERT_EQ(copies.size(), 2u) << "one a run";
    EXPECT_EQ(copies[0].run, runs[1].id);
    EXPECT_EQ(copies[0].keptAs, ".vantoro-replaced/2024-01-01_000000/docs/f0");
    EXPECT_EQ(reader.CopiesOf("docs/f2499").at(0).size, 2'499);
    EXPECT_EQ(reader.CopiesOf("docs/f2499").at(0).mtimeSeconds, 1'700'002'499);
    EXPECT_TRUE(reader.CopiesOf("docs/f2500").empty());
    const QHash<QByteArray, qint64> first = reader.FirstCopies();
    EXPECT_EQ(first.size(), 2'500) << "a path once, however many runs copied it";
    EXPECT_EQ(first.value("docs/f0"), copies[0].copiedMs);
    EXPECT_FALSE(first.contains("docs/none"));
    EXPECT_EQ(reader.UnsafeRows(), 0);
}

// Catalogues written before the copies' modes were kept are read as they are, and gain the
// column when a backup next writes to them.
TEST_F(CatalogTest, ACatalogueWithoutModesIsReadAndGainsThem) {
    Record(1'000, "backup-all", 2);
    Sql(database, "ALTER TABLE copies DROP COLUMN mode; PRAGMA user_version = 1");
    {
        CatalogReader reader;
        ASSERT_TRUE(reader.Open(target)) << reader.Problem().toStdString();
        EXPECT_EQ(reader.CopiesOf("docs/f1").size(), 1u);
        EXPECT_TRUE(reader.LatestModes().isEmpty());
    }
    CatalogWriter writer;
    ASSERT_TRUE(writer.Open(target)) << writer.Problem().toStdString();
    writer.BeginRun(2'000, "backup-modified", "x");
    writer.AddCopy("docs/f1", 1, 1, {}, 0600);
    writer.AddCopy("docs/f1", 1, 1, {}, 0640); // the latest counts
    writer.AddCopy("docs/f10", 1, 1, {}, 0600);
    writer.EndRun(3'000, 2, 0, 0);
    CatalogReader reader;
    ASSERT_TRUE(reader.Open(target)) << reader.Problem().toStdString();
    const QHash<QByteArray, int> modes = reader.LatestModes();
    EXPECT_EQ(modes.value("docs/f1", -1), 0640);
    EXPECT_FALSE(modes.contains("docs/f0")) << "no mode was recorded for it";
    // Asked for one path: that path, and what lies below it, not a name that begins alike.
    EXPECT_EQ(reader.LatestModes({"docs/f1"}).keys(), QList<QByteArray>{"docs/f1"});
    EXPECT_EQ(reader.LatestModes({"docs"}).size(), 2);
    EXPECT_EQ(reader.Runs().size(), 2u);
}

TEST_F(CatalogTest, ARunThatDiesKeepsItsCommittedBatches) {
    // The writer is gone without its end: what was committed stays, the rest never was.
    Record(1'000, "backup-all", CatalogWriter::BatchRows + 10, false);
    CatalogReader reader;
    ASSERT_TRUE(reader.Open(target)) << reader.Problem().toStdString();
    const std::vector<CatalogRun> runs = reader.Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].finishedMs, 0);
    EXPECT_EQ(runs[0].exitStatus, -1);
    EXPECT_EQ(reader.CopiesOf("docs/f999").size(), 1u);
    EXPECT_TRUE(reader.CopiesOf("docs/f1000").empty());
    // The next run writes on.
    Record(2'000, "backup-modified", 1);
    CatalogReader again;
    ASSERT_TRUE(again.Open(target));
    EXPECT_EQ(again.Runs().size(), 2u);
}

TEST(CatalogRuns, ARunsResultInWordsFollowsItsExitStatus) {
    const std::pair<int, const char*> statuses[] = {
        {0, "finished"},      {1, "finished with errors"}, {2, "nothing done"},
        {130, "interrupted"}, {77, "not finished"},        {-1, "not finished"}};
    for (const auto& [status, text] : statuses)
        EXPECT_EQ(RunResultText({1, 1'000, 2'000, "backup-all", "", 0, 0, status}), text);
    EXPECT_EQ(RunResultText({1, 1'000, 0, "backup-all", "", 0, 0, 0}), "not finished")
        << "no end, whatever the status says";
}

TEST_F(CatalogTest, NoCatalogueIsMissingNotUnusable) {
    CatalogReader reader;
    EXPECT_FALSE(reader.Open(target));
    EXPECT_TRUE(reader.Missing());
    EXPECT_TRUE(reader.Problem().startsWith("there is no catalogue in " + target));
    EXPECT_FALSE(QFile::exists(target + ".vantoro")) << "reading makes nothing";
}

TEST_F(CatalogTest, DamagedForeignAndNewerCataloguesAreNeverTrusted) {
    Record(1'000, "backup-all", 3'000);
    const QByteArray whole = ReadAll(database);
    ASSERT_GT(whole.size(), 16 * 4096);
    // Cut short: the pages of the copies are gone.
    WriteFile(database, whole.left(3 * 4096));
    ExpectRefused("is unusable: ");

    // Random bytes.
    std::mt19937 random(24);
    QByteArray noise(whole.size(), '\0');
    for (char& byte : noise)
        byte = static_cast<char>(random());
    WriteFile(database, noise);
    ExpectRefused("file is not a database");

    // Somebody else's database.
    ASSERT_TRUE(QFile::remove(database));
    Sql(database, "CREATE TABLE notes(text); INSERT INTO notes VALUES('mine')");
    ExpectRefused("it is not a catalogue of this program");

    // Ours, from a newer version of the program.
    ASSERT_TRUE(QFile::remove(database));
    Record(1'000, "backup-all", 1);
    Sql(database, "PRAGMA user_version = 99");
    ExpectRefused("newer version of the program (version 99)");

    // Ours with something planted in it: nothing there runs, not even to be refused. The
    // trigger would never end; the view would never end being read.
    for (const char* planted :
         {"CREATE TRIGGER forever AFTER INSERT ON copies BEGIN SELECT count(*) FROM (WITH"
          " RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT x FROM c); END",
          "CREATE VIEW forever AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c)"
          " SELECT x FROM c",
          "CREATE INDEX by_path ON copies(path)", "ALTER TABLE runs ADD COLUMN note TEXT"}) {
        ASSERT_TRUE(QFile::remove(database));
        Record(1'000, "backup-all", 1);
        Sql(database, planted);
        ExpectRefused("its tables are not the ones this program makes");
    }
}

TEST_F(CatalogTest, PathsFromTheCatalogueAreDataToCheck) {
    Record(1'000, "backup-all", 1);
    Sql(database, "INSERT INTO copies(run, path, size, mtime, copied, kept) VALUES"
                  " (1, CAST('../x' AS BLOB), 1, 1, 1, NULL),"
                  " (1, CAST('/etc/passwd' AS BLOB), 1, 1, 1, NULL),"
                  " (1, CAST('docs/f0' AS BLOB), 1, 1, 2, CAST('../../etc/passwd' AS BLOB)),"
                  " (1, CAST('docs/f0' AS BLOB), 1, 1, 3, CAST('/etc/shadow' AS BLOB))");
    CatalogReader reader;
    ASSERT_TRUE(reader.Open(target)) << reader.Problem().toStdString();
    EXPECT_TRUE(reader.CopiesOf("../x").empty());
    EXPECT_TRUE(reader.CopiesOf("/etc/passwd").empty());
    const std::vector<CatalogCopy> copies = reader.CopiesOf("docs/f0");
    ASSERT_EQ(copies.size(), 1u) << "only the row the writer made";
    EXPECT_EQ(copies[0].keptAs, ".vantoro-replaced/2024-01-01_000000/docs/f0");
    EXPECT_EQ(reader.UnsafeRows(), 4);
    const QHash<QByteArray, qint64> first = reader.FirstCopies();
    EXPECT_FALSE(first.contains("../x") || first.contains("/etc/passwd"));
    EXPECT_TRUE(first.contains("docs/f0"));
}

TEST_F(CatalogTest, ALinkInThePlaceOfTheCatalogueLeadsNoWriteOutOfTheTarget) {
    const QString elsewhere = dir.path() + "/elsewhere/";
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    ASSERT_EQ(::symlink(QFile::encodeName(elsewhere).constData(),
                        QFile::encodeName(target + ".vantoro").constData()),
              0);
    {
        CatalogWriter writer;
        EXPECT_FALSE(writer.Open(target));
        writer.BeginRun(1, "backup-all", "x");
        writer.AddCopy("a", 1, 1, {});
        writer.EndRun(2, 1, 0, 0);
        EXPECT_EQ(writer.Problem(), target + ".vantoro is a link, not the program's own folder");
    }
    EXPECT_TRUE(QDir(elsewhere).isEmpty());
    CatalogReader reader;
    EXPECT_FALSE(reader.Open(target));
    EXPECT_TRUE(reader.Problem().contains("is a link")) << reader.Problem().toStdString();

    // A link planted where SQLite keeps its log would take its writes elsewhere.
    ASSERT_TRUE(QFile::remove(target + ".vantoro"));
    Record(1'000, "backup-all", 1);
    WriteFile(elsewhere + "precious", "precious");
    ASSERT_EQ(::symlink(QFile::encodeName(elsewhere + "precious").constData(),
                        QFile::encodeName(database + "-wal").constData()),
              0);
    ExpectRefused("catalog.sqlite-wal is not a plain file");
    EXPECT_EQ(ReadAll(elsewhere + "precious"), "precious");

    // Hard links: one planted as the log gets its own copy before a backup writes, and a
    // snapshot of the target made of links keeps the catalogue it had.
    ASSERT_EQ(::unlink(QFile::encodeName(database + "-wal").constData()), 0);
    ASSERT_EQ(::link(QFile::encodeName(elsewhere + "precious").constData(),
                     QFile::encodeName(database + "-wal").constData()),
              0);
    ASSERT_EQ(::link(QFile::encodeName(database).constData(),
                     QFile::encodeName(elsewhere + "snapshot.sqlite").constData()),
              0);
    const QByteArray snapshot = ReadAll(database);
    {
        // A reader, which SQLite may let write to the log, takes none linked elsewhere.
        CatalogReader linked;
        EXPECT_FALSE(linked.Open(target));
        EXPECT_TRUE(linked.Problem().contains("catalog.sqlite-wal has another name as well"))
            << linked.Problem().toStdString();
    }
    Record(2'000, "backup-modified", 2);
    EXPECT_EQ(ReadAll(elsewhere + "precious"), "precious");
    EXPECT_EQ(ReadAll(elsewhere + "snapshot.sqlite"), snapshot);
    CatalogReader after;
    ASSERT_TRUE(after.Open(target)) << after.Problem().toStdString();
    EXPECT_EQ(after.Runs().size(), 2u);

    // And a file in the place of the folder.
    ASSERT_TRUE(QDir(target + ".vantoro").removeRecursively());
    WriteFile(target + ".vantoro", "not a folder");
    CatalogWriter writer;
    EXPECT_FALSE(writer.Open(target));
    EXPECT_EQ(writer.Problem(), target + ".vantoro is not a folder");
    EXPECT_EQ(ReadAll(target + ".vantoro"), "not a folder");
}

} // namespace
} // namespace vnt::test
