// The formatter's output: a bounded cursor into the caller's buffer that counts every byte
// emitted, stored or not.
//
// Bytes reach the buffer in order and only while it has room; whatever does not fit is still
// counted, so the total is the length of the complete text. Writing in runs rather than byte
// by byte gives the same bytes and counts, only faster.
#pragma once
#include <cstdint>
#include <cstring>

struct ksFormatState {
    static constexpr uint64_t kShortRun = 16;

    char* begin = nullptr;  // first byte of the caller's buffer
    char* cursor = nullptr; // next byte to store
    char* end = nullptr;    // one past the last byte that may be stored
    uint64_t lost = 0;      // bytes emitted past the end

    ksFormatState(char* buffer, uint64_t limit)
        : begin(buffer), cursor(buffer), end(buffer + limit) {}

    uint64_t committed() const { return static_cast<uint64_t>(cursor - begin); }
    uint64_t processed() const { return committed() + lost; }

    void put(char byte) {
        if (cursor < end)
            *cursor++ = byte;
        else
            ++lost;
    }

    // Where count bytes may be built in place, already counted; null when they do not all fit.
    char* claim(uint64_t count) {
        if (count > static_cast<uint64_t>(end - cursor))
            return nullptr;
        char* at = cursor;
        cursor += count;
        return at;
    }

    void write(const char* bytes, uint64_t count) {
        uint64_t room = static_cast<uint64_t>(end - cursor);
        if (count <= kShortRun && count <= room) {
            copyShort(bytes, count);
            cursor += count;
            return;
        }
        if (count <= room) {
            if (count)
                std::memcpy(cursor, bytes, count);
            cursor += count;
            return;
        }
        if (room)
            std::memcpy(cursor, bytes, room);
        cursor += room;
        lost += count - room;
    }

    // Most pieces are a few bytes: two overlapping copies of a fixed size beat both a loop
    // and a call, and store exactly the count bytes.
    void copyShort(const char* bytes, uint64_t count) {
        if (count >= 8) {
            copyFixed<8>(cursor, bytes);
            copyFixed<8>(cursor + count - 8, bytes + count - 8);
        } else if (count >= 4) {
            copyFixed<4>(cursor, bytes);
            copyFixed<4>(cursor + count - 4, bytes + count - 4);
        } else if (count > 0) {
            cursor[0] = bytes[0];
            cursor[count / 2] = bytes[count / 2];
            cursor[count - 1] = bytes[count - 1];
        }
    }

    template <int size> static void copyFixed(char* to, const char* from) {
        char chunk[size];
        std::memcpy(chunk, from, size);
        std::memcpy(to, chunk, size);
    }

    void fill(char byte, int64_t count) {
        if (count <= 0)
            return;
        uint64_t wanted = static_cast<uint64_t>(count);
        uint64_t room = static_cast<uint64_t>(end - cursor);
        uint64_t stored = wanted < room ? wanted : room;
        if (stored)
            std::memset(cursor, byte, stored);
        cursor += stored;
        lost += wanted - stored;
    }
};
