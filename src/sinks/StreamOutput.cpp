// The standard streams as the file sink's output.
#include "sinks/StreamOutput.h"
#include "platform/platform.h"

size_t ksStreamOutput::write(const char* bytes, size_t count) {
    return ksPlatform::recordCalls.writeStream(stream_, bytes, count);
}

bool ksStreamOutput::flush() {
    return ksPlatform::recordCalls.flushStream(stream_);
}
