// The line prefix, rendered once per record for every sink that starts a line with it.
// Every part is kept from the record before where it can be (under the library lock,
// like the record): the time text of its second, the thread's id digits, the module's
// column. Only a change makes a part be formatted again, out of the way of the rest.
#include "core/LinePrefix.h"
#include <cstring>
#include "core/Library.h"
#include "core/Modules.h"
#include "core/Timestamp.h"

namespace {

constexpr size_t moduleColumnWidth = 10;
// The time texts of the kept forms are copied whole, terminator and zeros included: the
// fields behind them overwrite the rest.
constexpr size_t keptTimeWidth = 24;

struct ThreadColumn {
    uint32_t id = 0; // ids are never 0
    char digits[8];
};
ThreadColumn threadColumn;

struct ModuleColumn {
    bool known = false;
    uint16_t module = 0;
    char text[moduleColumnWidth];
};
ModuleColumn moduleColumn;

char levelLetter(uint16_t level) {
    return level < 4 ? "EEWI"[level] : 'D';
}

// "%08x" of the id.
[[gnu::noinline]] void showThread(uint32_t id) {
    uint32_t value = id;
    for (int i = 7; i >= 0; --i, value >>= 4)
        threadColumn.digits[i] = "0123456789abcdef"[value & 15];
    threadColumn.id = id;
}

// The module's name cut or padded with blanks to ten characters, or "%010u" of its id.
[[gnu::noinline]] void showModule(uint16_t module) {
    char* column = moduleColumn.text;
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
    moduleColumn.module = module;
    moduleColumn.known = true;
}

} // namespace

size_t renderLinePrefix(ksLogRecord* record, char* roomEnd) {
    stampRecord(record);
    // The record's thread holds the library lock, which knows its id.
    uint32_t thread = ksLibrary.mutex.owner();
    if (thread != threadColumn.id)
        showThread(thread);
    if (record->module != moduleColumn.module || !moduleColumn.known)
        showModule(record->module);
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
    std::memcpy(at + 1, threadColumn.digits, 8);
    at[9] = '|';
    std::memcpy(at + 10, moduleColumn.text, moduleColumnWidth);
    at[10 + moduleColumnWidth] = ' ';
    return length;
}
