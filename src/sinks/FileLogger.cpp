// ksFileLogger and ksLogger_File_Init.
#include "sinks/FileLogger.h"
#include <cstdio>
#include <cstring>
#include "config/Settings.h"
#include "core/Level.h"
#include "core/Library.h"
#include "foundation/Format.h"
#include "foundation/Message.h"
#include "sinks/LogFileName.h"

namespace {

ksFileLogger* theFileLogger = nullptr; // guarded by the library lock

} // namespace

ksFileLogger::ksFileLogger() : ksLogger("File", true) {
    theFileLogger = this;
    setThreshold(parseLevel(this, "Off"));
    // Read once here so that populate mode writes them to the settings file.
    getOwnSetting("File", "stderr");
    getOwnIntSetting("Append", 0);
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
    output_ = openLogOutput(name, append);
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
    char firstLine[128]; // the application name has at most 63 bytes
    int length = ksFormatBuffer(firstLine, sizeof firstLine, "\nNAME: %s (log started)\n",
                                applicationName());
    int skip = endCutLine ? 0 : 1;
    if (length > 1 && length < static_cast<int>(sizeof firstLine))
        keepOpenLine(firstLine + skip, static_cast<size_t>(length - skip));
    return true;
}

ksSinkStart ksFileLogger::begin(ksLogRecord*) {
    if (!output_ && !open())
        return ksSinkStart::refused;
    return lastByte_ == '\n' ? ksSinkStart::line : ksSinkStart::text;
}

// A record that ends its line goes out with one write (behind the open line that earlier
// records left, if any); the standard streams are flushed then.
void ksFileLogger::deliver(ksLogRecord*, const char* bytes, uint64_t count) {
    if (count == 0)
        return;
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
}

// Said once, with the system's reason, until a write succeeds again: a full disk would
// otherwise bring one message per record.
void ksFileLogger::writeFailed() {
    if (!failing_)
        ksSayError("ksFileLogger");
    failing_ = true;
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
