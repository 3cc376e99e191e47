// The JSON layout's fields, taken from the record, the module table, the clock and the
// process.
#include "sinks/JsonRecordLine.h"
#include <cstdlib>
#include "config/Settings.h"
#include "core/JsonLine.h"
#include "core/Logger.h"
#include "core/Modules.h"
#include "core/Timestamp.h"
#include "foundation/Fatal.h"
#include "platform/platform.h"

ksJsonRecordLine::~ksJsonRecordLine() {
    std::free(buffer_);
}

namespace {

bool isJson(const char* name) {
    const char* json = "json";
    for (; *name && *json; ++name, ++json)
        if ((*name | 0x20) != *json)
            return false;
    return *name == *json;
}

ksJsonRecord fieldsAt(const ksPlatform::LocalTime& time) {
    ksJsonRecord fields{};
    fields.time = time;
    fields.utcOffsetMinutes = utcOffsetMinutes(time, ksPlatform::wallClockMicroseconds());
    fields.processId = ksPlatform::currentProcessId();
    fields.threadId = ksPlatform::currentThreadId();
    fields.application = applicationName();
    fields.text = "";
    return fields;
}

} // namespace

bool ksJsonRecordLine::chosenBy(ksLogger* sink) {
    bool readFiles = !(sink->flags() & ksLogger::noConfig);
    return isJson(ksReadSetting(sink->name(), "Layout", ksString("text"), false, readFiles));
}

const char* ksJsonRecordLine::render(ksLogRecord* record, const char* text, size_t count,
                                     size_t* length) {
    stampRecord(record);
    ksJsonRecord fields = fieldsAt(stampedLocalTime());
    int32_t unusedDefault = 0;
    fields.level = record->level;
    fields.module = record->module;
    fields.moduleName = moduleName(record->module, &unusedDefault);
    fields.text = text;
    fields.textLength = count;
    return renderFields(fields, false, length);
}

const char* ksJsonRecordLine::renderLogStarted(size_t* length) {
    return renderFields(fieldsAt(ksPlatform::localTime()), true, length);
}

const char* ksJsonRecordLine::renderFields(const ksJsonRecord& fields, bool started,
                                           size_t* length) {
    size_t bound = jsonLineBound(fields);
    if (bound > capacity_) {
        buffer_ = static_cast<char*>(ksRealloc(buffer_, bound));
        capacity_ = bound;
    }
    *length = started ? renderJsonLogStarted(fields, buffer_) : renderJsonLine(fields, buffer_);
    return buffer_;
}
