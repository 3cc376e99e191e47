// The hex dump of ksLog_Append_B: a header line "Buffer pointer=%p length=%d" and lines
// of 16 bytes, each three blanks, the bytes as hex groups, a hyphen, a blank and the
// printable characters; the last line is padded so that its hyphen keeps its column.
#pragma once
#include <cstddef>
#include <cstdint>

// Receives the dump in pieces of whole lines, in order.
using ksDumpOutput = void (*)(void* context, const char* bytes, size_t count);

void hexDump(const void* data, uint64_t length, ksDumpOutput output, void* context);
