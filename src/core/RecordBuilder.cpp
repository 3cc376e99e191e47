// The record builder.
#include "core/RecordBuilder.h"
#include <cstring>
#include "core/HexDump.h"
#include "core/Logger.h"
#include "core/Options.h"
#include "core/WideText.h"
#include "foundation/Format.h"

ksRecordFormatter ksRecordFormat = ksFormatBufferV;

namespace {

bool takesPart(ksLogger* logger, const ksLogRecord& record) {
    return record.level < logger->threshold() && logger->isModuleEnabled(record.module);
}

} // namespace

bool ksRecordBuilder::start(ksLogRecord* record, ksLogger* first) {
    record_ = record;
    takers_ = nullptr;
    prefixLength_ = 0;
    ksLogger** tail = &takers_;
    for (ksLogger* logger = first; logger; logger = logger->next()) {
        if (!takesPart(logger, *record))
            continue;
        ksSinkStart answer = logger->begin(record);
        if (answer != ksSinkStart::refused)
            take(logger, answer == ksSinkStart::line, tail);
    }
    return takers_ != nullptr;
}

// Linked behind the earlier takers, so that every phase visits the newest sink first.
// A sink that starts a line gets the prefix at once, after its own opening bytes.
void ksRecordBuilder::take(ksLogger* logger, bool startsLine, ksLogger**& tail) {
    logger->nextTaker_ = nullptr;
    *tail = logger;
    tail = &logger->nextTaker_;
    if (!startsLine)
        return;
    if (prefixLength_ == 0)
        prefixLength_ = renderLinePrefix(record_, prefix_);
    logger->write(prefix_, prefixLength_);
}

void ksRecordBuilder::deliver(const char* bytes, uint64_t count) {
    if (count == 0)
        return;
    for (ksLogger* logger = takers_; logger; logger = logger->nextTaker_)
        logger->write(bytes, count);
}

// The record's textLength and format tell what the latest formatted append produced.
// A text longer than the buffer keeps its first bufferSize - 1 bytes, and a line its
// newline in the last of them, so that it does not run into the next one.
int32_t ksRecordBuilder::formatIntoSharedBuffer(const char* format, va_list arguments) {
    ksLogRecord* record = record_;
    if (!format || format[0] == 0)
        return 0;
    if (record->bufferSize <= 0 || !record->buffer || ksOptions.loaded != 1)
        return 0;
    int n =
        ksRecordFormat(record->buffer, static_cast<size_t>(record->bufferSize), format, arguments);
    if (n <= 0) {
        record->textLength = 0;
    } else if (n < record->bufferSize) {
        record->textLength = n;
    } else {
        record->textLength = record->bufferSize - 1;
        if (format[std::strlen(format) - 1] == '\n')
            record->buffer[record->textLength - 1] = '\n';
    }
    record->format = format;
    return record->textLength;
}

void ksRecordBuilder::appendFormatted(const char* format, va_list arguments) {
    record_->textLength = 0;
    int32_t length = formatIntoSharedBuffer(format, arguments);
    deliver(record_->buffer, static_cast<uint64_t>(length));
}

void ksRecordBuilder::appendLine(uint32_t indent, const char* format, va_list arguments) {
    static const char tabs[] = "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t";
    for (uint32_t left = indent; left > 0;) {
        uint32_t some = left < sizeof tabs - 1 ? left : sizeof tabs - 1;
        deliver(tabs, some);
        left -= some;
    }
    appendFormatted(format, arguments);
    deliver("\n", 1);
}

void ksRecordBuilder::appendHexDump(const void* data, uint64_t length) {
    hexDump(
        data, length,
        [](void* builder, const char* bytes, size_t count) {
            static_cast<ksRecordBuilder*>(builder)->deliver(bytes, count);
        },
        this);
}

void ksRecordBuilder::appendWideText(const ksLogUnit* text, uint64_t count) {
    char converted[kWideTextBufferSize];
    deliver(converted, escapeWideText(text, count, converted));
}

void ksRecordBuilder::finish() {
    while (ksLogger* logger = takers_) {
        takers_ = logger->nextTaker_;
        logger->nextTaker_ = nullptr;
        logger->end(record_);
    }
    record_ = nullptr;
}

void ksRecordBuilder::forget(ksLogger* logger) {
    for (ksLogger** link = &takers_; *link; link = &(*link)->nextTaker_) {
        if (*link == logger) {
            *link = logger->nextTaker_;
            return;
        }
    }
}
