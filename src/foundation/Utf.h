// UTF-8 and UTF-16 conversion: the primitives the formatter uses and the whole-text
// conversions that carry paths to and from the platform's wide functions.
//
// The UTF-8 decoder accepts the early, wider UTF-8 (up to six bytes and one seven-byte
// form); only the conversion to UTF-16 rejects values UTF-16 cannot carry.
#pragma once
#include <cstddef>
#include <cstdint>
#include <type_traits>

// A UTF-16 code unit, in the type the platform's wide functions take: wchar_t where it
// is 16 bits wide (Windows), char16_t elsewhere.
using ksWideUnit = std::conditional_t<sizeof(wchar_t) == 2, wchar_t, char16_t>;
static_assert(sizeof(ksWideUnit) == 2);

// Sequence length (1 to 7); 0 when maxBytes is 0; -1 malformed (a 0 byte where a
// continuation byte belongs included); -2 cut short by maxBytes. Reads no byte past the
// first that decides the result and none at or past maxBytes; value is set only on success.
int64_t ksUtf8Decode(const char* bytes, uint64_t maxBytes, uint32_t* value);
// Uses the value's low 31 bits. Stores the sequence only when room holds all of it;
// with null bytes only measures. Returns the sequence length (1 to 6).
int64_t ksUtf8Encode(char* bytes, uint64_t room, uint32_t value);
// 1 up to 0x7F, 2 up to 0x7FF, ... 6 up to 0x7FFFFFFF, 7 above.
int64_t ksUtf8Length(uint32_t value);
// Units used (1 or 2); 0 when none available; -1 for a high surrogate followed by
// anything but a low one, or a low surrogate in first position (it cannot open a pair);
// -2 for a high surrogate that is the last unit available.
int64_t ksUtf16Decode(const ksWideUnit* units, uint64_t available, uint32_t* value);

// A heap block of 0-terminated UTF-16 text with its capacity and length in a header
// before the first unit; handled through the unit pointer, released with ksWideFree.
using ksWideBuffer = ksWideUnit*;

// Null for a null text or malformed UTF-8 (including values above 0x10FFFF).
ksWideBuffer ksWideFromUtf8(const char* text);
// A new heap C string (free() it); an unpaired surrogate becomes its own three-byte form.
// Null gives null.
char* ksUtf8FromWide(const ksWideUnit* text);
// Capacity and length are the text's length. Null gives null.
ksWideBuffer ksWideDup(const ksWideUnit* text);
// Allocates (from null: the empty text) or reallocates room for capacity units and a
// terminator. The length is kept, unless the block shrinks below it: then the text is cut.
ksWideBuffer ksWideResize(ksWideBuffer buffer, uint64_t capacity);
// Stores the length (at most the capacity) and a terminator after it. Null is ignored.
void ksWideSetLength(ksWideBuffer buffer, uint64_t length);
// 0 for null.
uint64_t ksWideLength(const ksWideBuffer buffer);
uint64_t ksWideCapacity(const ksWideBuffer buffer);
// Null is ignored.
void ksWideFree(ksWideBuffer buffer);
