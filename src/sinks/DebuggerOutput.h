// ksDebuggerOutput: the debugger's output window as the file sink's output
// ("File=debugger", Windows): each line the sink hands over is one call of the system's
// debugger output, in UTF-16.
#pragma once
#include "platform/platform.h"
#include "sinks/LogOutput.h"

class ksDebuggerOutput : public ksLogOutput {
  public:
    size_t write(const char* bytes, size_t count) override {
        ksPlatform::writeDebuggerOutput(bytes, count);
        return count;
    }
    bool flush() override { return true; }
};
