// Beyond sizes and times: why a file counts as modified, a comparison of contents, and the
// replaced copies kept. End to end on the built console program.

#include "cli/CliRun.h"
#include "platform/FileCopy.h"
#include "TestSupport.h"

#include <csignal>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
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

} // namespace
} // namespace vnt::test
