// ksLogger: the base behaviour of every logger and the process-wide options.
#include "core/Logger.h"
#include <cstdlib>
#include <cstring>
#include "config/Settings.h"
#include "core/Library.h"
#include "core/Modules.h"
#include "core/TimeText.h"
#include "foundation/Fatal.h"
#include "foundation/FixedDigits.h"
#include "foundation/Format.h"
#include "platform/platform.h"

ksLoggerOptions ksOptions;

namespace {

constexpr int32_t minimumBufferSize = 1024;
constexpr int32_t maximumBufferSize = 0x6400000; // 100 MiB
constexpr int bytesPerDumpLine = 16;
constexpr uint64_t wideTextLimit = 400; // characters produced before wide text stops

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

char hexDigit(unsigned value) {
    return "0123456789ABCDEF"[value & 15];
}

} // namespace

ksLogger::ksLogger(const char* name, bool registerIt) : name_(name) {
    if (!ksOptions.loaded)
        loadOptions();
    std::memset(moduleSwitches_, 0, sizeof moduleSwitches_);
    if (registerIt)
        addLogger(this);
}

ksLogger::~ksLogger() {
    removeLogger(this);
}

void* ksLogger::operator new(size_t size) {
    return ksMalloc(size);
}
void ksLogger::operator delete(void* block) {
    std::free(block);
}

// Populate mode is set before the other options are read, so that in populate mode
// their defaults are written back. "populate" itself is read with the mode off, also
// when a run before ksLog_Term left it on: written back, it would shadow the read
// file's value for good.
void ksLogger::loadOptions() {
    ksOptions.populate = false;
    ksOptions.populate = getIntSetting("populate", "options", 0) != 0;
    if (ksOptions.populate)
        ksOptions.populateDefaults = 1;
    int32_t size = sharedBufferSize(getIntSetting("max_len_logger", "options", minimumBufferSize));
    // Plain malloc: without a buffer the library still runs, formatted text is dropped.
    ksTheRecord.buffer = static_cast<char*>(std::malloc(static_cast<size_t>(size)));
    ksTheRecord.bufferSize = ksTheRecord.buffer ? size : 0;
    ksOptions.showDate = getSetting("date", "options", "off").compare("off") == 0 ? 0 : 1;
    ksOptions.loaded = 1;
}

int32_t sharedBufferSize(int32_t configured) {
    if (configured > maximumBufferSize)
        return maximumBufferSize;
    return configured < minimumBufferSize ? minimumBufferSize : configured;
}

void releaseSharedBuffer() {
    if (!ksOptions.loaded || !ksTheRecord.buffer)
        return;
    ksOptions.loaded = 0;
    std::free(ksTheRecord.buffer);
    ksTheRecord.buffer = nullptr;
}

void ksLogger::setThreshold(uint16_t t) {
    if (t == threshold_)
        return;
    threshold_ = t;
    updateGlobalLevel(t);
}

ksString ksLogger::getSetting(const char* key, const char* section, const char* defaultValue) {
    return ksReadSetting(section, key, ksString(defaultValue), ksOptions.populate,
                         !(flags_ & noConfig));
}

ksString ksLogger::getOwnSetting(const char* key, const char* defaultValue) {
    return getSetting(key, name_, defaultValue);
}

int32_t ksLogger::getIntSetting(const char* key, const char* section, int32_t defaultValue) {
    return ksReadIntSetting(section, key, defaultValue, ksOptions.populate, !(flags_ & noConfig));
}

int32_t ksLogger::getOwnIntSetting(const char* key, int32_t defaultValue) {
    return getIntSetting(key, name_, defaultValue);
}

// Looked up once per module and cached for the logger's life.
bool ksLogger::isModuleEnabled(uint16_t module) {
    if (module >= 256)
        return true;
    if (moduleSwitches_[module] & 2)
        return moduleSwitches_[module] & 1;
    int32_t tableDefault = ksOptions.populateDefaults;
    const char* moduleText = moduleName(module, &tableDefault);
    char key[64];
    if (moduleText)
        ksFormatBuffer(key, sizeof key, "LOG_%s", moduleText);
    else
        ksFormatBuffer(key, sizeof key, "LOG_%d", static_cast<int>(module));
    int32_t defaultValue = ksOptions.populateDefaults == 1 ? tableDefault : 0;
    bool on = getOwnIntSetting(key, defaultValue) > 0;
    moduleSwitches_[module] = on ? 3 : 2;
    return on;
}

bool ksLogger::begin(ksLogRecord*) {
    return false;
}

void ksLogger::appendFormat(ksLogRecord* record, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    appendFormatV(record, format, arguments);
    va_end(arguments);
}

void ksLogger::appendFormatV(ksLogRecord* record, const char* format, va_list arguments) {
    if (!format || format[0] == 0)
        return;
    if (record->bufferSize <= 0 || !record->buffer || ksOptions.loaded != 1)
        return;
    int n =
        ksFormatBufferV(record->buffer, static_cast<size_t>(record->bufferSize), format, arguments);
    if (n <= 0) {
        record->textLength = 0;
    } else if (n < record->bufferSize) {
        record->textLength = n;
    } else {
        // Cut: keep bufferSize - 1 bytes; a line keeps its newline in the last of them,
        // so that it does not run into the next one.
        record->textLength = record->bufferSize - 1;
        if (format[std::strlen(format) - 1] == '\n')
            record->buffer[record->textLength - 1] = '\n';
    }
    record->format = format;
    write(record, record->buffer, static_cast<uint64_t>(record->textLength));
}

// "Buffer pointer=%p length=%d" and then lines of 16 bytes: hex groups, a hyphen and the
// printable characters, the last line padded so that its hyphen stays in the column.
void ksLogger::appendBuffer(ksLogRecord* record, const void* data, uint64_t length) {
    appendFormat(record, "Buffer pointer=%p length=%d\n", data,
                 static_cast<int>(static_cast<int32_t>(length)));
    if (!data)
        return; // nothing to read, whatever the length claims
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    char line[256];
    for (uint64_t start = 0; start < length; start += bytesPerDumpLine) {
        uint64_t count = length - start < bytesPerDumpLine ? length - start : bytesPerDumpLine;
        size_t at = 0;
        line[at++] = ' ';
        line[at++] = ' ';
        line[at++] = ' ';
        for (uint64_t i = 0; i < count; ++i) {
            line[at++] = hexDigit(bytes[start + i] >> 4);
            line[at++] = hexDigit(bytes[start + i]);
            line[at++] = ' ';
        }
        for (uint64_t i = count; i < bytesPerDumpLine; ++i) {
            line[at++] = ' ';
            line[at++] = ' ';
            line[at++] = ' ';
        }
        line[at++] = '-';
        line[at++] = ' ';
        for (uint64_t i = 0; i < count; ++i) {
            unsigned char c = bytes[start + i];
            line[at++] = c >= 32 && c <= 127 ? static_cast<char>(c) : '.';
        }
        line[at] = 0;
        appendFormat(record, "%s\n", line);
    }
}

// Printable ASCII as itself, every other unit as \uXXXX; stops after 400 characters.
void ksLogger::appendWide(ksLogRecord* record, const ksLogUnit* text, uint64_t count) {
    char converted[416];
    uint64_t produced = 0;
    for (uint64_t i = 0; text && i < count && produced < wideTextLimit; ++i) {
        unsigned unit = static_cast<uint16_t>(text[i]);
        if (unit >= 32 && unit <= 127) {
            converted[produced++] = static_cast<char>(unit);
        } else {
            const char* digits = "0123456789abcdef";
            converted[produced++] = '\\';
            converted[produced++] = 'u';
            for (int shift = 12; shift >= 0; shift -= 4)
                converted[produced++] = digits[(unit >> shift) & 15];
        }
    }
    converted[produced] = 0;
    write(record, converted, produced);
}

void ksLogger::write(ksLogRecord*, const char*, uint64_t) {}

// The timestamp is formatted once per record; every logger writes the same text.
void ksLogger::writeTime(ksLogRecord* record) {
    if (record->timeLength == 0) {
        int n = ksFormatTimeText(record->timeText, sizeof record->timeText,
                                 ksPlatform::localTime(), ksOptions.showDate != 0);
        record->timeLength = n > 0 ? static_cast<uint64_t>(n) : 0;
        if (record->timeLength >= sizeof record->timeText)
            record->timeLength = sizeof record->timeText - 1;
    }
    write(record, record->timeText, record->timeLength);
}

void ksLogger::writeThread(ksLogRecord* record) {
    ksWriteHex8(ksOptions.threadIdText, ksPlatform::currentThreadId()); // "%08x"
    appendFormat(record, "%s", ksOptions.threadIdText);
}

void ksLogger::writeApplication(ksLogRecord* record) {
    appendFormat(record, "%s", applicationName());
}

// Exactly 10 characters: the name cut or padded with blanks, or the id in 10 digits.
void ksLogger::writeModule(ksLogRecord* record) {
    int32_t unusedDefault = 0;
    const char* moduleText = moduleName(record->module, &unusedDefault);
    if (!moduleText) {
        appendFormat(record, "%010u", static_cast<unsigned>(record->module));
        return;
    }
    size_t length = std::strlen(moduleText);
    if (length > 10)
        length = 10;
    write(record, moduleText, length);
    if (length < 10)
        write(record, "          ", 10 - length);
}

void ksLogger::end(ksLogRecord*) {}

void ksLogger::writePrefix(ksLogRecord* record) {
    write(record, levelLetter(record->level), 2);
    writeTime(record);
    write(record, "|", 1);
    writeThread(record);
    write(record, "|", 1);
    writeModule(record);
    write(record, " ", 1);
}
