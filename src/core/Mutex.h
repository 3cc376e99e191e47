// ksMutex: the process-wide recursive lock, which also knows the thread that holds it.
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

    void lock();
    void unlock();
    // True when the calling thread holds the lock (at any depth).
    bool isHeldByThisThread() const;
    // The holder's thread id, 0 when nobody holds it.
    uint32_t owner() const { return owner_.load(std::memory_order_relaxed); }

  private:
    ksPlatform::RecursiveLock* systemLock();

    std::atomic<ksPlatform::RecursiveLock*> lock_{nullptr};
    // Written only by the holder; read by any thread to ask "do I hold it?".
    std::atomic<uint32_t> owner_{0};
    uint32_t depth_ = 0; // guarded by the lock itself
};
