// A log file as the file sink's output.
#include "sinks/LogFileOutput.h"
#include <cerrno>
#include "config/Settings.h"
#include "core/Timestamp.h"
#include "foundation/Format.h"

namespace {

constexpr const char* kSection = "File";

} // namespace

ksLogFileOutput::ksLogFileOutput(const char* pattern, const ksRotationSettings& settings)
    : log_(pattern, applicationName(), settings) {
    char firstLine[128]; // the application name has at most 63 bytes
    int length = ksFormatBuffer(firstLine, sizeof firstLine, "NAME: %s (log started)\n",
                                applicationName());
    if (length > 0 && length < static_cast<int>(sizeof firstLine))
        log_.setFirstLine(firstLine, static_cast<size_t>(length));
}

// The pattern and the rotation keys are read here, without populate write-back: the sink
// has read (and written back) "File" already.
ksLogFileOutput* ksLogFileOutput::open(const char* name, bool append) {
    ksString pattern = ksReadSetting(kSection, "File", ksString(name), false, true);
    ksLogFileOutput* output = new ksLogFileOutput(pattern, readRotationSettings(kSection));
    if (output->log_.open(name, append, recordClock()))
        return output;
    int error = errno;
    delete output;
    errno = error;
    return nullptr;
}

size_t ksLogFileOutput::write(const char* bytes, size_t count) {
    size_t put = log_.write(bytes, count, atLineStart_, recordClock());
    if (put > 0)
        atLineStart_ = bytes[put - 1] == '\n';
    return put;
}
