// ksLogFileOutput: a log file of the file sink's own, written by its handle: each line
// the sink hands over reaches the file with one system call, nothing is buffered in the
// process, and a reader of the file sees whole lines. The file lives as long as a
// service: it is followed when moved or deleted underneath, and rotated and retained as
// the "MaxSize", "Rotate", "Keep" and "MaxAge" settings say.
#pragma once
#include "platform/platform.h"
#include "sinks/LogOutput.h"
#include "sinks/RotatingLog.h"

class ksLogFileOutput : public ksLogOutput {
  public:
    // Null with errno set when the file cannot be opened.
    static ksLogFileOutput* open(const char* name, bool append);

    size_t write(const char* bytes, size_t count) override;
    bool flush() override { return true; } // every write has reached the file
    void setFirstLine(const char* line, size_t length) override {
        log_.setFirstLine(line, length);
    }

  private:
    ksLogFileOutput(const char* pattern, const ksRotationSettings& settings);

    ksRotatingLog log_;
    bool atLineStart_ = true;
};
