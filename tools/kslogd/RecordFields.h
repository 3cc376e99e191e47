// The fields of a record line as the logging library lays it out: level letter, blank,
// time (with or without the date), '|', eight hex digits of thread id, '|', the
// 10-character module column, blank, text.
#pragma once
#include <string_view>

struct RecordFields {
    std::string_view level;  // one letter
    std::string_view time;   // "hh:mm:ss:mmm" or "MM/DD/YYYY hh:mm:ss:mmm"
    std::string_view thread; // eight hex digits
    std::string_view module; // the column without its padding blanks
    std::string_view text;   // the rest of the line
};

// False for a line that does not start with a prefix (a record's second line, for
// example); then only text is set, to the whole line.
bool splitRecordLine(std::string_view line, RecordFields& fields);
