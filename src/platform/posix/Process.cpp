#include "platform/platform.h"
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace ksPlatform {

bool getEnvironment(const char* name, char* buffer, size_t size) {
    const char* value = std::getenv(name);
    if (!value || size == 0)
        return false;
    size_t length = std::strlen(value);
    if (length >= size)
        return false;
    std::memcpy(buffer, value, length + 1);
    return true;
}

void exitNow(int status) { _exit(status); }

} // namespace ksPlatform

// Runs when the shared library is unloaded or the process exits normally.
__attribute__((destructor)) static void libraryUnloading() { ksPlatform::onLibraryUnload(); }
