// The lock that keeps a second run out of a target folder while one uses it.
#include "platform/FolderLock.h"

#include "platform/Process.h"
#include "TestSupport.h"

#include <chrono>
#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <thread>

namespace vnt::test {
namespace {

TEST(FolderLock, OneHolderPerFolderWhateverItsPath) {
    QTemporaryDir dir;
    const QString folder = dir.path() + "/target/";
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::link(folder, dir.path() + "/alias"));

    FolderLock first;
    ASSERT_EQ(first.Take(folder, 0), FolderLock::Outcome::Taken);
    FolderLock second;
    EXPECT_EQ(second.Take(folder, 0), FolderLock::Outcome::HeldElsewhere);
    EXPECT_EQ(second.Take(dir.path() + "/alias", 30), FolderLock::Outcome::HeldElsewhere);
    EXPECT_FALSE(second.Held());
    first.Release();
    EXPECT_EQ(second.Take(dir.path() + "/alias", 0), FolderLock::Outcome::Taken);

    // No folder to lock: the caller decides; nothing is held.
    FolderLock none;
    EXPECT_EQ(none.Take(dir.path() + "/missing/", 0), FolderLock::Outcome::Unavailable);
    EXPECT_FALSE(none.Held());
}

TEST(FolderLock, WaitsForTheOtherRunToEnd) {
    QTemporaryDir dir;
    FolderLock other;
    ASSERT_EQ(other.Take(dir.path(), 0), FolderLock::Outcome::Taken);
    std::thread ending([&other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        other.Release();
    });
    QElapsedTimer clock;
    clock.start();
    FolderLock lock;
    const FolderLock::Outcome outcome = lock.Take(dir.path(), 10000);
    const qint64 waited = clock.elapsed();
    ending.join();
    EXPECT_EQ(outcome, FolderLock::Outcome::Taken);
    EXPECT_GE(waited, 40);
    EXPECT_LT(waited, 5000) << "taken as soon as it was free, not at the end of the wait";

    // A run asked to stop while it waits stops waiting.
    lock.Release();
    ASSERT_EQ(other.Take(dir.path(), 0), FolderLock::Outcome::Taken);
    RequestInterruption();
    clock.restart();
    EXPECT_EQ(FolderLock().Take(dir.path(), 10000), FolderLock::Outcome::Stopped);
    ClearInterruption();
    EXPECT_LT(clock.elapsed(), 1000);
}

} // namespace
} // namespace vnt::test
