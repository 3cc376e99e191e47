// The exported record functions: ksLog_WillLog, ksLog_Begin, the appends and ksLog_End.
// ksLog_Begin decides which sinks take the record; the appends and ksLog_End go through
// the record builder to exactly those.
#include "core/Library.h"
#include "core/Logger.h"

namespace {

// Every field to zero except the shared buffer, which stays from record to record.
// (Field by field: a memset or a copy of a fresh record costs more than these stores.)
void resetRecord(uint16_t level, uint16_t module) {
    ksLogRecord& record = ksTheRecord;
    record.level = level;
    record.module = module;
    record.file = nullptr;
    record.line = 0;
    for (char& c : record.timeText)
        c = 0;
    record.timeLength = 0;
    record.textLength = 0;
    record.format = nullptr;
}

// Kept out of line so that the refusal in ksLog_Begin needs no stack frame.
[[gnu::noinline]] ksLogRecord* beginRecord(uint16_t level, uint16_t module) {
    if (!enterLibrary())
        return nullptr;
    resetRecord(level, module);
    if (recordBuilder()->start(&ksTheRecord, firstLogger()))
        return &ksTheRecord; // the lock stays held until ksLog_End
    leaveLibrary();
    return nullptr;
}

void appendFormatted(const char* format, va_list arguments, bool asLine) {
    ksRecordBuilder* builder = builderOfOpenRecord();
    if (!builder)
        return;
    if (asLine)
        builder->appendLine(format, arguments);
    else
        builder->appendFormatted(format, arguments);
}

} // namespace

int32_t ksLog_WillLog(uint16_t level, uint16_t module) {
    if (level >= globalLevel())
        return 0;
    if (!enterLibrary())
        return 0;
    bool wanted = false;
    for (ksLogger* logger = firstLogger(); logger; logger = logger->next())
        if (level != 0 && level <= logger->threshold() && logger->isModuleEnabled(module))
            wanted = true;
    leaveLibrary();
    return wanted ? 1 : 0;
}

ksLogRecord* ksLog_Begin(uint16_t level, uint16_t module) {
    if (level >= globalLevel())
        return nullptr; // the common case: one comparison, no lock
    return beginRecord(level, module);
}

void ksLog_Append_F(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    appendFormatted(format, arguments, false);
    va_end(arguments);
}

// The caller's list stays as it was given: it may read it again after the call.
void ksLog_Append_VF(const char* format, va_list arguments) {
    va_list copy;
    va_copy(copy, arguments);
    appendFormatted(format, copy, false);
    va_end(copy);
}

void ksLog_Append_FN(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    appendFormatted(format, arguments, true);
    va_end(arguments);
}

void ksLog_Append_B(const void* data, uint64_t length) {
    if (ksRecordBuilder* builder = builderOfOpenRecord())
        builder->appendHexDump(data, length);
}

void ksLog_Append_U(const ksLogUnit* text, uint64_t count) {
    if (ksRecordBuilder* builder = builderOfOpenRecord())
        builder->appendWideText(text, count);
}

void ksLog_End(ksLogRecord*) {
    ksRecordBuilder* builder = builderOfOpenRecord();
    if (!builder)
        return;
    builder->finish();
    finishDeferredNeverLog();
    leaveLibrary();
}
