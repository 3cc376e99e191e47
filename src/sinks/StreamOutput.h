// ksStreamOutput: the standard error or output stream. The application writes to the
// same stream, so records go through the C runtime's stream as its own output does and
// stay in order with it; the stream is flushed after each line and never closed.
#pragma once
#include <cstdio>
#include "sinks/LogOutput.h"

class ksStreamOutput : public ksLogOutput {
  public:
    explicit ksStreamOutput(std::FILE* stream) : stream_(stream) {}

    size_t write(const char* bytes, size_t count) override;
    bool flush() override;

  private:
    std::FILE* stream_;
};
