// Writes kslog's records through the library. Each function returns true when every
// record it wrote was accepted by at least one sink.
#pragma once
#include <istream>
#include <string>
#include "Options.h"

// One record: the text as a line, or as a hex dump of its bytes.
bool writeRecord(const Options& options, const std::string& text);

// One record per line of input (its line end removed); a hex dump of the whole input
// as one record with --hex, since binary input has no lines.
bool writeInput(const Options& options, std::istream& input);
