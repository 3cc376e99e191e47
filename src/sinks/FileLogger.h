// ksFileLogger: the file sink. Records become text lines in a log file whose name is a
// pattern with date, time and application name, or on the standard error or output
// stream. The stream opens when the first accepted record begins and stays open; a
// failed opening or write is retried at the next accepted record.
#pragma once
#include <cstdint>
#include <cstdio>
#include "core/Logger.h"

class ksFileLogger : public ksLogger {
  public:
    ksFileLogger();
    ~ksFileLogger() override;

    ksSinkStart begin(ksLogRecord* record) override;
    void write(const char* bytes, uint64_t count) override;
    void end(ksLogRecord* record) override;
    virtual bool isOpen() const { return stream_ != nullptr; }

    // The one file sink of the process, or null.
    static ksFileLogger* instance();

  private:
    bool open();
    void handOver();
    void putToStream(const char* bytes, size_t count);
    void writeFailed();
    void close();

    std::FILE* stream_ = nullptr;
    // The last byte of the latest non-empty write: '\n' means the next record starts a line.
    char lastByte_ = '\n';
    // Set once this process opened a file, and kept past ksLog_Term (the exit-time one
    // too): no later opening within the run, by this sink or a new one, empties what was
    // written before. Guarded by the library lock.
    static inline bool appendFromNowOn_ = false;
    // The bytes that reached the stream end a line; false after a write cut a line short.
    bool streamAtLineStart_ = true;
    // The name of the latest opening: only a reopening of the same log ends a cut line.
    ksString openedName_;
    // A write or flush failed and was reported; cleared by a write that succeeds.
    bool failing_ = false;
    // The pieces (prefix fields, text) of the current line, handed to the stream in one
    // call when a record ends the line.
    uint32_t pendingLength_ = 0;
    char pending_[4096];
};
