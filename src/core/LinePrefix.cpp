// The line prefix, rendered once per record for every sink that starts a line with it.
// Every part is kept from the record before where it can be: the time text of its second,
// the thread's id digits, the last module's column.
#include "core/LinePrefix.h"
#include <cstring>
#include "core/Modules.h"
#include "core/ThreadId.h"
#include "core/Timestamp.h"

namespace {

constexpr size_t moduleColumnWidth = 10;
// The time texts of the kept forms are copied whole, terminator and zeros included: the
// fields behind them overwrite the rest.
constexpr size_t keptTimeWidth = 24;

char levelLetter(uint16_t level) {
    return level < 4 ? "EEWI"[level] : 'D';
}

// The module's name cut or padded with blanks to ten characters, or "%010u" of its id.
// Kept for the next record, which is mostly of the same module (under the library lock,
// like the record).
const char* moduleColumn(uint16_t module) {
    static bool known = false;
    static uint16_t shownModule = 0;
    static char column[moduleColumnWidth];
    if (known && module == shownModule)
        return column;
    int32_t unusedDefault = 0;
    if (const char* name = moduleName(module, &unusedDefault)) {
        size_t length = std::strlen(name);
        length = length < moduleColumnWidth ? length : moduleColumnWidth;
        std::memcpy(column, name, length);
        std::memset(column + length, ' ', moduleColumnWidth - length);
    } else {
        unsigned value = module;
        for (int i = moduleColumnWidth - 1; i >= 0; --i, value /= 10)
            column[i] = static_cast<char>('0' + value % 10);
    }
    shownModule = module;
    known = true;
    return column;
}

} // namespace

size_t renderLinePrefix(ksLogRecord* record, char* roomEnd) {
    stampRecord(record);
    size_t timeLength = record->timeLength; // at most 39 bytes
    size_t length = 2 + timeLength + 1 + 8 + 1 + moduleColumnWidth + 1;
    char* out = roomEnd - length;
    out[0] = levelLetter(record->level);
    out[1] = ' ';
    if (timeLength >= 3 && timeLength <= keptTimeWidth)
        std::memcpy(out + 2, record->timeText, keptTimeWidth);
    else
        std::memcpy(out + 2, record->timeText, timeLength);
    char* at = out + 2 + timeLength;
    at[0] = '|';
    std::memcpy(at + 1, threadIdText(), 8);
    at[9] = '|';
    std::memcpy(at + 10, moduleColumn(record->module), moduleColumnWidth);
    at[10 + moduleColumnWidth] = ' ';
    return length;
}
