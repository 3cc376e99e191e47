// UTF-8 sequences in bytes from the network, checked strictly: no overlong forms, no
// surrogates, nothing above U+10FFFF.
#pragma once
#include <cstddef>
#include <string_view>

// Length of the valid UTF-8 sequence at the start of bytes, or 0.
std::size_t validUtf8Length(std::string_view bytes);

// How many bytes at the end of bytes begin a sequence that is not complete yet, so that
// a cut before them keeps each character whole; 0 when the end is a character boundary.
std::size_t unfinishedUtf8Tail(std::string_view bytes);
