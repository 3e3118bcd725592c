// Getting files back: versions and restore, run as a person would, and the restore's engine
// with a history of its own.
#include "backup/Restore.h"

#include "backup/KeptVersions.h"
#include "CliRun.h"
#include "RecordingHost.h"
#include "report/StrProc.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <map>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace vnt::test {
namespace {

QStringList FilesIn(const QString& root) {
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next().mid(root.size()));
    files.sort();
    return files;
}

class RestoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString source = dir.path() + "/src/";
    QString target = dir.path() + "/dst/";
    QString outside = dir.path() + "/outside/";

    static void SetUpTestSuite() {
        ASSERT_EQ(LoadProgramText("vnt.dat", VANTORO_DATA_DIR), QString());
    }
    void SetUp() override {
        for (const QString& folder : {source + "docs", source + "photos", target, outside})
            ASSERT_TRUE(QDir().mkpath(folder));
        WriteFile(source + "docs/letter.txt", "v1");
        WriteFile(source + "docs/notes.txt", "notes");
        WriteFile(source + "photos/p.jpg", "jpeg");
        WriteFile(source + "top.txt", "top");
        WriteFile(outside + "secret.txt", "secret");
    }
    CliRun Restore(const QStringList& more) {
        return Cli(QStringList{"restore", "--source", source, "--target", target} + more);
    }
    CliRun Backup() {
        return Cli({"backup-modified", "--source", source, "--target", target, "--keep-replaced"});
    }
};

TEST_F(RestoreTest, APersonsDay) {
    const auto mode = [](const QString& path) {
        return static_cast<int>(QFileInfo(path).permissions() &
                                (QFile::ReadOther | QFile::ReadGroup | QFile::WriteOwner));
    };
    // Private at first, shared later: each version comes back as it was.
    ASSERT_TRUE(QFile::setPermissions(source + "docs/letter.txt",
                                      QFile::ReadOwner | QFile::WriteOwner));
    ASSERT_EQ(Backup().status, 0);
    // Every later run starts at this second or after it.
    const QString afterFirstRun = QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss");
    WriteFile(source + "docs/letter.txt", "version 2");
    ASSERT_TRUE(QFile::setPermissions(source + "docs/letter.txt",
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                          QFile::ReadOther));
    ASSERT_TRUE(QFile::remove(source + "docs/notes.txt"));
    ASSERT_EQ(Backup().status, 0);
    WriteFile(source + "docs/letter.txt", "the third version");
    ASSERT_EQ(Backup().status, 0);

    const CliRun versions = Cli({"versions", "--target", target, "docs/letter.txt"});
    ASSERT_EQ(versions.status, 0) << versions.err.toStdString();
    const QStringList lines = versions.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << versions.out.toStdString();
    EXPECT_EQ(lines[0], "Versions of docs/letter.txt in " + target + ", newest first:");
    EXPECT_TRUE(lines[1].contains("in the backup now") && lines[1].contains(" 17 bytes") &&
                lines[1].endsWith(target + "docs/letter.txt"))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains("replaced ") && lines[2].contains(" 9 bytes")) << "newest first";
    EXPECT_TRUE(lines[3].contains(" 2 bytes") && lines[3].contains("/.vantoro-replaced/") &&
                lines[3].endsWith("/docs/letter.txt"));
    const CliRun none = Cli({"versions", "--target", target, "docs/never.txt"});
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(none.err.contains("holds no copy of docs/never.txt"));

    // The deleted file comes back with its copy's time, so the next backup has nothing to do.
    const CliRun back = Restore({"docs/notes.txt"});
    EXPECT_EQ(back.status, 0) << back.out.toStdString() << back.err.toStdString();
    EXPECT_EQ(ReadAll(source + "docs/notes.txt"), "notes");
    EXPECT_EQ(QFileInfo(source + "docs/notes.txt").lastModified(),
              QFileInfo(target + "docs/notes.txt").lastModified());
    EXPECT_TRUE(back.out.contains(source + "docs/notes.txt (restored)")) << back.out.toStdString();
    const CliRun after = Backup();
    EXPECT_TRUE(after.out.contains("Number of files copied: 0\n")) << after.out.toStdString();
    EXPECT_EQ(Restore({}).status, 0) << "all the same: nothing left behind";

    // One file as of the first run: the version the second run replaced.
    const CliRun asOf = Restore({"--as-of", afterFirstRun, "--overwrite", "docs/letter.txt"});
    EXPECT_EQ(asOf.status, 0) << asOf.out.toStdString() << asOf.err.toStdString();
    EXPECT_EQ(ReadAll(source + "docs/letter.txt"), "v1");
    EXPECT_EQ(mode(source + "docs/letter.txt"), static_cast<int>(QFile::WriteOwner))
        << "private, as it was then";
    EXPECT_TRUE(asOf.out.contains("Number of files restored: 1\n"));
    const QStringList aside = FilesIn(source + ".vantoro-before-restore/");
    ASSERT_EQ(aside.size(), 1);
    EXPECT_TRUE(aside[0].endsWith("/docs/letter.txt"));
    EXPECT_EQ(ReadAll(source + ".vantoro-before-restore/" + aside[0]), "the third version");

    // A folder into another place, as the backup holds it now; nothing else comes along.
    const QString elsewhere = dir.path() + "/elsewhere/";
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    const CliRun folder = Restore({"--into", elsewhere, "docs/"});
    EXPECT_EQ(folder.status, 0) << folder.err.toStdString();
    EXPECT_EQ(FilesIn(elsewhere), QStringList({"docs/letter.txt", "docs/notes.txt"}));

    // As of a time before any backup, the history says no file was there yet.
    const QString before = dir.path() + "/before/";
    ASSERT_TRUE(QDir().mkpath(before));
    const CliRun early = Restore({"--as-of", "2000-01-01 00:00", "--into", before, "photos/"});
    EXPECT_EQ(early.status, 0) << early.out.toStdString() << early.err.toStdString();
    EXPECT_TRUE(early.out.contains("photos/p.jpg (not in the backup yet at that time)"))
        << early.out.toStdString();
    EXPECT_EQ(FilesIn(before), QStringList());
    EXPECT_EQ(ReadAll(elsewhere + "docs/letter.txt"), "the third version");
    EXPECT_EQ(mode(elsewhere + "docs/letter.txt"),
              static_cast<int>(QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    EXPECT_EQ(QFileInfo(elsewhere + "docs/letter.txt").lastModified(),
              QFileInfo(target + "docs/letter.txt").lastModified());
}

TEST_F(RestoreTest, AFileThatDiffersIsReplacedOnlyWhenAskedAndKeptAside) {
    ASSERT_EQ(Backup().status, 0);
    WriteFile(source + "docs/letter.txt", "my edit");
    // The same contents at another time: left alone, its time too.
    SetLastWriteUtc(source + "top.txt", 2001, 2, 3, 4, 5, 6);
    const QDateTime topTime = QFileInfo(source + "top.txt").lastModified();

    const CliRun refused = Restore({});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(ReadAll(source + "docs/letter.txt"), "my edit");
    EXPECT_TRUE(refused.out.contains("Error accessing " + source +
                                     "docs/letter.txt  It differs "
                                     "from its copy in the backup, and replacing it was not "
                                     "asked for."))
        << refused.out.toStdString();
    EXPECT_TRUE(refused.out.contains("Number of files already the same: 3\n"));
    EXPECT_TRUE(refused.out.contains("Number of files left behind: 1\n"));
    EXPECT_EQ(QFileInfo(source + "top.txt").lastModified(), topTime);

    const CliRun replaced = Restore({"--overwrite"});
    EXPECT_EQ(replaced.status, 0) << replaced.out.toStdString();
    EXPECT_EQ(ReadAll(source + "docs/letter.txt"), "v1");
    EXPECT_TRUE(replaced.out.contains("Number of replaced files kept aside: 1\n"));
    const QStringList aside = FilesIn(source + ".vantoro-before-restore/");
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(ReadAll(source + ".vantoro-before-restore/" + aside[0]), "my edit");
    EXPECT_TRUE(replaced.out.contains("kept as " + source + ".vantoro-before-restore/" + aside[0]));
    EXPECT_EQ(QFileInfo(source + "top.txt").lastModified(), topTime);
}

TEST_F(RestoreTest, LinksPlantedInTheTargetAreNeverFollowed) {
    ASSERT_EQ(Backup().status, 0);
    ASSERT_TRUE(QFile::link(outside + "secret.txt", target + "docs/planted.txt"));
    ASSERT_TRUE(QFile::link(outside, target + "evil"));
    // A kept version that is a link, and a run's folder that is one.
    const QString run = target + ".vantoro-replaced/2000-01-01_000000/";
    ASSERT_TRUE(QDir().mkpath(run + "docs"));
    ASSERT_TRUE(QFile::link(outside + "secret.txt", run + "docs/letter.txt"));
    ASSERT_TRUE(QFile::link(outside, target + ".vantoro-replaced/2000-01-01_000001"));
    WriteFile(outside + "notes.txt", "outside notes");
    const QString before = TreeSnapshot(outside);

    const QString into = dir.path() + "/into/";
    ASSERT_TRUE(QDir().mkpath(into));
    const CliRun now = Restore({"--into", into});
    EXPECT_EQ(now.status, 1);
    EXPECT_EQ(FilesIn(into),
              QStringList({"docs/letter.txt", "docs/notes.txt", "photos/p.jpg", "top.txt"}));
    EXPECT_TRUE(now.out.contains("Error accessing " + into +
                                 "docs/planted.txt  Its copy in the "
                                 "backup is a link"))
        << now.out.toStdString();
    EXPECT_TRUE(now.out.contains("Error accessing " + target +
                                 "evil  A link in the backup is "
                                 "never followed"));

    const QString then = dir.path() + "/then/";
    ASSERT_TRUE(QDir().mkpath(then));
    // From the files alone, without the history, every copy counts as there at that time.
    ASSERT_TRUE(QDir(target + ".vantoro").removeRecursively());
    const CliRun old = Restore({"--into", then, "--as-of", "1999-12-31 00:00", "docs"});
    EXPECT_EQ(old.status, 1);
    EXPECT_EQ(FilesIn(then), QStringList({"docs/notes.txt"})) << old.out.toStdString();
    EXPECT_TRUE(old.out.contains("Error accessing " + then + "docs/letter.txt"));
    EXPECT_EQ(ReadAll(then + "docs/notes.txt"), "notes") << "not the run's folder's link";
    const CliRun versions = Cli({"versions", "--target", target, "docs/notes.txt"});
    EXPECT_EQ(versions.out.count('\n'), 2) << versions.out.toStdString();
    EXPECT_EQ(TreeSnapshot(outside), before);
}

TEST_F(RestoreTest, LinksPlantedInTheDestinationAreNeitherFollowedNorReplaced) {
    ASSERT_EQ(Backup().status, 0);
    const QString into = dir.path() + "/into/";
    ASSERT_TRUE(QDir().mkpath(into + "docs"));
    ASSERT_TRUE(QFile::link(outside + "secret.txt", into + "docs/letter.txt"));
    ASSERT_TRUE(QFile::link(outside, into + "photos"));
    const QString before = TreeSnapshot(outside);

    const CliRun run = Restore({"--into", into, "--overwrite"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.contains("Error accessing " + into +
                                 "docs/letter.txt  A link stands in "
                                 "its place"))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("Error accessing " + into +
                                 "photos/p.jpg  A link or a file "
                                 "stands in the place of its folder"));
    EXPECT_TRUE(run.out.contains("Number of files left behind: 2\n"));
    EXPECT_TRUE(QFileInfo(into + "docs/letter.txt").isSymLink());
    EXPECT_EQ(ReadAll(into + "docs/notes.txt"), "notes");
    EXPECT_EQ(TreeSnapshot(outside), before);
}

TEST_F(RestoreTest, RefusedBeforeAnythingIsDone) {
    ASSERT_EQ(Backup().status, 0);
    const QString before = TreeSnapshot(dir.path());
    const struct {
        QStringList arguments;
        const char* says;
    } refusals[] = {
        {{"--into", target + "docs"}, "lies in the backup's target folder"},
        {{"--into", target}, "lies in the backup's target folder"},
        {{"../etc/passwd"}, "relative to the source folder, without \"..\": ../etc/passwd"},
        {{"docs/../../x"}, "without \"..\""},
        {{"/etc/passwd"}, "relative to the source folder"},
        {{"--as-of", "yesterday"}, "--as-of takes a local date and time"},
        {{"--into", dir.path() + "/missing"}, "does not exist: make it first"},
        {{"--json"}, "--json goes with"},
    };
    for (const auto& refusal : refusals) {
        const CliRun run = Restore(refusal.arguments);
        EXPECT_EQ(run.status, 2) << refusal.says;
        EXPECT_TRUE(run.err.contains(refusal.says)) << run.err.toStdString();
        EXPECT_EQ(run.out, "");
    }
    const CliRun misplaced =
        Cli({"backup-all", "--source", source, "--target", target, "--into", dir.path()});
    EXPECT_EQ(misplaced.status, 2);
    EXPECT_TRUE(misplaced.err.contains("--into, --as-of and --overwrite go with restore"));
    EXPECT_EQ(Cli({"versions", "docs/letter.txt"}).status, 2) << "no target";
    EXPECT_EQ(Cli({"versions", "--target", target, "../x"}).status, 2);
    EXPECT_EQ(TreeSnapshot(dir.path()), before);
}

TEST_F(RestoreTest, CtrlCStopsWithTheTotalsAndOnlyCompleteFiles) {
    ASSERT_TRUE(QDir().mkpath(source + "many"));
    for (int i = 0; i < 1000; ++i)
        WriteFile(source + "many/" + QString::number(i) + ".txt", QByteArray::number(i));
    ASSERT_EQ(Backup().status, 0);
    const QString into = dir.path() + "/into/";
    ASSERT_TRUE(QDir().mkpath(into));
    const CliRun stopped =
        CliInChild({"restore", "--source", source, "--target", target, "--into", into}, {},
                   Captured, [](pid_t pid, int out) {
                       char first = 0;
                       ASSERT_EQ(::read(out, &first, 1), 1);
                       ::kill(pid, SIGINT);
                   });
    EXPECT_EQ(stopped.status, 130) << stopped.err.toStdString();
    EXPECT_TRUE(stopped.out.contains(ProgramText(49)));
    const QStringList restored = FilesIn(into);
    EXPECT_LT(restored.size(), 1004);
    EXPECT_TRUE(stopped.out.contains(QString("Number of files restored: %1\n")
                                         .arg(FormatCount(static_cast<qint64>(restored.size())))))
        << stopped.out.right(300).toStdString();
    for (const QString& name : restored)
        EXPECT_EQ(ReadAll(into + name), ReadAll(source + name)) << name.toStdString();
}

// A history that knows when some paths were first copied.
class FakeHistory : public RestoreHistory {
public:
    std::map<QByteArray, QDateTime> first;
    std::optional<QDateTime> FirstCopied(const QByteArray& relativePath) const override {
        const auto found = first.find(relativePath);
        return found == first.end() ? std::nullopt : std::make_optional(found->second);
    }
};

TEST(RestoreAsOf, TheFirstVersionReplacedAfterTheTimeAndTheHistorysFirstCopies) {
    ASSERT_EQ(LoadProgramText("vnt.dat", VANTORO_DATA_DIR), QString());
    QTemporaryDir dir;
    const QString target = dir.path() + "/t/";
    const QString kept = target + ".vantoro-replaced/";
    ASSERT_TRUE(QDir().mkpath(target));
    WriteFile(target + "a.txt", "a now");
    WriteFile(target + "b.txt", "b now");
    WriteFile(target + "c.txt", "c now");
    for (const auto& [run, file, text] : {std::tuple{"2030-01-01_100000", "a.txt", "a1"},
                                          {"2030-01-01_100000-2", "a.txt", "a2"},
                                          {"2030-01-02_090000", "a.txt", "a3"},
                                          {"2030-01-02_090000", "b.txt", "b3"},
                                          {"not a run", "a.txt", "junk"},
                                          {"2030-13-45_999999", "a.txt", "junk"}}) {
        ASSERT_TRUE(QDir().mkpath(kept + run));
        WriteFile(kept + run + "/" + file, text);
    }
    FolderHandle root(target);
    KeptRuns runs(root);
    QStringList names;
    for (const KeptRun& run : runs.Runs())
        names.append(run.folderName);
    EXPECT_EQ(names,
              QStringList({"2030-01-01_100000", "2030-01-01_100000-2", "2030-01-02_090000"}));

    FakeHistory history;
    history.first["a.txt"] = *ParseAsOf("2029-06-01 12:00");
    history.first["c.txt"] = *ParseAsOf("2030-01-03 08:00");
    const auto restore = [&](const char* asOf) {
        const QString into = dir.path() + "/" + QString(asOf).replace(' ', '_') + "/";
        EXPECT_TRUE(QDir().mkpath(into));
        RestoreRequest request;
        request.setup.sourceFolder = dir.path() + "/s/";
        request.setup.targetFolder = target;
        request.wholeBackup = true;
        request.destination = into;
        request.asOf = ParseAsOf(asOf);
        request.history = &history;
        RecordingHost host;
        const RestoreOutcome outcome = RunRestore(request, host, {});
        EXPECT_EQ(outcome.refused, "");
        return std::pair{outcome.totals, ReadAll(into + "a.txt") + ' ' + ReadAll(into + "b.txt") +
                                             ' ' + ReadAll(into + "c.txt")};
    };
    const auto [early, earlyFiles] = restore("2030-01-01 10:00");
    EXPECT_EQ(earlyFiles, "a1 b3 <missing>") << "c was first copied later; b has no row";
    EXPECT_EQ(early.notYet, 1);
    EXPECT_EQ(early.restored, 2);
    EXPECT_EQ(restore("2030-01-01 10:00:01").second, "a3 b3 <missing>");
    EXPECT_EQ(restore("2030-01-03 09:00").second, "a now b now c now");

    EXPECT_EQ(ParseAsOf("2030-01-01"), std::nullopt);
    EXPECT_EQ(ParseAsOf("2030-02-30 10:00"), std::nullopt);
    EXPECT_EQ(RelativeRestorePath("./docs//a/"), "docs/a");
    EXPECT_EQ(RelativeRestorePath("docs/../x"), "");
    EXPECT_EQ(RelativeRestorePath("/docs"), "");
    EXPECT_EQ(RelativeRestorePath("."), "");
}

TEST(RestoreDocuments, HelpManualPageAndReadmeSayHowToGetFilesBack) {
    const CliRun help = Cli({"--help"});
    const QString block = help.out.section("Getting files back:\n", 1).section("\n\n", 0, 0);
    EXPECT_TRUE(block.contains("  versions ") && block.contains("  restore "))
        << block.toStdString();
    const QString page = QString::fromUtf8(ReadAll(VANTORO_MAN_PAGE)).replace("\\-", "-");
    const QString readme = QString::fromUtf8(ReadAll(VANTORO_README));
    for (const char* said : {".B versions\n", ".B restore\n", ".BI --into", ".BI --as-of",
                             ".B --overwrite", "DEST/.vantoro-before-restore/"})
        EXPECT_TRUE(page.contains(QString::fromUtf8(said))) << said;
    for (const char* said : {"vantoro-cli versions ", "vantoro-cli restore ", "`--into DIR`",
                             "`--as-of", "`--overwrite`", "DEST/.vantoro-before-restore/"})
        EXPECT_TRUE(readme.contains(QString::fromUtf8(said))) << said;
}

} // namespace
} // namespace vnt::test
