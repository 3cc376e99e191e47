// Everything ksLog needs from the operating system, in the system's own terms.
// posix/ and win32/ implement it; nothing else includes system headers.
#pragma once
#include <cstddef>
#include <cstdint>

namespace ksPlatform {

// ---------------------------------------------------------------------------
// Process and environment
// ---------------------------------------------------------------------------

// Copies the variable's value into buffer (size bytes with its terminator) and returns
// true; false when the variable is not set or its value does not fit.
bool getEnvironment(const char* name, char* buffer, size_t size);

// Ends the process at once with status: no exit handlers, no stream flushing.
[[noreturn]] void exitNow(int status);

// Called by the platform when the library is unloaded or the process exits.
// Defined by the core.
void onLibraryUnload();

// ---------------------------------------------------------------------------
// Threads, lock and time
// ---------------------------------------------------------------------------

// A recursive lock: the owning thread may take it again and releases it as often.
struct RecursiveLock;
// Null when memory is exhausted. The library never destroys the lock it keeps; a
// thread that lost the race to create it destroys its own copy.
RecursiveLock* createRecursiveLock();
void destroyRecursiveLock(RecursiveLock* lock);
void lockRecursive(RecursiveLock* lock);
void unlockRecursive(RecursiveLock* lock);

// Lets another ready thread run; used while waiting for a thread that is about to finish.
void yieldThread();

// The calling thread's id as the system numbers threads; never 0. Cheap enough to call
// for every record.
uint32_t currentThreadId();

struct LocalTime {
    int year, month, day, hour, minute, second, millisecond;
};
// The wall clock in the local time zone, to the millisecond.
LocalTime localTime();

// The wall clock: microseconds since 1970-01-01 00:00 UTC.
uint64_t wallClockMicroseconds();

// ---------------------------------------------------------------------------
// Files and folders
// ---------------------------------------------------------------------------


// ---------------------------------------------------------------------------
// Sockets and network adapters
// ---------------------------------------------------------------------------


} // namespace ksPlatform
