#include "main/RunningCopy.h"

#include "main/CommandText.h"
#include "platform/Dde.h"
#include "platform/DesktopHost.h"
#include "platform/Dispatcher.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <thread>

namespace tovrin {
namespace {

using namespace std::chrono_literals;

TEST(RunningCopyTest, OneCopyHoldsTheLockAndTheOthersFindItsServer) {
    const std::string lock = test::MakeTempDir("copy") + "/tovrin.lock";
    CopyCheck first = FindRunningCopy("tovrin", kDdeTopic, lock, 20s);
    ASSERT_TRUE(first.Lock);
    EXPECT_FALSE(first.OtherServes);

    // The first copy is still starting (no server yet): a second one waits for it and,
    // when it never serves, gives up rather than running as a second first copy.
    CopyCheck gaveUp = FindRunningCopy("tovrin", kDdeTopic, lock, 100ms);
    EXPECT_FALSE(gaveUp.Lock);
    EXPECT_FALSE(gaveUp.OtherServes);

    PlainDispatcher dispatcher;
    DesktopHost host(dispatcher);
    {
        DdeServer server(host, "tovrin", kDdeTopic, [](const std::string&) { return true; });
        CopyCheck second = FindRunningCopy("TOVRIN", kDdeTopic, lock, 20s);
        EXPECT_FALSE(second.Lock);
        EXPECT_TRUE(second.OtherServes);

        // A serving copy that takes no lock is still the running copy: the lock is not kept.
        first.Lock.reset();
        CopyCheck beside = FindRunningCopy("tovrin", kDdeTopic, lock, 20s);
        EXPECT_FALSE(beside.Lock);
        EXPECT_TRUE(beside.OtherServes);
        EXPECT_FALSE(InstanceLock::IsHeld(lock));
    }

    // A first copy that ends while another waits for it leaves the lock to the waiting one.
    first.Lock = InstanceLock::TryAcquire(lock);
    ASSERT_TRUE(first.Lock);
    std::thread ending([&] { first.Lock.reset(); });
    CopyCheck next = FindRunningCopy("tovrin", kDdeTopic, lock, 20s);
    ending.join();
    EXPECT_TRUE(next.Lock);
    EXPECT_FALSE(next.OtherServes);
}

// A FIFO, device or folder in the lock file's place holds no lock and is never waited on or
// blocked on: the DDE server alone tells whether a copy runs.
TEST(RunningCopyTest, ALockFileThatIsNoRegularFileLeavesTheServerToDecide) {
    const std::string folder = test::MakeTempDir("copy");
    const std::string fifo = folder + "/fifo.lock";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string directory = folder + "/folder.lock";
    std::filesystem::create_directory(directory);
    for (const std::string& lock : {fifo, directory, std::string("/dev/null")}) {
        EXPECT_FALSE(InstanceLock::Usable(lock)) << lock;
        EXPECT_FALSE(InstanceLock::IsHeld(lock)) << lock;
        EXPECT_FALSE(InstanceLock::TryAcquire(lock)) << lock;
        const CopyCheck alone = FindRunningCopy("tovrin", kDdeTopic, lock, 20s);
        EXPECT_TRUE(alone.LockUnusable) << lock;
        EXPECT_FALSE(alone.Lock || alone.OtherServes) << lock;
    }
    EXPECT_TRUE(InstanceLock::Usable(folder + "/new.lock"));

    PlainDispatcher dispatcher;
    DesktopHost host(dispatcher);
    DdeServer server(host, "tovrin", kDdeTopic, [](const std::string&) { return true; });
    const CopyCheck second = FindRunningCopy("tovrin", kDdeTopic, fifo, 20s);
    EXPECT_TRUE(second.OtherServes);
    EXPECT_TRUE(second.LockUnusable);
}

}  // namespace
}  // namespace tovrin
