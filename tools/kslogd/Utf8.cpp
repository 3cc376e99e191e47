// Strict UTF-8, since a log shipper may refuse a whole line for one bad byte.
#include "Utf8.h"

namespace {

// Length that a lead byte announces, or 0 for a byte that cannot start a sequence.
std::size_t announcedLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

bool isContinuation(unsigned char c) {
    return c >= 0x80 && c <= 0xBF;
}

} // namespace

std::size_t validUtf8Length(std::string_view bytes) {
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    unsigned char lead = at(0);
    std::size_t length = announcedLength(lead);
    if (length <= 1)
        return length;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead == 0xE0)
        low = 0xA0; // overlong below U+0800
    else if (lead == 0xED)
        high = 0x9F; // surrogates
    else if (lead == 0xF0)
        low = 0x90; // overlong below U+10000
    else if (lead == 0xF4)
        high = 0x8F; // above U+10FFFF
    if (bytes.size() < length || at(1) < low || at(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (!isContinuation(at(i)))
            return 0;
    return length;
}

std::size_t unfinishedUtf8Tail(std::string_view bytes) {
    std::size_t size = bytes.size();
    for (std::size_t tail = 1; tail <= 3 && tail <= size; ++tail) {
        unsigned char c = static_cast<unsigned char>(bytes[size - tail]);
        if (isContinuation(c))
            continue;
        return announcedLength(c) > tail ? tail : 0;
    }
    return 0;
}
