// ksString: reference-counted UTF-8 text with its header just before the characters.
#include "foundation/String.h"
#include <cstdlib>
#include <cstring>
#include "foundation/Fatal.h"
#include "foundation/Format.h"
#include "foundation/NumberConversion.h"

namespace {

struct Header {
    int32_t references; // -1 shared empty string, 0 handed out for writing, n owners
    uint64_t length;
    uint64_t capacity;
};

struct EmptyString {
    Header header{-1, 0, 0};
    char text[8] = {};
};

EmptyString sharedEmpty;

char* emptyChars() { return sharedEmpty.text; }

Header* headerOf(const char* chars) {
    return reinterpret_cast<Header*>(const_cast<char*>(chars) - sizeof(Header));
}

bool isSharedEmpty(const char* chars) { return chars == emptyChars(); }

// No geometric growth: a buffer holds the needed length rounded down to 16, plus 19.
uint64_t capacityFor(uint64_t length) { return (length & ~uint64_t{15}) + 19; }

char* allocateChars(uint64_t length) {
    uint64_t capacity = capacityFor(length);
    if (capacity < length || capacity > SIZE_MAX - sizeof(Header) - 1)
        ksFatalError("memory:malloc", SIZE_MAX);
    auto* header = static_cast<Header*>(ksMalloc(sizeof(Header) + capacity + 1));
    header->references = 1;
    header->length = 0;
    header->capacity = capacity;
    char* chars = reinterpret_cast<char*>(header + 1);
    chars[0] = '\0';
    return chars;
}

char* growChars(char* chars, uint64_t length) {
    uint64_t capacity = capacityFor(length);
    if (capacity < length || capacity > SIZE_MAX - sizeof(Header) - 1)
        ksFatalError("memory:realloc", SIZE_MAX);
    auto* header = static_cast<Header*>(ksRealloc(headerOf(chars), sizeof(Header) + capacity + 1));
    header->capacity = capacity;
    return reinterpret_cast<char*>(header + 1);
}

void releaseChars(char* chars) {
    if (isSharedEmpty(chars))
        return;
    Header* header = headerOf(chars);
    if (--header->references <= 0)
        std::free(header);
}

void setLength(char* chars, uint64_t length) {
    headerOf(chars)->length = length;
    chars[length] = '\0';
}

} // namespace

ksString::ksString() : chars_(emptyChars()) {}

ksString::ksString(const char* bytes, int64_t length) : chars_(emptyChars()) {
    if (!bytes)
        return;
    assign(bytes, length < 0 ? std::strlen(bytes) : static_cast<uint64_t>(length));
}

ksString::ksString(const ksString& other) : chars_(other.chars_) {
    // An empty source (an own buffer after an empty releaseBuffer, or one handed out for
    // writing) is not shared: the copy is the shared empty string.
    if (headerOf(chars_)->length == 0)
        chars_ = emptyChars();
    else
        ++headerOf(chars_)->references;
}

ksString::~ksString() { releaseChars(chars_); }

uint64_t ksString::length() const { return headerOf(chars_)->length; }
uint64_t ksString::capacity() const { return headerOf(chars_)->capacity; }
int32_t ksString::referenceCount() const { return headerOf(chars_)->references; }

ksString& ksString::assign(const char* text) {
    if (!text)
        return assign(text, 0);
    return assign(text, std::strlen(text));
}

ksString& ksString::assign(const char* bytes, uint64_t length) {
    if (length == 0 || !bytes) {
        releaseChars(chars_);
        chars_ = emptyChars();
        return *this;
    }
    if (isSharedEmpty(chars_) || headerOf(chars_)->references > 1) {
        char* own = allocateChars(length);
        std::memcpy(own, bytes, length);
        releaseChars(chars_);
        chars_ = own;
    } else {
        Header* header = headerOf(chars_);
        if (header->capacity < length) {
            // The source may lie inside the buffer that is about to move.
            bool inside = bytes >= chars_ && bytes <= chars_ + header->length;
            uint64_t offset = static_cast<uint64_t>(bytes - chars_);
            chars_ = growChars(chars_, length);
            if (inside)
                bytes = chars_ + offset;
        }
        std::memmove(chars_, bytes, length);
    }
    setLength(chars_, length);
    return *this;
}

ksString& ksString::assign(const ksString& other) {
    if (other.chars_ == chars_)
        return *this;
    if (isSharedEmpty(other.chars_))
        return assign(nullptr, 0);
    return assign(other.chars_, other.length());
}

ksString& ksString::append(const char* bytes, uint64_t count) {
    if (count == 0 || !bytes)
        return *this;
    uint64_t oldLength = length();
    if (count > UINT64_MAX - oldLength - 32)
        ksFatalError("memory:realloc", SIZE_MAX);
    uint64_t newLength = oldLength + count;
    // Appending a piece of this string: copy it out first, as the buffer may move.
    bool inside = !isSharedEmpty(chars_) && bytes >= chars_ && bytes <= chars_ + oldLength;
    if (inside) {
        ksString piece(bytes, static_cast<int64_t>(count));
        return append(piece.chars_, count);
    }
    if (!isSharedEmpty(chars_) && headerOf(chars_)->references > 1) {
        char* own = allocateChars(newLength);
        std::memcpy(own, chars_, oldLength);
        releaseChars(chars_);
        chars_ = own;
    } else if (isSharedEmpty(chars_)) {
        chars_ = allocateChars(newLength);
    } else if (capacity() < newLength) {
        chars_ = growChars(chars_, newLength);
    }
    std::memcpy(chars_ + oldLength, bytes, count);
    setLength(chars_, newLength);
    return *this;
}

int ksString::compare(const ksString& other) const {
    uint64_t mine = length(), theirs = other.length();
    int result = std::memcmp(chars_, other.chars_, mine < theirs ? mine : theirs);
    if (result != 0 || mine == theirs)
        return result;
    return mine < theirs ? -1 : 1;
}

ksString ksString::toLower() const {
    ksString lower(chars_, static_cast<int64_t>(length()));
    if (lower.isEmpty())
        return lower;
    // By length, not to the first 0: the string may hold 0 bytes.
    for (uint64_t at = 0; at < lower.length(); ++at) {
        char& c = lower.chars_[at];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

int64_t ksString::find(const ksString& needle, int64_t from) const {
    uint64_t size = length(), count = needle.length();
    if (from < 0 || static_cast<uint64_t>(from) >= size || count == 0 || count > size)
        return -1;
    for (uint64_t at = static_cast<uint64_t>(from); at + count <= size; ++at) {
        if (std::memcmp(chars_ + at, needle.chars_, count) == 0)
            return static_cast<int64_t>(at);
    }
    return -1;
}

int64_t ksString::findFirstOf(const char* set, int64_t from) const {
    if (!set || from < 0)
        return -1;
    for (uint64_t at = static_cast<uint64_t>(from); at < length(); ++at) {
        if (chars_[at] != '\0' && std::strchr(set, chars_[at]))
            return static_cast<int64_t>(at);
    }
    return -1;
}

int64_t ksString::findLastOf(const char* set, int64_t from) const {
    int64_t size = static_cast<int64_t>(length());
    if (!set || size == 0)
        return -1;
    int64_t at = (from < 0 || from >= size) ? size - 1 : from;
    for (; at >= 0; --at) {
        if (chars_[at] != '\0' && std::strchr(set, chars_[at]))
            return at;
    }
    return -1;
}

int64_t ksString::findChar(char c, bool last) const {
    if (c == '\0')
        return -1;
    if (!last) {
        const void* found = std::memchr(chars_, c, length());
        return found ? static_cast<const char*>(found) - chars_ : -1;
    }
    for (int64_t at = static_cast<int64_t>(length()) - 1; at >= 0; --at) {
        if (chars_[at] == c)
            return at;
    }
    return -1;
}

ksString ksString::afterLast(char c) const {
    int64_t at = findChar(c, true);
    if (at < 0)
        return *this;
    return ksString(chars_ + at + 1, static_cast<int64_t>(length()) - at - 1);
}

ksString ksString::beforeLast(char c) const {
    int64_t at = findChar(c, true);
    if (at <= 0)
        return ksString();
    return ksString(chars_, at);
}

int ksString::replace(const char* find, const char* with, bool all) {
    if (!find || !*find)
        return 0;
    if (!with)
        with = "";
    // Both are copied: either may point into this string, whose buffer each step replaces.
    ksString needle(find);
    ksString replacement(with);
    uint64_t findLength = needle.length(), withLength = replacement.length();
    int count = 0;
    int64_t position = 0;
    while (static_cast<uint64_t>(position) < length()) {
        int64_t match = this->find(needle, position);
        if (match < 0)
            break;
        ksString rebuilt(chars_, match);
        rebuilt.append(replacement.c_str(), withLength);
        rebuilt.append(chars_ + match + findLength, length() - match - findLength);
        assign(rebuilt);
        ++count;
        position = match + static_cast<int64_t>(withLength);
        if (!all)
            break;
    }
    return count;
}

char ksString::lastChar() const { return isEmpty() ? '\0' : chars_[length() - 1]; }

char* ksString::getBuffer(uint64_t size) {
    if (isSharedEmpty(chars_) || headerOf(chars_)->references > 1) {
        char* own = allocateChars(size);
        releaseChars(chars_);
        chars_ = own;
    } else if (capacity() < size) {
        chars_ = growChars(chars_, size);
    }
    setLength(chars_, 0);
    headerOf(chars_)->references = 0;
    return chars_;
}

void ksString::releaseBuffer() {
    if (isSharedEmpty(chars_))
        return;
    Header* header = headerOf(chars_);
    chars_[header->capacity] = '\0'; // a writer that forgot its terminator stays inside
    header->length = std::strlen(chars_);
    header->references = 1;
}

int ksString::formatV(const char* format, va_list arguments) {
    uint64_t room = 1024;
    for (;;) {
        char* buffer = getBuffer(room + 1);
        va_list copy;
        va_copy(copy, arguments);
        int result = ksFormatBufferV(buffer, room + 1, format, copy);
        va_end(copy);
        buffer[room] = '\0';
        releaseBuffer();
        if (result < 0 || static_cast<uint64_t>(result) <= room)
            break;
        room = static_cast<uint64_t>(result);
    }
    return static_cast<int>(length());
}

ksString ksString::format(const char* format, ...) {
    ksString result;
    va_list arguments;
    va_start(arguments, format);
    result.formatV(format, arguments);
    va_end(arguments);
    return result;
}

ksString ksString::adopt(char* heapText) {
    if (!heapText)
        return ksString();
    ksString result(heapText);
    std::free(heapText);
    return result;
}

bool ksString::toUInt(uint32_t* value, int base) const {
    uint32_t parsed = 0;
    bool ok = ksToUInt32(chars_, &parsed, base) == ksNumberOk;
    if (value)
        *value = parsed;
    return ok;
}
