// The timestamp of the line prefix: "%02d:%02d:%02d:%03d" (hour, minute, second,
// millisecond), or with the date "%02d/%02d/%04d %02d:%02d:%02d:%03d" (month, day, year
// first). Every record of the file and daemon sinks carries it.
#pragma once
#include <cstddef>
#include "platform/platform.h"

// Renders into text as ksFormatBuffer would: at most size - 1 bytes and a terminator;
// the result is the complete length.
int ksFormatTimeText(char* text, size_t size, const ksPlatform::LocalTime& time, bool showDate);
