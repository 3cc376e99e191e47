// UTF-8 and UTF-16 conversion: the primitives the formatter uses and the whole-text
// conversions that carry paths to and from the platform's wide functions.
//
// The UTF-8 decoder accepts the early, wider UTF-8 (up to six bytes and one seven-byte
// form); only the conversion to UTF-16 rejects values UTF-16 cannot carry.
#pragma once
#include <cstddef>
#include <cstdint>

// A UTF-16 code unit, in the type the platform's wide functions take.
#if defined(_WIN32)
using ksWideUnit = wchar_t;
#else
using ksWideUnit = char16_t;
#endif

// Sequence length (1 to 7); 0 when maxBytes is 0; -1 malformed; -2 cut short by maxBytes.
int64_t ksUtf8Decode(const char* bytes, uint64_t maxBytes, uint32_t* value);
// Stores the sequence only when room holds all of it; with null bytes only measures.
int64_t ksUtf8Encode(char* bytes, uint64_t room, uint32_t value);
int64_t ksUtf8Length(uint32_t value);
// Units used (1 or 2); 0 when none available; -1 bad second unit; -2 pair cut short.
int64_t ksUtf16Decode(const ksWideUnit* units, uint64_t available, uint32_t* value);

// A heap block of 0-terminated UTF-16 text with its capacity and length in a header
// before the first unit; handled through the unit pointer, released with ksWideFree.
using ksWideBuffer = ksWideUnit*;

// Null for a null text or malformed UTF-8 (including values above 0x10FFFF).
ksWideBuffer ksWideFromUtf8(const char* text);
// A new heap C string (free() it); an unpaired surrogate becomes its own three-byte form.
// Null gives null.
char* ksUtf8FromWide(const ksWideUnit* text);
ksWideBuffer ksWideDup(const ksWideUnit* text);
ksWideBuffer ksWideResize(ksWideBuffer buffer, uint64_t capacity);
void ksWideSetLength(ksWideBuffer buffer, uint64_t length);
uint64_t ksWideLength(const ksWideBuffer buffer);
uint64_t ksWideCapacity(const ksWideBuffer buffer);
void ksWideFree(ksWideBuffer buffer);
