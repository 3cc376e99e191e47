// The thread id text, formatted again only when another thread writes.
#include "core/ThreadId.h"
#include <cstdint>
#include "platform/platform.h"

namespace {

uint32_t formattedThreadId = 0; // ids are never 0
char digits[8];

} // namespace

const char* threadIdText() {
    uint32_t id = ksPlatform::currentThreadId();
    if (id != formattedThreadId) {
        uint32_t value = id;
        for (int i = 7; i >= 0; --i, value >>= 4)
            digits[i] = "0123456789abcdef"[value & 15];
        formattedThreadId = id;
    }
    return digits;
}
