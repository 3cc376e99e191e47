// ksLogDuration: a start record when an operation begins and an end record with the
// time it took when it ends, written through the exported record functions.
#include <cstdlib>
#include "foundation/Fatal.h"
#include "foundation/Format.h"
#include "ksLog.h"
#include "platform/platform.h"

namespace {

struct KindWords {
    const char* start;
    const char* end;
};

const KindWords kindWords[] = {{"Starting", "Started"}, {"Stopping", "Stopped"},
                               {"Loading", "Loaded"},   {"Unloading", "Unloaded"},
                               {"Running", "Done"},     {"Performing", "Performed"}};
constexpr int performKind = 5;  // an operation that only reports when it is done
constexpr int fallbackKind = 4; // what a kind outside the table is logged as

const char* const sourceFile = "..\\..\\LogDuration";

uint64_t nowMilliseconds() {
    return ksPlatform::wallClockMicroseconds() / 1000u;
}

} // namespace

ksLogDuration::ksLogDuration(uint16_t level, uint16_t module, int kind, const char* text)
    : level_(level), module_(module), kind_(kind >= 0 && kind <= 5 ? kind : fallbackKind),
      text_(const_cast<char*>(text)), started_(false), startTime_(0) {
    if (!ksLog_WillLog(level_, module_))
        return;
    if (kind_ != performKind) {
        if (ksLogRecord* record = ksLog_Begin(level_, module_)) {
            record->file = sourceFile;
            record->line = 51;
            ksLog_Append_F("%s: %s\n", kindWords[kind_].start, text_);
            ksLog_End(record);
        }
    }
    startTime_ = nowMilliseconds();
    started_ = true;
}

ksLogDuration::~ksLogDuration() {
    if (started_ && ksLog_WillLog(level_, module_)) {
        uint64_t elapsed = nowMilliseconds() - startTime_;
        unsigned long seconds = static_cast<uint32_t>(elapsed / 1000u);
        unsigned long milliseconds = static_cast<unsigned long>(elapsed % 1000u);
        if (ksLogRecord* record = ksLog_Begin(level_, module_)) {
            record->file = sourceFile;
            record->line = 70;
            ksLog_Append_F("%s : %s (%lu.%03lu seconds)\n", kindWords[kind_].end, text_, seconds,
                           milliseconds);
            ksLog_End(record);
        }
    }
    std::free(text_);
}

// Each object owns its own text: the assigned one gets a copy and frees its old text.
ksLogDuration& ksLogDuration::operator=(const ksLogDuration& other) {
    if (this == &other)
        return *this;
    char* copy = ksStrdup(other.text_);
    std::free(text_);
    text_ = copy;
    level_ = other.level_;
    module_ = other.module_;
    kind_ = other.kind_;
    started_ = other.started_;
    startTime_ = other.startTime_;
    return *this;
}

const char* ksLogDuration::ksLogDuration_F(const char* format, ...) {
    char text[256];
    text[0] = 0;
    if (format) {
        va_list arguments;
        va_start(arguments, format);
        ksFormatBufferV(text, sizeof text, format, arguments);
        va_end(arguments);
    }
    text[sizeof text - 1] = 0;
    return ksStrdup(text);
}
