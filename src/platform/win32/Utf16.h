// UTF-8 text to and from the UTF-16 that the wide Win32 calls take. The platform layer
// keeps its own conversion so that it needs nothing above it.
#pragma once
#include <cstdlib>

namespace ksPlatform {

// A new heap block (free() it), or null for null text and for text that is not UTF-8:
// a cut sequence, an overlong form, a value above 0x10FFFF. Surrogates written as three
// bytes are taken back as they were given out by utf8FromUtf16.
wchar_t* utf16FromUtf8(const char* text);
// A new heap C string (free() it), or null for null text. An unpaired surrogate becomes
// its own three-byte form, so that any name the system hands out can be passed back.
char* utf8FromUtf16(const wchar_t* text);

// A path in UTF-16 for one call; empty when the UTF-8 text cannot be converted.
class WidePath {
  public:
    explicit WidePath(const char* path) : wide_(utf16FromUtf8(path)) {}
    ~WidePath() { std::free(wide_); }
    WidePath(const WidePath&) = delete;
    WidePath& operator=(const WidePath&) = delete;
    const wchar_t* get() const { return wide_; }
    explicit operator bool() const { return wide_ != nullptr; }

  private:
    wchar_t* wide_;
};

} // namespace ksPlatform
