#include "platform/platform.h"
#include <windows.h>
#include <cstdlib>

namespace ksPlatform {

bool getEnvironment(const char* name, char* buffer, size_t size) {
    if (size == 0 || size > 0xFFFFFFFFu)
        return false;
    DWORD length = GetEnvironmentVariableA(name, buffer, static_cast<DWORD>(size));
    // A value that does not fit returns the size it needs, terminator included.
    return length != 0 && length < size;
}

char* environmentText(const char* name) {
    DWORD needed = GetEnvironmentVariableA(name, nullptr, 0);
    while (needed != 0) {
        char* value = static_cast<char*>(std::malloc(needed));
        if (!value)
            return nullptr;
        DWORD length = GetEnvironmentVariableA(name, value, needed);
        if (length < needed)
            return value; // fits: length excludes the terminator
        std::free(value);
        needed = length; // changed meanwhile: try again with the size it asks for
    }
    return nullptr;
}

} // namespace ksPlatform
