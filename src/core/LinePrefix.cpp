// The line prefix, rendered once per record for every sink that starts a line with it.
#include "core/LinePrefix.h"
#include <cstring>
#include "core/Modules.h"
#include "core/ThreadId.h"
#include "core/Timestamp.h"

namespace {

constexpr size_t moduleColumnWidth = 10;

const char* levelLetter(uint16_t level) {
    switch (level) {
    case 0:
    case 1:
        return "E ";
    case 2:
        return "W ";
    case 3:
        return "I ";
    default:
        return "D ";
    }
}

// The module's name cut or padded with blanks to ten characters, or "%010u" of its id.
// The digits are kept for the next record, which is mostly of the same module (under
// the library lock, like the record).
void putModuleColumn(uint16_t module, char* out) {
    int32_t unusedDefault = 0;
    if (const char* name = moduleName(module, &unusedDefault)) {
        size_t length = std::strlen(name);
        length = length < moduleColumnWidth ? length : moduleColumnWidth;
        std::memcpy(out, name, length);
        std::memset(out + length, ' ', moduleColumnWidth - length);
        return;
    }
    static uint16_t shownModule = 0;
    static char digits[moduleColumnWidth] = {'0', '0', '0', '0', '0', '0', '0', '0', '0', '0'};
    if (module != shownModule) {
        unsigned value = module;
        for (int i = moduleColumnWidth - 1; i >= 0; --i, value /= 10)
            digits[i] = static_cast<char>('0' + value % 10);
        shownModule = module;
    }
    std::memcpy(out, digits, moduleColumnWidth);
}

} // namespace

size_t renderLinePrefix(ksLogRecord* record, char* roomEnd) {
    stampRecord(record);
    size_t length = 2 + record->timeLength + 1 + 8 + 1 + moduleColumnWidth + 1;
    char* out = roomEnd - length;
    std::memcpy(out, levelLetter(record->level), 2);
    size_t at = 2;
    std::memcpy(out + at, record->timeText, record->timeLength); // at most 39 bytes
    at += record->timeLength;
    out[at++] = '|';
    std::memcpy(out + at, threadIdText(), 8);
    at += 8;
    out[at++] = '|';
    putModuleColumn(record->module, out + at);
    out[length - 1] = ' ';
    return length;
}
