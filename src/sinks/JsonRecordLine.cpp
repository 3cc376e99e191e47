// The JSON layout's fields, taken from the record, the module table, the clock and the
// process.
#include "sinks/JsonRecordLine.h"
#include <cstdlib>
#include "config/Settings.h"
#include "core/JsonLine.h"
#include "core/Modules.h"
#include "core/Timestamp.h"
#include "foundation/Fatal.h"
#include "platform/platform.h"

ksJsonRecordLine::~ksJsonRecordLine() {
    std::free(buffer_);
}

const char* ksJsonRecordLine::render(ksLogRecord* record, const char* text, size_t count,
                                     size_t* length) {
    stampRecord(record);
    const ksPlatform::LocalTime& time = stampedLocalTime();
    int32_t unusedDefault = 0;
    ksJsonRecord fields{time,
                        utcOffsetMinutes(time, ksPlatform::wallClockMicroseconds()),
                        record->level,
                        record->module,
                        moduleName(record->module, &unusedDefault),
                        ksPlatform::currentProcessId(),
                        ksPlatform::currentThreadId(),
                        applicationName(),
                        text,
                        count};
    size_t bound = jsonLineBound(fields);
    if (bound > capacity_) {
        buffer_ = static_cast<char*>(ksRealloc(buffer_, bound));
        capacity_ = bound;
    }
    *length = renderJsonLine(fields, buffer_);
    return buffer_;
}
