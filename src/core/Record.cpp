// The exported record functions: ksLog_WillLog, ksLog_Begin, the appends and ksLog_End.
// Each phase visits the loggers from the newest and offers the record to those whose
// threshold is above its level and whose switch for its module is on.
#include "core/Library.h"
#include "core/Logger.h"

namespace {

bool takesPart(ksLogger* logger, const ksLogRecord& record) {
    return record.level < logger->threshold() && logger->isModuleEnabled(record.module);
}

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

void appendFormatToAll(const char* format, va_list arguments, bool asLine) {
    ksLogDispatcher* dispatcher = dispatcherOfOpenRecord();
    if (!dispatcher)
        return;
    ksTheRecord.textLength = 0;
    for (ksLogger* logger = firstLogger(); logger; logger = logger->next()) {
        if (!takesPart(logger, ksTheRecord))
            continue;
        if (asLine)
            for (uint32_t i = 0; i < dispatcher->indent; ++i)
                logger->appendFormat(&ksTheRecord, "\t");
        va_list copy;
        va_copy(copy, arguments); // every logger formats the arguments from their start
        logger->appendFormatV(&ksTheRecord, format, copy);
        va_end(copy);
        if (asLine)
            logger->appendFormat(&ksTheRecord, "\n");
    }
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

namespace {

// Kept out of line so that the refusal in ksLog_Begin needs no stack frame.
[[gnu::noinline]] ksLogRecord* beginRecord(uint16_t level, uint16_t module) {
    if (!enterLibrary())
        return nullptr;
    resetRecord(level, module);
    bool accepted = false;
    for (ksLogger* logger = firstLogger(); logger; logger = logger->next())
        if (takesPart(logger, ksTheRecord))
            accepted = logger->begin(&ksTheRecord) || accepted;
    if (accepted) {
        currentDispatcher()->current = &ksTheRecord;
        return &ksTheRecord; // the lock stays held until ksLog_End
    }
    leaveLibrary();
    return nullptr;
}

} // namespace

ksLogRecord* ksLog_Begin(uint16_t level, uint16_t module) {
    if (level >= globalLevel())
        return nullptr; // the common case: one comparison, no lock
    return beginRecord(level, module);
}

void ksLog_Append_F(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    appendFormatToAll(format, arguments, false);
    va_end(arguments);
}

void ksLog_Append_VF(const char* format, va_list arguments) {
    appendFormatToAll(format, arguments, false);
}

void ksLog_Append_FN(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    appendFormatToAll(format, arguments, true);
    va_end(arguments);
}

void ksLog_Append_B(const void* data, uint64_t length) {
    if (!dispatcherOfOpenRecord())
        return;
    for (ksLogger* logger = firstLogger(); logger; logger = logger->next())
        if (takesPart(logger, ksTheRecord))
            logger->appendBuffer(&ksTheRecord, data, length);
}

void ksLog_Append_U(const ksLogUnit* text, uint64_t count) {
    if (!dispatcherOfOpenRecord())
        return;
    for (ksLogger* logger = firstLogger(); logger; logger = logger->next())
        if (takesPart(logger, ksTheRecord))
            logger->appendWide(&ksTheRecord, text, count);
}

void ksLog_End(ksLogRecord*) {
    ksLogDispatcher* dispatcher = dispatcherOfOpenRecord();
    if (!dispatcher)
        return;
    dispatcher->ending = true;
    for (ksLogger* logger = firstLogger(); logger; logger = logger->next())
        if (takesPart(logger, ksTheRecord))
            logger->end(&ksTheRecord);
    dispatcher->ending = false;
    dispatcher->current = nullptr;
    finishDeferredNeverLog();
    leaveLibrary();
}
