// ksMutex: the process-wide recursive lock, which also knows the thread that holds it.
// The holder's nested entries are counted here; the system lock is taken once per holder.
//
// The object is constant-initialised, so it exists before any code runs; the system
// lock behind it is created by the first thread that takes it (racing creators agree on
// one through a compare-and-swap) and is never destroyed.
#pragma once
#include <atomic>
#include <cstdint>
#include "platform/platform.h"

class ksMutex {
  public:
    constexpr ksMutex() = default;
    ksMutex(const ksMutex&) = delete;
    ksMutex& operator=(const ksMutex&) = delete;

    // Inline: every record takes and releases the lock and asks twice who holds it.
    void lock() {
        uint32_t me = ksPlatform::currentThreadId();
        if (owner_.load(std::memory_order_relaxed) == me) {
            ++depth_;
            return;
        }
        ksPlatform::Lock* existing = lock_.load(std::memory_order_acquire);
        ksPlatform::acquireLock(existing ? existing : createSystemLock());
        owner_.store(me, std::memory_order_relaxed);
        depth_ = 1;
    }
    // The id stays set until the outermost unlock: a nested unlock must not make the
    // holder look like a stranger to its own open record.
    void unlock() {
        if (--depth_ != 0)
            return;
        owner_.store(0, std::memory_order_relaxed);
        ksPlatform::releaseLock(lock_.load(std::memory_order_acquire));
    }
    // True when the calling thread holds the lock (at any depth).
    bool isHeldByThisThread() const {
        return owner_.load(std::memory_order_relaxed) == ksPlatform::currentThreadId();
    }
    // In a child made by fork() while the calling thread held the lock: the child's only
    // thread, whose id is new, becomes the holder at the same depth.
    void adoptAfterFork() { owner_.store(ksPlatform::currentThreadId(), std::memory_order_relaxed); }
    // The holder's thread id, 0 when nobody holds it.
    uint32_t owner() const { return owner_.load(std::memory_order_relaxed); }

  private:
    // The system lock for the first taker; racing creators agree on one.
    ksPlatform::Lock* createSystemLock();

    std::atomic<ksPlatform::Lock*> lock_{nullptr};
    // Written only by the holder; read by any thread to ask "do I hold it?". Another
    // thread's id, or 0, never equals the caller's own.
    std::atomic<uint32_t> owner_{0};
    uint32_t depth_ = 0; // guarded by the lock itself
};
