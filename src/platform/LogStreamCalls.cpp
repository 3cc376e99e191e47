// The stdio calls the file sink writes through, replaceable by tests.
#include "platform/platform.h"

namespace ksPlatform {

namespace {

size_t writeStream(const void* bytes, size_t size, size_t count, std::FILE* stream) {
    return std::fwrite(bytes, size, count, stream);
}

int flushStream(std::FILE* stream) {
    return std::fflush(stream);
}

} // namespace

LogStreamCalls logStreamCalls = {writeStream, flushStream};

} // namespace ksPlatform
