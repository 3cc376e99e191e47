// The line prefix of the file and daemon sinks: the level letter and a blank, the
// timestamp, a bar, the thread id in eight hex digits, a bar, the 10-character module
// column and a blank.
#pragma once
#include <cstddef>
#include "ksLog.h"

constexpr size_t kLinePrefixSize = 64; // the longest prefix is 62 bytes

// Renders the prefix of the record so that it ends just before roomEnd, in the
// kLinePrefixSize bytes in front of it, and returns its length. Takes the record's
// timestamp when it has none yet.
size_t renderLinePrefix(ksLogRecord* record, char* roomEnd);
