// A rotating, self-following log file.
#include "sinks/RotatingLog.h"
#include <cstring>
#include "sinks/LogFileName.h"
#include "sinks/LogRetention.h"

namespace {

size_t writeAll(ksPlatform::FileHandle file, const char* bytes, size_t count) {
    return ksPlatform::recordCalls.writeLog(file, bytes, count);
}

} // namespace

ksRotatingLog::ksRotatingLog(const char* pattern, const char* application,
                             const ksRotationSettings& settings)
    : pattern_(pattern), application_(application), settings_(settings),
      family_(pattern, application) {
    policy_.configure(settings);
}

ksRotatingLog::~ksRotatingLog() {
    ksPlatform::closeLogFile(file_);
}

void ksRotatingLog::setFirstLine(const char* line, size_t length) {
    firstLine_.assign(line, length);
}

ksString ksRotatingLog::nameAt(int64_t second) const {
    ksPlatform::LocalTime local;
    bool known = ksPlatform::localTimeAt(second, &local);
    return logFileName(pattern_, known ? &local : nullptr, application_);
}

bool ksRotatingLog::open(const char* name, bool append, uint64_t now) {
    int64_t second = secondOf(now);
    ksPlatform::FileHandle file = ksPlatform::openLogFile(name, append);
    if (file == ksPlatform::kNoFile)
        return false;
    name_ = name;
    file_ = file;
    checkedSecond_ = second;
    ksPlatform::OpenFileFacts facts{};
    ksPlatform::describeOpenFile(file_, &facts);
    policy_.opened(facts.size + firstLine_.length(), second);
    return true;
}

void ksRotatingLog::prepareLine(size_t count, uint64_t now) {
    int64_t second = secondOf(now);
    if (second != checkedSecond_)
        followIfMoved(now);
    if (policy_.isActive() && policy_.isDue(count, second))
        rotate(now);
}

// Once a second: the file's real size (other processes may append to it) and whether
// the name still leads to it. A deleted file on Windows keeps its name until its last
// handle closes: it is let go first, so that the name can be made again.
void ksRotatingLog::followIfMoved(uint64_t now) {
    checkedSecond_ = secondOf(now);
    ksPlatform::OpenFileFacts open;
    ksPlatform::FileIdentity named;
    if (!ksPlatform::describeOpenFile(file_, &open))
        return;
    policy_.resized(open.size);
    if (!open.deleted && ksPlatform::identityOfPath(name_, &named) && named == open.identity)
        return;
    if (open.deleted) {
        ksPlatform::closeLogFile(file_);
        file_ = ksPlatform::kNoFile;
    }
    replace(name_, now);
}

// Under the lock of the full file, so that of several processes one rotates: the one
// that finds the name still leading to its file renames it; the others find the name
// leading elsewhere and follow.
void ksRotatingLog::rotate(uint64_t now) {
    int64_t second = secondOf(now);
    ksString next = nameAt(second);
    bool locked = ksPlatform::lockFile(file_) == 0;
    ksPlatform::OpenFileFacts open;
    ksPlatform::FileIdentity named;
    bool stillOurs = ksPlatform::describeOpenFile(file_, &open) && !open.deleted &&
                     ksPlatform::identityOfPath(name_, &named) && named == open.identity;
    if (stillOurs && std::strcmp(next, name_) == 0 && !moveAside(now)) {
        if (locked)
            ksPlatform::unlockFile(file_);
        policy_.postpone(second); // a refused rename: go on here, try again later
        return;
    }
    ksPlatform::FileHandle old = file_;
    bool replaced = replace(next, now);
    if (locked && !replaced)
        ksPlatform::unlockFile(old);
    if (!replaced) {
        policy_.postpone(second);
        return;
    }
    if (stillOurs)
        applyRetention(name_, family_, settings_, second);
}

ksString ksRotatingLog::rotatedName(uint64_t stamp) const {
    ksPlatform::LocalTime local{};
    if (!ksPlatform::localTimeAt(static_cast<int64_t>(stamp / 1000), &local))
        return ksString();
    local.millisecond = static_cast<int>(stamp % 1000);
    return rotatedLogName(name_, local);
}

// The stamp is the clock in milliseconds, but always after the latest this process made,
// and moved on past names that exist: names of one log never repeat and sort by age.
bool ksRotatingLog::moveAside(uint64_t now) {
    uint64_t stamp = now / 1000u;
    if (stamp <= lastStamp_)
        stamp = lastStamp_ + 1;
    for (int attempt = 0; attempt < 1000; ++attempt, ++stamp) {
        ksString target = rotatedName(stamp);
        if (target.isEmpty())
            return false;
        int32_t result = ksPlatform::moveFile(name_, target);
        if (result == ksPlatform::kFileExists)
            continue;
        if (result != 0)
            return false;
        lastStamp_ = stamp;
        return true;
    }
    return false;
}

// Opens name for appending in place of the current file and starts it with the first
// line. The current file stays when the new one cannot be opened.
// The old file's lock goes with its handle.
bool ksRotatingLog::replace(const ksString& name, uint64_t now) {
    ksPlatform::FileHandle file = ksPlatform::openLogFile(name, true);
    if (file == ksPlatform::kNoFile)
        return false;
    ksPlatform::closeLogFile(file_);
    file_ = file;
    name_ = name;
    int64_t second = secondOf(now);
    checkedSecond_ = second;
    size_t firstLength = static_cast<size_t>(firstLine_.length());
    if (firstLength > 0)
        writeAll(file_, firstLine_, firstLength);
    ksPlatform::OpenFileFacts facts{{}, firstLength, false};
    ksPlatform::describeOpenFile(file_, &facts);
    policy_.opened(facts.size, second);
    return true;
}
