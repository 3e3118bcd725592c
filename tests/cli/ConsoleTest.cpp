// The console program, run as a person or a script would run it.
#include "cli/ConsoleHost.h"
#include "cli/ConsoleRun.h"
#include "CliRun.h"
#include "report/StrProc.h"
#include "setups/SetupFile.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

namespace vnt::test {
namespace {

class ConsoleTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString source = dir.path() + "/src/";
    QString target = dir.path() + "/dst/";

    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(source + "Letters"));
        ASSERT_TRUE(QDir().mkpath(target));
        WriteFile(source + "a.txt", "aaa");
        WriteFile(source + "Letters/b.txt", "bb");
    }
};

TEST_F(ConsoleTest, BacksUpAndReportsLikeTheWindow) {
    const CliRun first =
        Cli({"backup-modified", "--source", source, "--target", target, "--include", "Letters"});
    EXPECT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_EQ(first.out,
              "source folder = " + source + "\n\n    1 file  in {source folder}\n      " + source +
                  "a.txt (new)\n    Copied.\n"
                  "\n    1 file  in {source folder}Letters/\n      " +
                  source +
                  "Letters/b.txt (new)\n    Copied.\n\n\n"
                  "For files new or modified at any time:\nNumber of modified files: 0\n"
                  "Number of files not previously backed up: 2\nNumber of files copied: 2\n"
                  "Sum of sizes of files copied: 5 bytes\n");
    EXPECT_TRUE(QFile::exists(target + "Letters/b.txt"));

    const CliRun again =
        Cli({"backup-modified", "--source", source, "--target", target, "--summary-only"});
    EXPECT_EQ(again.status, 0);
    EXPECT_TRUE(again.out.contains("Number of files copied: 0\n"));
    EXPECT_FALSE(again.out.contains("files in")) << "totals only";

    const CliRun list =
        Cli({"list", "--source", source, "--target", target, "--include", "Letters"});
    EXPECT_EQ(list.status, 0);
    EXPECT_FALSE(list.out.contains("Now counting"))
        << "the window's notice is not part of the report";
    EXPECT_TRUE(list.out.endsWith(
        "Number of folders: 2\nNumber of files: 2\nSum of file sizes: 5 bytes\n"));
}

TEST_F(ConsoleTest, ExitStatusForErrorsAndRefusals) {
    QDir().mkpath(target + "a.txt"); // a folder where the copy must go
    const CliRun failed = Cli({"backup-all", "--source", source, "--target", target});
    EXPECT_EQ(failed.status, 1);
    EXPECT_TRUE(failed.out.contains("Number of errors when attempting to copy a file: 1\n"));

    EXPECT_EQ(Cli({}).status, 2);
    EXPECT_EQ(Cli({"backup", "--source", source, "--target", target}).status, 2);
    EXPECT_EQ(Cli({"check", "--source", source, "--target", target, "--since", "5"}).status, 2);
    const CliRun badExt = Cli({"list", "--source", source, "--target", target, "--ext", "abcdef"});
    EXPECT_EQ(badExt.status, 2);
    EXPECT_TRUE(badExt.err.contains("A file extension must consist of from 2 to 5 letters"));
    WriteFile(source + "Letters/song.mp3", "la");
    WriteFile(source + "Letters/song.mp4", "la la");
    const CliRun music = Cli({"backup-all", "--source", source, "--target", dir.path() + "/mp3/",
                              "--create-target", "--include", "Letters", "--ext", "MP3"});
    EXPECT_EQ(music.status, 0) << music.err.toStdString();
    EXPECT_TRUE(QFile::exists(dir.path() + "/mp3/Letters/song.mp3")) << "digits are kept";
    EXPECT_FALSE(QFile::exists(dir.path() + "/mp3/Letters/song.mp4"));
    EXPECT_EQ(Cli({"list", "--source", source, "--target", source + "Letters"}).status, 0)
        << "a target inside the source is accepted";
    EXPECT_EQ(Cli({"list", "--source", source + "Letters", "--target", source}).status, 2);

    const QString missing = dir.path() + "/unplugged/disk/";
    const CliRun refused = Cli({"backup-all", "--source", source, "--target", missing});
    EXPECT_EQ(refused.status, 2);
    EXPECT_FALSE(QFileInfo::exists(missing)) << "a missing target is not made up";
    EXPECT_TRUE(
        refused.err.contains("Add --create-target to create the target folder " + missing + ".\n"))
        << refused.err.toStdString();
    // Folders given as cp takes them: the message shows the command line that works.
    const CliRun positional = Cli({"backup-modified", source, dir.path() + "/my backup"});
    EXPECT_EQ(positional.status, 2);
    EXPECT_EQ(positional.err, "vantoro-cli: the folders go after --source and --target, as in: "
                              "vantoro-cli backup-modified --source " +
                                  source + " --target '" + dir.path() + "/my backup'\n");
    EXPECT_EQ(
        Cli({"backup-all", "--source", source, "--target", missing, "--create-target"}).status, 0);
    EXPECT_TRUE(QFile::exists(missing + "a.txt"));
}

TEST_F(ConsoleTest, FoldersAloneTakeTheWholeTreeAndEveryIncludeIsWalked) {
    ASSERT_TRUE(QDir().mkpath(source + "Letters/Old"));
    WriteFile(source + "Letters/Old/c.txt", "c");
    const auto newFiles = [&](const QStringList& scope) {
        const CliRun run =
            Cli(QStringList{"check", "--source", source, "--target", target, "--json"} + scope);
        EXPECT_EQ(run.status, 0) << scope.join(' ').toStdString() << run.err.toStdString();
        return QJsonDocument::fromJson(run.out.toUtf8())["counts"]["new"].toInt(-1);
    };
    EXPECT_EQ(newFiles({}), 3) << "no false \"all backed up\" while subfolders hold new files";
    EXPECT_EQ(newFiles({"--top-only"}), 1);
    EXPECT_TRUE(Cli({"check", "--source", source, "--target", target, "--top-only"})
                    .out.endsWith("\nNot included: 1 subfolder of " + source +
                                  " with its files: Letters. Take them with --all or --include "
                                  "NAME (with --source and --target), or choose them in the "
                                  "window.\n"));
    EXPECT_EQ(newFiles({"--include", "Letters"}), 2);
    EXPECT_EQ(newFiles({"--include", "Letters/", "--all-subfolders"}), 3);

    // What the walk would pass over in silence is refused before anything is done.
    const struct {
        QStringList arguments;
        QString says;
    } refused[] = {
        {{"--include", "Letters/Old"},
         "--include takes a subfolder directly in the source folder, not Letters/Old: include "
         "Letters with --all-subfolders"},
        {{"--include", "Letters", "--include", "Music"},
         "--include Music: the source folder has no subfolder of that name (" + source +
             "Music). Nothing was done."},
        {{"--include", "a.txt"}, source + "a.txt is not a folder"},
        {{"--include", "."}, "--include takes a subfolder name below the source: ."},
        {{"--top-only", "--all"}, "--top-only takes no subfolder"},
    };
    for (const auto& [arguments, says] : refused) {
        const CliRun run =
            Cli(QStringList{"backup-all", "--source", source, "--target", target} + arguments);
        EXPECT_EQ(run.status, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(says)) << run.err.toStdString();
    }
    EXPECT_TRUE(QDir(target).isEmpty()) << "nothing was done";

    // A setup file keeps its own selection: no included folders, the source's own files.
    vnt::Setup setup;
    setup.sourceFolder = source;
    setup.targetFolder = target;
    ASSERT_TRUE(WriteSetupFile(dir.filePath("top.vnt"), setup));
    const CliRun fromFile = Cli({"backup-all", "--setup", dir.filePath("top.vnt")});
    EXPECT_TRUE(fromFile.out.contains("Number of files copied: 1\n")) << fromFile.out.toStdString();
    EXPECT_EQ(Cli({"check", "--setup", dir.filePath("top.vnt"), "--top-only"}).status, 2);
}

TEST_F(ConsoleTest, SetupFromAFileAndTheVersion) {
    vnt::Setup setup;
    setup.sourceFolder = source;
    setup.targetFolder = target;
    setup.includedFolders = {"Letters"};
    setup.fileExtension = "txt";
    ASSERT_TRUE(WriteSetupFile(dir.filePath("s.vnt"), setup));
    const CliRun run = Cli({"backup-all", "--setup", dir.filePath("s.vnt"), "--summary-only"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.contains("Number of files copied: 2\n"));
    EXPECT_EQ(Cli({"backup-all", "--setup", dir.filePath("s.vnt"), "--source", source}).status, 2);
    EXPECT_TRUE(Cli({"--version"}).out.startsWith("vantoro-cli "));
    EXPECT_TRUE(Cli({"--help"}).out.contains("backup-modified"));
}

TEST_F(ConsoleTest, AHalfReadSetupFileIsNeverRun) {
    // The skip list is read, the extension line is missing: run anyway, the empty filter
    // would copy every file.
    const QByteArray head = QFile::encodeName(source) + "\r\n" + QFile::encodeName(target) +
                            "\r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n";
    WriteFile(dir.filePath("short.vnt"), head + "a.txt\r\n 0 \r\n");
    WriteFile(dir.filePath("bad.vnt"), QFile::encodeName(source) + "\r\n" +
                                           QFile::encodeName(target) + "\r\n 0 \r\n 9 \r\n");
    for (const char* name : {"short.vnt", "bad.vnt"}) {
        const CliRun run = Cli({"backup-all", "--setup", dir.filePath(name)});
        EXPECT_EQ(run.status, 2) << name;
        EXPECT_TRUE(run.err.contains(dir.filePath(name))) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("Nothing was done.")) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << "no operation started";
    }
    EXPECT_TRUE(Cli({"list", "--setup", dir.filePath("short.vnt")})
                    .err.contains("ended before all its settings were read"));
    EXPECT_TRUE(QDir(target).isEmpty()) << "nothing copied";

    // The same Setup read whole runs.
    WriteFile(source + "c.txt", "c");
    WriteFile(dir.filePath("whole.vnt"), head + "a.txt\r\n 0 \r\n\r\n");
    const CliRun whole = Cli({"backup-all", "--setup", dir.filePath("whole.vnt")});
    EXPECT_EQ(whole.status, 0) << whole.err.toStdString();
    EXPECT_TRUE(QFile::exists(target + "c.txt"));
    EXPECT_FALSE(QFile::exists(target + "a.txt")) << "skipped as the Setup says";
}

TEST_F(ConsoleTest, NoPeriodInASetupFileMeansAnyTime) {
    SetLastWriteUtc(source + "a.txt", 2001, 1, 1, 12, 0, 0);
    vnt::Setup setup;
    setup.sourceFolder = source;
    setup.targetFolder = target;
    setup.modifiedSinceIndex = -1;
    ASSERT_TRUE(WriteSetupFile(dir.filePath("any.vnt"), setup));
    const CliRun run = Cli({"backup-modified", "--setup", dir.filePath("any.vnt")});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("For files new or modified at any time:\n"))
        << run.out.toStdString();
    EXPECT_TRUE(QFile::exists(target + "a.txt")) << "an old file is not held back";
}

TEST_F(ConsoleTest, AnInterruptActsAsCancelAndStillSummarises) {
    ConsoleHost::interrupted = 1;
    const int status = RunConsole({"vantoro-cli", "backup-all", "--source", source, "--target",
                                   target, "--include", "Letters", "--summary-only"},
                                  QStringLiteral(VANTORO_DATA_DIR));
    ConsoleHost::interrupted = 0;
    EXPECT_EQ(status, 130);
    EXPECT_FALSE(QFile::exists(target + "Letters/b.txt")) << "the walk stopped at its next test";
}

TEST(ConsoleHost, NoticesTakenBackNeverPrint) {
    OperationState state;
    FILE* out = tmpfile();
    {
        ConsoleHost host(state, false, out, stderr);
        host.Output("    3 files in /x/", false);
        const qsizetype before = host.ReportText().size();
        host.AppendToText("Counting files ... ");
        host.RemoveFromEnd(host.ReportText().size() - before);
        host.Output("  All copied.", true);
        EXPECT_TRUE(host.ReportText().endsWith("\r\n"));
        host.Output("open line", false);
    }
    rewind(out);
    char buffer[200] = {};
    const size_t n = fread(buffer, 1, sizeof buffer - 1, out);
    fclose(out);
    EXPECT_EQ(QByteArray(buffer, static_cast<int>(n)),
              "    3 files in /x/  All copied.\nopen line\n");
}

QByteArray ReadBack(FILE* file) {
    std::fflush(file);
    rewind(file);
    QByteArray bytes;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.append(buffer, static_cast<qsizetype>(n));
    return bytes;
}

TEST(ConsoleHost, ProgressLineFitsTheTerminal) {
    OperationState state;
    state.blnBackupOperation = true;
    state.lngTotalNumFiles = 1234;
    state.lngTotalNumFilesCopied = 56;
    state.dblTotalFilesize = 5.0 * 1024 * 1024;
    const QString counts = FormatCount(1234) + " files, " + FormatCount(56) + " copied, " +
                           FormatScaledSize2(state.dblTotalFilesize, 1);
    const QString file = "/home/me/Documents/Letters/2024/letter.txt";
    EXPECT_EQ(ConsoleHost::ProgressText(state, 2000, file, 200),
              counts + " at " + FormatScaledSize2(2.5 * 1024 * 1024, 1) + "/s  " + file);
    const QString narrow = ConsoleHost::ProgressText(state, 500, file, counts.size() + 20);
    EXPECT_EQ(narrow, counts + "  ...2024/letter.txt") << "no rate yet; the path's end kept";
    EXPECT_EQ(ConsoleHost::ProgressText(state, 500, file, 10), counts.left(10));
    // The bytes of a large file still being copied count as they are copied.
    EXPECT_EQ(ConsoleHost::ProgressText(state, 2000, QString(), 200, 3.0 * 1024 * 1024),
              FormatCount(1234) + " files, " + FormatCount(56) + " copied, " +
                  FormatScaledSize2(8.0 * 1024 * 1024, 1) + " at " +
                  FormatScaledSize2(4.0 * 1024 * 1024, 1) + "/s");
}

TEST(ConsoleHost, ProgressAtMostTenTimesASecondAndNeverInTheReport) {
    OperationState state;
    state.blnBackupOperation = true;
    FILE* out = tmpfile();
    FILE* err = tmpfile();
    FILE* log = tmpfile();
    QElapsedTimer clock;
    {
        ConsoleHost host(state, false, out, err);
        EXPECT_TRUE(ReadBack(err).isEmpty()) << "not a terminal: no progress line by default";
        host.ShowProgress(true);
        host.CopyTo(log);
        clock.start();
        host.CopyHandedOut("/src/Letters/", "b.txt");
        while (clock.elapsed() < 350)
            host.Yield();
        host.CopyProgress("b.txt", 3 * 1024 * 1024, 8 * 1024 * 1024);
        while (clock.elapsed() < 470)
            host.Yield();
        host.Output("    1 file  in /src/", true);
    }
    const qint64 elapsed = clock.elapsed();
    const QByteArray progress = ReadBack(err);
    const qsizetype updates = progress.count("\r\x1b[K0 files");
    EXPECT_GE(updates, 2);
    EXPECT_LE(updates, elapsed / 100 + 1) << progress.toStdString();
    EXPECT_TRUE(progress.contains("/src/Letters/b.txt"));
    EXPECT_TRUE(progress.contains("copied, " + FormatScaledSize2(3.0 * 1024 * 1024, 1).toUtf8()))
        << "the file being copied counts";
    EXPECT_TRUE(progress.endsWith("\r\x1b[K")) << "taken back at the end";
    EXPECT_EQ(ReadBack(out), "    1 file  in /src/\n");
    EXPECT_EQ(ReadBack(log), "    1 file  in /src/\n");
    for (FILE* file : {out, err, log})
        fclose(file);
}

} // namespace
} // namespace vnt::test
