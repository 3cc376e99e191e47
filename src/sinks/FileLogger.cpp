// ksFileLogger and ksLogger_File_Init.
#include "sinks/FileLogger.h"
#include <cstring>
#include "config/Settings.h"
#include "core/Level.h"
#include "core/Library.h"
#include "foundation/CopyShort.h"
#include "foundation/Format.h"
#include "platform/platform.h"
#include "sinks/LogFileName.h"

namespace {

ksFileLogger* theFileLogger = nullptr; // guarded by the library lock

bool isStandardStream(std::FILE* stream) {
    return stream == stderr || stream == stdout;
}

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
    if (stream_)
        handOver();
    if (stream_)
        close();
}

ksFileLogger* ksFileLogger::instance() {
    return theFileLogger;
}

bool ksFileLogger::open() {
    bool append = getOwnIntSetting("Append", 0) == 1 || appendFromNowOn_;
    ksString pattern = getOwnSetting("File", "stderr");
    ksPlatform::LocalTime now;
    bool timed = logFileTime(&now);
    ksString name = logFileName(pattern, timed ? &now : nullptr, applicationName());
    if (std::strcmp(name, "stderr") == 0) {
        stream_ = stderr;
    } else if (std::strcmp(name, "stdout") == 0) {
        stream_ = stdout;
    } else {
        stream_ = ksPlatform::openLogStream(name, append);
        if (stream_)
            appendFromNowOn_ = true;
    }
    if (!stream_) {
        std::perror("ksFileLogger");
        return false;
    }
    // A failed write may have left the last line of this same log without its end; a
    // log of another name starts empty or where an earlier run ended.
    bool endCutLine = !streamAtLineStart_ && std::strcmp(name, openedName_) == 0;
    if (!endCutLine)
        streamAtLineStart_ = true;
    openedName_ = name;
    pendingLength_ = 0;
    lastByte_ = '\n';
    if (endCutLine)
        write("\n", 1);
    char firstLine[128]; // the application name has at most 63 bytes
    int length =
        ksFormatBuffer(firstLine, sizeof firstLine, "NAME: %s (log started)\n", applicationName());
    if (length > 0 && length < static_cast<int>(sizeof firstLine))
        write(firstLine, static_cast<uint64_t>(length));
    return true;
}

ksSinkStart ksFileLogger::begin(ksLogRecord*) {
    if (!stream_ && !open())
        return ksSinkStart::refused;
    return lastByte_ == '\n' ? ksSinkStart::line : ksSinkStart::text;
}

void ksFileLogger::write(const char* bytes, uint64_t count) {
    if (count == 0 || !bytes)
        return;
    lastByte_ = bytes[count - 1];
    if (!stream_)
        return;
    if (count <= sizeof pending_ - pendingLength_) {
        ksCopyShort(pending_ + pendingLength_, bytes, static_cast<size_t>(count));
        pendingLength_ += static_cast<uint32_t>(count);
        return;
    }
    handOver();
    if (stream_)
        putToStream(bytes, static_cast<size_t>(count));
}

// An open line waits in the sink until a record ends it (or the sink's buffer is full):
// readers of the log see whole lines, and each line costs one write.
void ksFileLogger::end(ksLogRecord*) {
    if (!stream_ || lastByte_ != '\n')
        return;
    handOver();
    // A failed flush is a failed write: the bytes did not reach the file.
    if (stream_ && !ksPlatform::logStreamCalls.flush(stream_))
        writeFailed();
}

void ksFileLogger::handOver() {
    uint32_t length = pendingLength_;
    pendingLength_ = 0;
    if (length > 0)
        putToStream(pending_, length);
}

// A failed write closes the stream and drops the rest of the record; the next accepted
// record opens it again.
void ksFileLogger::putToStream(const char* bytes, size_t count) {
    size_t put = ksPlatform::logStreamCalls.write(stream_, bytes, count);
    if (put > 0)
        streamAtLineStart_ = bytes[put - 1] == '\n';
    if (put < count)
        return writeFailed();
    failing_ = false;
}

// Said once, with the system's reason, until a write succeeds again: a full disk would
// otherwise bring one message per record.
void ksFileLogger::writeFailed() {
    if (!failing_)
        std::perror("ksFileLogger");
    failing_ = true;
    close();
}

void ksFileLogger::close() {
    if (stream_ && !isStandardStream(stream_))
        std::fclose(stream_); // the standard streams belong to the process: only let go
    stream_ = nullptr;
    pendingLength_ = 0;
}

void ksLogger_File_Init() {
    ksLibraryLock lock;
    if (!theFileLogger && !isNeverLog())
        new ksFileLogger; // owned by the registry from here on
}
