// ksFileLogger: the file sink. Records become text lines in a log file whose name is a
// pattern with date, time and application name, or on the standard error or output
// stream. The output opens when the first accepted record begins and stays open; a
// failed opening or write is retried at the next accepted record.
#pragma once
#include <cstdint>
#include "core/Logger.h"
#include "sinks/JsonRecordLine.h"
#include "sinks/LogOutput.h"

class ksFileLogger : public ksLogger {
  public:
    ksFileLogger();
    ~ksFileLogger() override;

    ksSinkStart begin(ksLogRecord* record) override;
    void deliver(ksLogRecord* record, const char* bytes, uint64_t count) override;


  private:
    bool open();
    void startLog();
    void deliverRecord(ksLogRecord* record, const char* bytes, uint64_t count);
    void put(const char* bytes, size_t count);
    void keepOpenLine(const char* bytes, size_t count);
    void handOverOpenLine();
    void writeFailed();
    void tellLost();
    void close();

    ksLogOutput* output_ = nullptr;
    // Layout=json: each record one JSON object, rendered here.
    bool jsonLayout_ = false;
    // The JSON layout, or an output that lays records out itself: no line prefix.
    bool laysOutRecords_ = false;
    ksJsonRecordLine json_;
    // The last byte delivered: '\n' means the next record starts a line.
    char lastByte_ = '\n';
    // Set once this process opened a file, and kept past ksLog_Term (the exit-time one
    // too): no later opening within the run, by this sink or a new one, empties what was
    // written before. Guarded by the library lock.
    static inline bool appendFromNowOn_ = false;
    // The bytes that reached the output end a line; false after a write cut a line short.
    bool outputAtLineStart_ = true;
    // The name of the latest opening: only a reopening of the same log ends a cut line.
    ksString openedName_;
    // The errno of the last opening that failed and was reported; 0 after an opening.
    int openFailure_ = 0;
    // A write or flush failed and was reported; cleared by a write that succeeds.
    bool failing_ = false;
    // Records that did not reach the output since the last that did, and the part of
    // them that the "LOST" line waiting in the open line reports.
    uint64_t lost_ = 0;
    uint64_t lostInLine_ = 0;
    // A line that no record has ended yet waits here, so that readers of the log see
    // whole lines; records that end their line (nearly all) go out straight.
    uint32_t openLength_ = 0;
    char openLine_[4096];
};
