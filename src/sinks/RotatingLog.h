// ksRotatingLog: a log file that a service writes for months. It follows its name when
// the file is moved or deleted underneath, starts a new file when the rotation policy
// says so (renaming the full one, or opening the next name of a pattern with time
// tokens), lets retention clear old files, and agrees with other processes writing the
// same file that one of them rotates and the others follow.
//
// The hot path is write at the start of a line: two comparisons and, once a second, a
// look at the file's identity; everything else happens at a rotation.
#pragma once
#include <cstddef>
#include <cstdint>
#include "foundation/String.h"
#include "platform/platform.h"
#include "sinks/LogFamily.h"
#include "sinks/RotationPolicy.h"
#include "sinks/RotationSettings.h"

// Seconds since 1970 of a clock reading in microseconds.
inline int64_t secondOf(uint64_t microseconds) {
    return static_cast<int64_t>(microseconds / 1000000u);
}

class ksRotatingLog {
  public:
    ksRotatingLog(const char* pattern, const char* application,
                  const ksRotationSettings& settings);
    ~ksRotatingLog();
    ksRotatingLog(const ksRotatingLog&) = delete;
    ksRotatingLog& operator=(const ksRotatingLog&) = delete;

    // Opens name, the file the pattern names now (now: microseconds since 1970), after
    // its end when append is true, emptied otherwise. False with errno set on failure.
    bool open(const char* name, bool append, uint64_t now);
    // Writes bytes with one system call (through ksPlatform::recordCalls). At the start of a line (lineStart) the file is
    // first replaced when it was moved away or is due for rotation; a new file begins
    // with firstLine. The bytes that reached the file: fewer than count on failure.
    size_t write(const char* bytes, size_t count, bool lineStart, uint64_t now) {
        if (lineStart && (secondOf(now) != checkedSecond_ || policy_.isActive()))
            prepareLine(count, now);
        size_t put = ksPlatform::recordCalls.writeLog(file_, bytes, count);
        policy_.wrote(put);
        return put;
    }
    void setFirstLine(const char* line, size_t length);

    const char* name() const { return name_; }
    ksPlatform::FileHandle file() const { return file_; }

  private:
    // The checks at the start of a line: once a second the file's identity, and the
    // rotation when one is due.
    void prepareLine(size_t count, uint64_t now);
    void followIfMoved(uint64_t now);
    void rotate(uint64_t now);
    ksString nameAt(int64_t second) const;
    ksString rotatedName(uint64_t stamp) const;
    bool moveAside(uint64_t now);
    bool replace(const ksString& name, uint64_t now);

    ksString pattern_;
    ksString application_;
    ksRotationSettings settings_;
    ksRotationPolicy policy_;
    ksLogFamily family_;
    ksString firstLine_;
    ksString name_;
    ksPlatform::FileHandle file_ = ksPlatform::kNoFile;
    int64_t checkedSecond_ = 0;   // the second of the latest identity check
    uint64_t lastStamp_ = 0;      // milliseconds of the latest rotated name this process made
};

