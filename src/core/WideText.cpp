// UTF-16 units as escaped narrow text.
#include "core/WideText.h"

namespace {

constexpr size_t producedLimit = 400;

} // namespace

size_t escapeWideText(const ksLogUnit* text, uint64_t count, char (&out)[kWideTextBufferSize]) {
    size_t produced = 0;
    for (uint64_t i = 0; text && i < count && produced < producedLimit; ++i) {
        unsigned unit = static_cast<uint16_t>(text[i]);
        if (unit >= 32 && unit <= 127) {
            out[produced++] = static_cast<char>(unit);
            continue;
        }
        out[produced++] = '\\';
        out[produced++] = 'u';
        for (int shift = 12; shift >= 0; shift -= 4)
            out[produced++] = "0123456789abcdef"[(unit >> shift) & 15];
    }
    out[produced] = 0;
    return produced;
}
