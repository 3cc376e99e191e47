// The log file's name: a pattern whose date, time and application-name tokens are
// replaced when the file is opened.
#pragma once
#include "foundation/String.h"
#include "platform/platform.h"

// Replaces, in this order and every occurrence, "%y" (four-digit year), "%m", "%d", "%H",
// "%M", "%S" (two digits each) from time, then "%n" by application. A replacement is
// not searched again. A null time leaves the date and time tokens as they are.
ksString logFileName(const char* pattern, const ksPlatform::LocalTime* time,
                     const char* application);

// The current local time to the second, from the wall clock; false when the system
// cannot convert it.
bool logFileTime(ksPlatform::LocalTime* time);
