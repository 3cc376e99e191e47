// ksLogFileOutput: a log file of the file sink's own, written by its handle: each line
// the sink hands over reaches the file with one system call, nothing is buffered in the
// process, and a reader of the file sees whole lines.
#pragma once
#include "platform/platform.h"
#include "sinks/LogOutput.h"

class ksLogFileOutput : public ksLogOutput {
  public:
    // Null with errno set when the file cannot be opened.
    static ksLogFileOutput* open(const char* name, bool append);
    ~ksLogFileOutput() override;

    size_t write(const char* bytes, size_t count) override;
    bool flush() override { return true; } // every write has reached the file

  private:
    explicit ksLogFileOutput(ksPlatform::FileHandle file) : file_(file) {}

    ksPlatform::FileHandle file_;
};
