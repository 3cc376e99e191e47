// ksLogOutput: where the file sink's lines go, chosen from the "File" setting when the
// sink opens: a log file of its own, or one of the standard streams it shares with the
// application. The sink hands an output whole lines where it can, and tells it when a
// line is complete.
#pragma once
#include <cstddef>

class ksLogOutput {
  public:
    virtual ~ksLogOutput() = default;
    // Outputs come from the checked allocator: no exception can leave a constructor call.
    static void* operator new(size_t size);
    static void operator delete(void* block);

    // The bytes that reached the output: all of them on success, fewer on failure with
    // errno set (a full disk may take the first part of a line).
    virtual size_t write(const char* bytes, size_t count) = 0;
    // A line is complete: what the output still holds goes on. False (errno set) when
    // that failed.
    virtual bool flush() = 0;
};

// Exactly "stderr" and "stdout" name the standard streams; any other spelling is a file.
bool isStandardStreamName(const char* name);

// The output that name ("stderr", "stdout", or a file name) designates, opened for
// writing (a file after its end when append is true, emptied otherwise); null with
// errno set when it cannot be opened. Release with delete.
ksLogOutput* openLogOutput(const char* name, bool append);
