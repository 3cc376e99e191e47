// The few things the collector needs from the system that Asio does not cover.
#pragma once
#include <cstddef>
#include <cstdio>
#include <string>

// Standard output in binary mode, a broken output pipe as a write error rather than a
// fatal signal, and as many file descriptors as the system lets the process have.
void prepareProcess();

// Whether a listener may bind a port that still has connections in TIME_WAIT: wanted on
// POSIX so that a restarted collector gets its port back; on Windows the same option
// would let another process take the port over, so it stays off there.
bool quickRebindWanted();

// The signal that asks for the output files to be reopened (SIGHUP, after a log
// rotation), or 0 where the system has none.
int reopenSignalNumber();

// Whether standard output is a terminal, whose control sequences record text must not
// reach.
bool standardOutputIsTerminal();

// Writes size bytes to stream's descriptor, past the C library's buffer (stream itself is
// never written through stdio): again after a signal interrupted the write or a write
// took only a part, and after a wait when a non-blocking pipe is full. The bytes written:
// all of them, or fewer with the system's reason in error.
std::size_t writeWhole(std::FILE* stream, const char* bytes, std::size_t size,
                       std::string& error);
