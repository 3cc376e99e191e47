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


// ---------------------------------------------------------------------------
// Files and folders
// ---------------------------------------------------------------------------


// ---------------------------------------------------------------------------
// Sockets and network adapters
// ---------------------------------------------------------------------------


} // namespace ksPlatform
