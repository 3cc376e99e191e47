// The thread id text, kept by each thread with the id it shows: a thread formats it once,
// and again only in a child made by fork(), whose id is new.
#include "core/ThreadId.h"
#include <cstdint>
#include "platform/platform.h"

namespace {

struct ThreadIdText {
    uint32_t id; // ids are never 0
    char digits[8];
};
thread_local ThreadIdText shown{};

} // namespace

const char* threadIdText() {
    uint32_t id = ksPlatform::currentThreadId();
    ThreadIdText& text = shown;
    if (text.id != id) {
        uint32_t value = id;
        for (int i = 7; i >= 0; --i, value >>= 4)
            text.digits[i] = "0123456789abcdef"[value & 15];
        text.id = id;
    }
    return text.digits;
}
