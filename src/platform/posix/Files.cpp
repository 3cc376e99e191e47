// POSIX file operations for the configuration layer: descriptors, errno translated into
// the system's small negative codes, a move that never replaces its target.
#include "platform/platform.h"
#include "platform/posix/FileErrors.h"
#include "platform/posix/Descriptors.h"
#include "platform/posix/Sigpipe.h"
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ksPlatform {

namespace {

// The one place where errno becomes a system code.
int32_t codeOf(int error) {
    switch (error) {
    case 0:
        return 0;
    case ENOENT:
    case ENOTDIR:
        return kFileNotFound;
    case EROFS:
        return kFileWriteProtected;
    case ENOSPC:
    case EDQUOT:
        return kFileDiskFull;
    case EEXIST:
        return kFileExists;
    default:
        return kFileFailed;
    }
}

int flagsFor(const OpenRequest& request) {
    int flags = O_CLOEXEC;
    if (request.read && request.write)
        flags |= O_RDWR;
    else if (request.write)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    switch (request.disposition) {
    case OpenDisposition::createNew:
        // Never through a link: a name planted in the folder must not lead elsewhere.
        return flags | O_CREAT | O_EXCL | O_NOFOLLOW;
    case OpenDisposition::createAlways:
        return flags | O_CREAT | O_TRUNC;
    case OpenDisposition::openAlways:
        return flags | O_CREAT;
    case OpenDisposition::truncateExisting:
        return flags | O_TRUNC;
    case OpenDisposition::openExisting:
        return flags;
    }
    return flags;
}

// renameat2 with RENAME_NOREPLACE refuses an existing target atomically. File systems
// without it get a hard link (which refuses an existing target too) and, last, a check.
int32_t moveWithoutReplacing(const char* from, const char* to) {
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return lastFileCode();
    if (link(from, to) == 0)
        return unlink(from) == 0 ? 0 : lastFileCode();
    if (errno == EEXIST)
        return kFileExists;
    struct stat target;
    if (lstat(to, &target) == 0)
        return kFileExists;
    return rename(from, to) == 0 ? 0 : lastFileCode();
}

} // namespace

int32_t lastFileCode() {
    int32_t code = codeOf(errno);
    return code == 0 ? kFileFailed : code;
}

bool usesWindowsPaths() {
    return false;
}

// Only regular files: a FIFO would hold the opener until a peer appears, a device such as
// /dev/zero never ends, and opening some devices acts on them. So the name is looked at
// first, the opening never waits (O_NONBLOCK, O_NOCTTY), and the descriptor is checked
// again, since the name may have changed in between.
int32_t openFile(const char* path, const OpenRequest& request, FileHandle* file) {
    struct stat status;
    if (stat(path, &status) == 0 && !S_ISREG(status.st_mode))
        return kFileNotRegular;
    int descriptor;
    do {
        descriptor = open(path, flagsFor(request) | O_NONBLOCK | O_NOCTTY, 0666);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0)
        return errno == ENXIO ? kFileNotRegular : lastFileCode(); // a FIFO without a reader
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(descriptor);
        return kFileNotRegular;
    }
    int flags = fcntl(descriptor, F_GETFL);
    if (flags >= 0)
        fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
    *file = descriptor;
    return 0;
}

int64_t readFile(FileHandle file, void* buffer, uint32_t count) {
    ssize_t got;
    do {
        got = read(static_cast<int>(file), buffer, count);
    } while (got < 0 && errno == EINTR);
    return got < 0 ? lastFileCode() : got;
}

int64_t writeFile(FileHandle file, const void* buffer, uint32_t count) {
    ssize_t put;
    do {
        put = write(static_cast<int>(file), buffer, count);
    } while (put < 0 && errno == EINTR);
    return put < 0 ? lastFileCode() : put;
}

int32_t seekFile(FileHandle file, int64_t offset, int origin) {
    int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
    return lseek(static_cast<int>(file), offset, whence) < 0 ? lastFileCode() : 0;
}

int32_t flushFile(FileHandle file) {
    return fsync(static_cast<int>(file)) == 0 ? 0 : lastFileCode();
}

int32_t closeFile(FileHandle file) {
    // The descriptor is released even when close reports an error: never retry.
    return close(static_cast<int>(file)) == 0 ? 0 : lastFileCode();
}

int32_t deleteFile(const char* path) {
    return unlink(path) == 0 ? 0 : lastFileCode();
}

int32_t moveFile(const char* from, const char* to) {
    return moveWithoutReplacing(from, to);
}

namespace {

// The folder part of path as a new heap C string (free()), "." when it has none; null
// when memory is exhausted.
char* folderOf(const char* path) {
    const char* slash = std::strrchr(path, '/');
    if (!slash)
        return strdup(".");
    size_t length = slash == path ? 1 : static_cast<size_t>(slash - path);
    char* folder = static_cast<char*>(std::malloc(length + 1));
    if (folder) {
        std::memcpy(folder, path, length);
        folder[length] = '\0';
    }
    return folder;
}

int openFolder(const char* path) {
    char* folder = folderOf(path);
    if (!folder)
        return -1;
    int descriptor = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::free(folder);
    return descriptor;
}

} // namespace

int32_t flushFolderOf(const char* path) {
    if (!std::strchr(path, '/'))
        return kFileFailed;
    int descriptor = openFolder(path);
    if (descriptor < 0)
        return lastFileCode();
    int32_t result = fsync(descriptor) == 0 ? 0 : lastFileCode();
    close(descriptor);
    return result;
}

struct FolderLock {
    int descriptor;
};

// flock on the folder itself: the settings file is replaced by renames, so a lock on the
// file would be a lock on a name that is gone a moment later. The lock ends with the
// descriptor, also when the holder dies.
FolderLock* lockFolderOf(const char* path) {
    int descriptor = openFolder(path);
    if (descriptor < 0)
        return nullptr;
    int locked;
    do {
        locked = flock(descriptor, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    auto* lock = locked == 0 ? static_cast<FolderLock*>(std::malloc(sizeof(FolderLock))) : nullptr;
    if (!lock) {
        close(descriptor);
        return nullptr;
    }
    lock->descriptor = descriptor;
    return lock;
}

void unlockFolder(FolderLock* lock) {
    if (!lock)
        return;
    close(lock->descriptor);
    std::free(lock);
}

PathKind pathKind(const char* path) {
    struct stat status;
    if (stat(path, &status) != 0)
        return PathKind::missing;
    if (S_ISDIR(status.st_mode))
        return PathKind::directory;
    return S_ISREG(status.st_mode) ? PathKind::file : PathKind::other;
}

int32_t createFolder(const char* path) {
    return mkdir(path, 0777) == 0 ? 0 : lastFileCode();
}

// O_NONBLOCK only for the opening, so that a FIFO without reader fails (ENXIO) instead of
// holding the logging thread; writes block as usual. Close-on-exec: child processes of
// the host must not inherit the log.
namespace {

// Log descriptors that are FIFOs, noted at opening, so that a write to a plain log file
// costs no fstat. A FIFO as a log is rare: past the slots, every log write asks.
constexpr int kPipeLogSlots = 8;
std::atomic<int> pipeLogSlots[kPipeLogSlots]; // descriptor + 1; 0 is a free slot
std::atomic<bool> pipeLogSlotsFull{false};
std::atomic<int> pipeLogsNoted{0}; // slots in use: none, and a write asks nothing at all

void notePipeLog(int descriptor) {
    for (std::atomic<int>& slot : pipeLogSlots) {
        int free = 0;
        if (slot.compare_exchange_strong(free, descriptor + 1)) {
            pipeLogsNoted.fetch_add(1);
            return;
        }
    }
    pipeLogSlotsFull.store(true);
}

void forgetPipeLog(int descriptor) {
    for (std::atomic<int>& slot : pipeLogSlots) {
        int mine = descriptor + 1;
        if (slot.compare_exchange_strong(mine, 0))
            pipeLogsNoted.fetch_sub(1);
    }
}

[[gnu::noinline]] bool isNotedPipeLog(int descriptor) {
    if (pipeLogSlotsFull.load(std::memory_order_relaxed))
        return raisesSigpipe(descriptor);
    for (const std::atomic<int>& slot : pipeLogSlots)
        if (slot.load(std::memory_order_relaxed) == descriptor + 1)
            return true;
    return false;
}

bool isPipeLog(int descriptor) {
    if (pipeLogsNoted.load(std::memory_order_relaxed) == 0 &&
        !pipeLogSlotsFull.load(std::memory_order_relaxed))
        return false;
    return isNotedPipeLog(descriptor);
}

} // namespace

FileHandle openLogFile(const char* path, bool append) {
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | (append ? O_APPEND : O_TRUNC);
    int descriptor;
    do {
        descriptor = open(path, flags, 0666);
    } while (descriptor < 0 && errno == EINTR);
    descriptor = aboveStandardStreams(descriptor);
    if (descriptor < 0)
        return kNoFile;
    int status = fcntl(descriptor, F_GETFL);
    if (status >= 0)
        fcntl(descriptor, F_SETFL, status & ~O_NONBLOCK);
    if (raisesSigpipe(descriptor))
        notePipeLog(descriptor);
    return descriptor;
}

namespace {

// What one write left: the rest, after a signal or a partial write.
[[gnu::noinline]] size_t writeRest(int descriptor, const char* bytes, size_t count, ssize_t put) {
    size_t written = 0;
    for (;;) {
        if (put < 0 && errno == EINTR) {
            put = write(descriptor, bytes + written, count - written);
            continue;
        }
        if (put == 0)
            errno = ENOSPC; // a regular file that takes nothing more is full
        if (put <= 0)
            return written;
        written += static_cast<size_t>(put);
        if (written == count)
            return written;
        put = write(descriptor, bytes + written, count - written);
    }
}

size_t writeWhole(int descriptor, const char* bytes, size_t count) {
    ssize_t put = write(descriptor, bytes, count);
    if (put >= 0 && static_cast<size_t>(put) == count)
        return count;
    return writeRest(descriptor, bytes, count, put);
}

[[gnu::noinline]] size_t writePipeLog(int descriptor, const char* bytes, size_t count) {
    SigpipeHeldBack held(true); // a FIFO whose reader went away
    return writeWhole(descriptor, bytes, count);
}

} // namespace

size_t writeLogFile(FileHandle file, const char* bytes, size_t count) {
    int descriptor = static_cast<int>(file);
    if (isPipeLog(descriptor))
        return writePipeLog(descriptor, bytes, count);
    return writeWhole(descriptor, bytes, count);
}

void closeLogFile(FileHandle file) {
    if (file == kNoFile)
        return;
    forgetPipeLog(static_cast<int>(file));
    close(static_cast<int>(file));
}

// The standard streams are shared with the application: written through stdio, in its
// order, and may be pipes whose reader went away.
size_t writeStandardStream(std::FILE* stream, const char* bytes, size_t count) {
    SigpipeHeldBack held(raisesSigpipe(fileno(stream)));
    return std::fwrite(bytes, 1, count, stream);
}

bool flushStandardStream(std::FILE* stream) {
    SigpipeHeldBack held(raisesSigpipe(fileno(stream)));
    return std::fflush(stream) == 0;
}

} // namespace ksPlatform
