// The table through which the sinks reach the system: the same on every platform, filled
// with the platform's own calls.
#include <cstdio>
#include "platform/platform.h"

namespace ksPlatform {

namespace {

size_t writeStream(std::FILE* stream, const char* bytes, size_t count) {
    return std::fwrite(bytes, 1, count, stream);
}

bool flushStream(std::FILE* stream) {
    return std::fflush(stream) == 0;
}

} // namespace

RecordCalls recordCalls = {writeLogFile, writeStream, flushStream, sendBytes,
                           wallClockMicroseconds};

} // namespace ksPlatform
