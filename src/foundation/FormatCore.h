// The formatter's two engines behind the entry points. Both return the length of the complete
// output or a negative error, and leave the terminator to their caller.
#pragma once
#include <cstdarg>
#include "foundation/FormatOutput.h"

// Every format: the whole format parsed into argument slots, then written.
int ksFormatFull(ksFormatState& out, const char* format, va_list* arguments);

// What the quick engine returns for a format it leaves to the full engine: no call of either
// engine can return it (errors are -2 or below).
constexpr int kFormatDeclined = -1;

// Formats whose directives take their arguments one after the other with no '*', '$' or base,
// each in the usual order of flags, width, precision and length: the bytes and result of the
// full engine, without its slot table. Returns kFormatDeclined, having read and written
// nothing, for any other format (a malformed one included); the full engine then takes it.
int ksFormatQuick(ksFormatState& out, const char* format, va_list* arguments);
