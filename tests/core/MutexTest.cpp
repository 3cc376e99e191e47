// ksMutex: the holder may take it again and keeps it until its outermost unlock; other
// threads wait until then; it knows who holds it at every depth.
#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>
#include "core/Mutex.h"
#include "platform/platform.h"

namespace {

// Static: the system lock behind a ksMutex is never destroyed.
ksMutex nestingMutex;
ksMutex waitingMutex;
ksMutex countingMutex;

} // namespace

TEST(Mutex, TheHolderNestsAndIsKnownUntilTheOutermostUnlock) {
    EXPECT_FALSE(nestingMutex.isHeldByThisThread());
    nestingMutex.lock();
    nestingMutex.lock();
    nestingMutex.lock();
    EXPECT_EQ(nestingMutex.owner(), ksPlatform::currentThreadId());
    nestingMutex.unlock();
    nestingMutex.unlock();
    EXPECT_TRUE(nestingMutex.isHeldByThisThread());
    std::thread([] { EXPECT_FALSE(nestingMutex.isHeldByThisThread()); }).join();
    nestingMutex.unlock();
    EXPECT_FALSE(nestingMutex.isHeldByThisThread());
    EXPECT_EQ(nestingMutex.owner(), 0u);
}

TEST(Mutex, OtherThreadsWaitForTheOutermostUnlock) {
    std::atomic<bool> acquired{false};
    waitingMutex.lock();
    waitingMutex.lock();
    std::thread other([&acquired] {
        waitingMutex.lock();
        acquired = true;
        EXPECT_TRUE(waitingMutex.isHeldByThisThread());
        waitingMutex.unlock();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(acquired);
    waitingMutex.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(acquired); // still held once
    waitingMutex.unlock();
    other.join();
    EXPECT_TRUE(acquired);
    EXPECT_EQ(waitingMutex.owner(), 0u);
}

TEST(Mutex, NestedHoldersExcludeEachOther) {
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&counter] {
            for (int i = 0; i < 20000; ++i) {
                countingMutex.lock();
                countingMutex.lock();
                long seen = counter;
                countingMutex.unlock();
                counter = seen + 1;
                countingMutex.unlock();
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(counter, 80000);
}
