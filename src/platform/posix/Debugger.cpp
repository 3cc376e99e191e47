// The debugger's output, which POSIX systems do not have.
#include "platform/platform.h"

namespace ksPlatform {

bool hasDebuggerOutput() {
    return false;
}

void writeDebuggerOutput(const char*, size_t) {}

} // namespace ksPlatform
