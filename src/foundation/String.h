// ksString: the growable UTF-8 string for paths, names and setting values.
//
// The object is one pointer to the characters; a header (reference count, length,
// capacity) sits just before them, and a 0 byte always follows them. Copies share the
// buffer (non-atomic counts: one thread at a time per family of copies); assignment and
// every change copy. Memory comes from the checked allocators.
#pragma once
#include <cstdarg>
#include <cstdint>

class ksString {
public:
    ksString();
    ksString(const char* bytes, int64_t length = -1);
    ksString(const ksString& other);
    ~ksString();
    ksString& operator=(const ksString& other) { return assign(other); }
    ksString& operator=(const char* text) { return assign(text); }

    ksString& assign(const char* text);
    ksString& assign(const char* bytes, uint64_t length);
    ksString& assign(const ksString& other);
    ksString& append(const char* bytes, uint64_t count);

    const char* c_str() const { return chars_; }
    operator const char*() const { return chars_; }
    uint64_t length() const;
    uint64_t capacity() const;
    bool isEmpty() const { return length() == 0; }

    int compare(const ksString& other) const;
    ksString toLower() const;
    int64_t find(const ksString& needle, int64_t from = 0) const;
    int64_t findFirstOf(const char* set, int64_t from = 0) const;
    int64_t findLastOf(const char* set, int64_t from = -1) const;
    int64_t findChar(char c, bool last = false) const;
    ksString afterLast(char c) const;
    ksString beforeLast(char c) const;
    int replace(const char* find, const char* with, bool all);
    char lastChar() const;

    char* getBuffer(uint64_t size);
    void releaseBuffer();

    int formatV(const char* format, va_list arguments);
    static ksString format(const char* format, ...);
    static ksString adopt(char* heapText);
    bool toUInt(uint32_t* value, int base = 10) const;

    // For tests: the buffer's reference count (-1 for the shared empty string).
    int32_t referenceCount() const;

private:
    char* chars_;
};

// Pairs getBuffer with releaseBuffer.
class ksStringBuffer {
public:
    ksStringBuffer(ksString& string, uint64_t size) : string_(&string) {
        chars_ = string.getBuffer(size);
    }
    ~ksStringBuffer() { release(); }
    ksStringBuffer(const ksStringBuffer&) = delete;
    ksStringBuffer& operator=(const ksStringBuffer&) = delete;

    char* chars() const { return chars_; }
    void release() {
        if (string_)
            string_->releaseBuffer();
        string_ = nullptr;
    }

private:
    ksString* string_;
    char* chars_;
};
