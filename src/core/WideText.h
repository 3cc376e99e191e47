// The text of ksLog_Append_U: UTF-16 units as narrow text, printable ASCII (32 to 127)
// as itself and every other unit, 0 and surrogates included, as the six characters
// "\u%04x"; it stops once 400 characters are produced, so at most 405 come out.
#pragma once
#include <cstddef>
#include <cstdint>
#include "ksLog.h"

constexpr size_t kWideTextBufferSize = 416;

// Converts into out and returns the characters produced; out is terminated.
size_t escapeWideText(const ksLogUnit* text, uint64_t count, char (&out)[kWideTextBufferSize]);
