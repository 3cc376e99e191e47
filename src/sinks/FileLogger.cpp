// ksFileLogger and ksLogger_File_Init.
#include "sinks/FileLogger.h"
#include <cstdio>
#include <cstring>
#include "config/Settings.h"
#include "core/Level.h"
#include "core/Library.h"
#include "foundation/Format.h"
#include "config/Message.h"
#include "sinks/Destinations.h"
#include "sinks/LogFileName.h"

namespace {

ksFileLogger* theFileLogger = nullptr; // guarded by the library lock

} // namespace

ksFileLogger::ksFileLogger() : ksLogger("File", true) {
    theFileLogger = this;
    setThreshold(parseLevel(this, "Off"));
    // Read once here so that populate mode writes them to the settings file.
    ksString target = getOwnSetting("File", "stderr");
    getOwnIntSetting("Append", 0);
    if (refuseDestination(target))
        setThreshold(0);
}

ksFileLogger::~ksFileLogger() {
    theFileLogger = nullptr;
    handOverOpenLine();
    close();
}

// Every opening starts with the log's first line, which waits with the first record's
// line. A failed write may have left the last line of this same log without its end,
// which goes in front of it; a log of another name starts empty or where an earlier run
// ended.
bool ksFileLogger::open() {
    bool append = getOwnIntSetting("Append", 0) == 1 || appendFromNowOn_;
    ksString pattern = getOwnSetting("File", "stderr");
    ksPlatform::LocalTime now;
    bool timed = logFileTime(&now);
    ksString name = logFileName(pattern, timed ? &now : nullptr, applicationName());
    output_ = isDestinationName(name) ? openDestination(this, name) : openLogOutput(name, append);
    if (!output_) {
        // Said once per failure: a folder that does not exist would otherwise bring one
        // message per record. A new reason, or a failure after an opening, is said again.
        int error = errno;
        if (openFailure_ != error)
            ksSayError("ksFileLogger");
        openFailure_ = error;
        return false;
    }
    openFailure_ = 0;
    if (!isStandardStreamName(name))
        appendFromNowOn_ = true;
    bool endCutLine = !outputAtLineStart_ && std::strcmp(name, openedName_) == 0;
    if (!endCutLine)
        outputAtLineStart_ = true;
    openedName_ = name;
    openLength_ = 0;
    lastByte_ = '\n';
    if (endCutLine)
        keepOpenLine("\n", 1);
    laysOutRecords_ = output_->takesRecords();
    if (laysOutRecords_)
        return true; // the system log has no first line
    jsonLayout_ = ksJsonRecordLine::chosenBy(this);
    laysOutRecords_ = jsonLayout_;
    startLog();
    tellLost();
    return true;
}

// The log's first line, which waits with the first record's line.
void ksFileLogger::startLog() {
    size_t length = 0;
    if (jsonLayout_) {
        const char* line = json_.renderLogStarted(&length);
        output_->setFirstLine(line, length); // each file a rotating log makes starts so too
        return keepOpenLine(line, length);
    }
    char firstLine[128]; // the application name has at most 63 bytes
    int n =
        ksFormatBuffer(firstLine, sizeof firstLine, "NAME: %s (log started)\n", applicationName());
    if (n > 0 && n < static_cast<int>(sizeof firstLine))
        keepOpenLine(firstLine, static_cast<size_t>(n));
}

// Where records went missing, the log says how many, in the daemon sink's words (an
// object of its own in a JSON log), before the first record that arrives again.
void ksFileLogger::tellLost() {
    lostInLine_ = 0;
    if (lost_ == 0)
        return;
    char report[48];
    int length =
        ksFormatBuffer(report, sizeof report, jsonLayout_ ? "{\"lost\":%llu}\n" : "LOST: %llu\n",
                       static_cast<unsigned long long>(lost_));
    if (length > 0 && length < static_cast<int>(sizeof report)) {
        keepOpenLine(report, static_cast<size_t>(length));
        lostInLine_ = lost_;
    }
}

ksSinkStart ksFileLogger::begin(ksLogRecord*) {
    if (!output_ && !open()) {
        lost_ += 1;
        return ksSinkStart::refused;
    }
    if (laysOutRecords_)
        return ksSinkStart::text; // each record laid out on its own
    return lastByte_ == '\n' ? ksSinkStart::line : ksSinkStart::text;
}

// A record that ends its line goes out with one write (behind the open line that earlier
// records left, if any); the standard streams are flushed then.
void ksFileLogger::deliver(ksLogRecord* record, const char* bytes, uint64_t count) {
    if (count == 0)
        return;
    if (output_ && laysOutRecords_)
        return deliverRecord(record, bytes, count);
    lastByte_ = bytes[count - 1];
    if (!output_)
        return;
    bool endsLine = lastByte_ == '\n';
    if (endsLine && openLength_ == 0)
        put(bytes, static_cast<size_t>(count));
    else
        keepOpenLine(bytes, static_cast<size_t>(count));
    if (!endsLine || !output_)
        return;
    handOverOpenLine();
    // A failed flush is a failed write: the bytes did not reach the output.
    if (output_ && !output_->flush())
        writeFailed();
}

// A record that its output or the JSON layout lays out on its own.
void ksFileLogger::deliverRecord(ksLogRecord* record, const char* bytes, uint64_t count) {
    if (output_->takesRecords())
        return output_->writeRecord(record, bytes, static_cast<size_t>(count));
    size_t length = 0;
    const char* line = json_.render(record, bytes, static_cast<size_t>(count), &length);
    if (openLength_ == 0) {
        put(line, length);
    } else { // behind the log's first line
        keepOpenLine(line, length);
        handOverOpenLine();
    }
    if (output_ && !output_->flush())
        writeFailed();
}

// A line longer than the room goes out in parts.
void ksFileLogger::keepOpenLine(const char* bytes, size_t count) {
    if (count > sizeof openLine_ - openLength_) {
        handOverOpenLine();
        if (output_)
            put(bytes, count);
        return;
    }
    std::memcpy(openLine_ + openLength_, bytes, count);
    openLength_ += static_cast<uint32_t>(count);
}

void ksFileLogger::handOverOpenLine() {
    uint32_t length = openLength_;
    openLength_ = 0;
    if (length > 0 && output_)
        put(openLine_, length);
}

// A failed write closes the output and drops the rest of the record; the next accepted
// record opens it again.
void ksFileLogger::put(const char* bytes, size_t count) {
    size_t written = output_->write(bytes, count);
    if (written > 0)
        outputAtLineStart_ = bytes[written - 1] == '\n';
    if (written < count)
        return writeFailed();
    failing_ = false;
    lost_ -= lostInLine_;
    lostInLine_ = 0;
}

// Said once, with the system's reason, until a write succeeds again: a full disk would
// otherwise bring one message per record.
void ksFileLogger::writeFailed() {
    if (!failing_)
        ksSayError("ksFileLogger");
    failing_ = true;
    lost_ += 1; // the record being written
    lostInLine_ = 0;
    close();
}

void ksFileLogger::close() {
    delete output_;
    output_ = nullptr;
    openLength_ = 0;
}

void ksLogger_File_Init() {
    ksLibraryLock lock;
    if (!theFileLogger && !isNeverLog())
        new ksFileLogger; // owned by the registry from here on
}
