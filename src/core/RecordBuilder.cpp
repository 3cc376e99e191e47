// The record builder.
#include "core/RecordBuilder.h"
#include <cstdlib>
#include <cstring>
#include "core/HexDump.h"
#include "core/Logger.h"
#include "core/Options.h"
#include "core/Timestamp.h"
#include "core/WideText.h"
#include "foundation/CopyShort.h"
#include "foundation/Fatal.h"
#include "foundation/Format.h"

namespace {

constexpr size_t initialCapacity = 512;

bool takesPart(ksLogger* logger, const ksLogRecord& record) {
    return record.level < logger->threshold() && logger->isModuleEnabled(record.module);
}

} // namespace

ksRecordBuilder::~ksRecordBuilder() {
    std::free(takers_);
    std::free(line_);
}

void* ksRecordBuilder::operator new(size_t size) {
    return ksMalloc(size);
}
void ksRecordBuilder::operator delete(void* block) {
    std::free(block);
}

bool ksRecordBuilder::start(ksLogRecord* record, ksLogger* first) {
    if (!line_)
        grow(initialCapacity);
    // Open while the sinks are asked: nothing they do may begin another record.
    phase_ = Phase::open;
    record_ = record;
    takerCount_ = 0;
    end_ = kLinePrefixSize;
    line_[end_] = 0;
    prefixStart_ = kLinePrefixSize;
    for (ksLogger* logger = first; logger; logger = logger->next()) {
        if (!takesPart(logger, *record))
            continue;
        ksSinkStart answer = logger->begin(record);
        if (answer != ksSinkStart::refused)
            take(logger, answer == ksSinkStart::line);
    }
    if (takerCount_ == 0)
        phase_ = Phase::closed;
    return takerCount_ != 0;
}

// The prefix is rendered once, when the first sink that starts a line takes the record:
// the record's timestamp is the moment it began.
void ksRecordBuilder::take(ksLogger* logger, bool startsLine) {
    if (takerCount_ == takerCapacity_) {
        takerCapacity_ = takerCapacity_ ? takerCapacity_ * 2 : 4;
        takers_ = static_cast<Taker*>(ksRealloc(takers_, takerCapacity_ * sizeof(Taker)));
    }
    takers_[takerCount_++] = Taker{logger, startsLine};
    if (startsLine && prefixStart_ == kLinePrefixSize)
        prefixStart_ = kLinePrefixSize - renderLinePrefix(record_, line_ + kLinePrefixSize);
}

void ksRecordBuilder::grow(size_t needed) {
    if (needed < capacity_)
        ksFatalError("memory:realloc", static_cast<size_t>(-1)); // the sum overflowed
    size_t grown = capacity_ * 2 > needed ? capacity_ * 2 : needed;
    line_ = static_cast<char*>(ksRealloc(line_, grown));
    capacity_ = grown;
}

// The text stays terminated, for the application functions that read it as a C string.
void ksRecordBuilder::append(const char* bytes, size_t count) {
    if (count == 0)
        return;
    size_t needed = end_ + count + 1;
    if (needed > capacity_)
        grow(needed);
    ksCopyShort(line_ + end_, bytes, count);
    end_ += count;
    line_[end_] = 0;
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
        ksFormatBufferV(record->buffer, static_cast<size_t>(record->bufferSize), format, arguments);
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
    append(record_->buffer, static_cast<size_t>(length));
}

void ksRecordBuilder::appendLine(const char* format, va_list arguments) {
    appendFormatted(format, arguments);
    append("\n", 1);
}

void ksRecordBuilder::appendHexDump(const void* data, uint64_t length) {
    hexDump(
        data, length,
        [](void* builder, const char* bytes, size_t count) {
            static_cast<ksRecordBuilder*>(builder)->append(bytes, count);
        },
        this);
}

void ksRecordBuilder::appendWideText(const ksLogUnit* text, uint64_t count) {
    char converted[kWideTextBufferSize];
    append(converted, escapeWideText(text, count, converted));
}

// A sink may run application code (a callback, a logger created or destroyed): the
// takers are read afresh at every step, and the record refuses appends meanwhile.
void ksRecordBuilder::finish() {
    phase_ = Phase::ending;
    const char* text = line_ + kLinePrefixSize;
    uint64_t textLength = end_ - kLinePrefixSize;
    for (uint32_t i = 0; i < takerCount_; ++i) {
        ksLogger* sink = takers_[i].sink;
        if (!sink)
            continue;
        if (takers_[i].startsLine)
            sink->deliver(record_, line_ + prefixStart_, end_ - prefixStart_);
        else
            sink->deliver(record_, text, textLength);
    }
    takerCount_ = 0;
    record_ = nullptr;
    forgetRecordClock();
    phase_ = Phase::closed;
}

void ksRecordBuilder::forget(ksLogger* logger) {
    for (uint32_t i = 0; i < takerCount_; ++i)
        if (takers_[i].sink == logger)
            takers_[i].sink = nullptr;
}
