#include "platform/platform.h"
#include <cstdlib>
#include <cstring>

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

char* environmentText(const char* name) {
    const char* value = std::getenv(name);
    if (!value)
        return nullptr;
    size_t size = std::strlen(value) + 1;
    char* copy = static_cast<char*>(std::malloc(size));
    if (copy)
        std::memcpy(copy, value, size);
    return copy;
}

} // namespace ksPlatform
