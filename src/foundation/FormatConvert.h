// The formatter's output pass, shared by both engines.
#pragma once
#include <cstdint>
#include "foundation/FormatFloat.h"
#include "foundation/FormatOutput.h"
#include "foundation/FormatParse.h"

// Writes one directive's value; 0, or -2 when a string argument is not well-formed.
int ksFormatConvert(ksFormatState& out, ksFormatType type, ksFormatValue value,
                    const ksFormatOptions& options);

// A text longer than a result can report fails like a limit of the format, and like a parse
// error it leaves the buffer empty.
int ksFormatFailTooLong(ksFormatState& out, uint64_t position);

// Writes the format's literal text and its directives in order, from slots whose values have
// been fetched. Returns the length of the complete output, -2 when a string argument is not
// well-formed, or an error when the output is longer than a result can report.
int ksFormatEmit(ksFormatState& out, const char* format, const ksFormatParam* slots, int count,
                 bool escapes, uint64_t formatLength);
