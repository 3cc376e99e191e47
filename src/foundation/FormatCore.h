// The formatter's two engines behind the entry points. Both return the length of the complete
// output or a negative error, and leave the terminator to their caller.
#pragma once
#include <cstdarg>
#include "foundation/FormatOutput.h"

// Every format: the whole format parsed into argument slots, then written.
int ksFormatFull(ksFormatState& out, const char* format, va_list* arguments);

// Formats whose directives take their arguments one after the other with no '*', '$' or base,
// each in the usual order of flags, width, precision and length: the bytes and result of the
// full engine, without its slot table. Returns false, having read and written nothing, for
// any other format (a malformed one included); the full engine then takes it.
bool ksFormatQuick(ksFormatState& out, const char* format, va_list* arguments, int& result);
