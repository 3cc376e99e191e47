// The formatter's output: a bounded cursor into the caller's buffer. Bytes reach it in order while
// it has room; each byte emitted counts, stored or not: the total is the whole text's length.
#pragma once
#include <cstdint>
#include <cstring>
#include "foundation/CopyShort.h"

struct ksFormatState {
    char* cursor = nullptr; // next byte to store
    char* end = nullptr;    // one past the last byte that may be stored
    char* begin = nullptr;  // first byte of the caller's buffer
    uint64_t lost = 0;      // bytes emitted past the end

    ksFormatState(char* buffer, uint64_t limit)
        : cursor(buffer), end(buffer + limit), begin(buffer) {}

    uint64_t committed() const { return static_cast<uint64_t>(cursor - begin); }
    uint64_t processed() const { return committed() + lost; }

    void put(char byte) {
        if (cursor < end)
            *cursor++ = byte;
        else
            ++lost;
    }

    void write(const char* bytes, uint64_t count) {
        const auto room = static_cast<uint64_t>(end - cursor);
        const uint64_t stored = count < room ? count : room;
        ksCopyShort(cursor, bytes, stored);
        cursor += stored;
        lost += count - stored;
    }

    void fill(char byte, int64_t count) {
        if (count <= 0)
            return;
        const auto wanted = static_cast<uint64_t>(count),
                   room = static_cast<uint64_t>(end - cursor);
        const uint64_t stored = wanted < room ? wanted : room;
        if (stored > 8) // a few bytes cost less than the call
            std::memset(cursor, byte, stored);
        else
            for (uint64_t i = 0; i < stored; ++i)
                cursor[i] = byte;
        cursor += stored;
        lost += wanted - stored;
    }
};
