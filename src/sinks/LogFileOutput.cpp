// A log file as the file sink's output.
#include "sinks/LogFileOutput.h"

ksLogFileOutput* ksLogFileOutput::open(const char* name, bool append) {
    ksPlatform::FileHandle file = ksPlatform::openLogFile(name, append);
    if (file == ksPlatform::kNoFile)
        return nullptr;
    return new ksLogFileOutput(file);
}

ksLogFileOutput::~ksLogFileOutput() {
    ksPlatform::closeLogFile(file_);
}

size_t ksLogFileOutput::write(const char* bytes, size_t count) {
    return ksPlatform::recordCalls.writeLog(file_, bytes, count);
}
