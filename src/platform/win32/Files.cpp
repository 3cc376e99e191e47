// Win32 file operations for the configuration layer: every path is converted to UTF-16
// just before its call, and GetLastError becomes the system's small negative codes.
#include "platform/platform.h"
#include "platform/win32/FileErrors.h"
#include <windows.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include "platform/win32/Utf16.h"

namespace ksPlatform {

namespace {

// The one place where a Windows error becomes a system code.
int32_t codeOf(DWORD error) {
    switch (error) {
    case 0:
        return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return kFileNotFound;
    case ERROR_WRITE_PROTECT:
    case ERROR_WRITE_FAULT:
        return kFileWriteProtected;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
        return kFileDiskFull;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return kFileExists;
    default:
        return kFileFailed;
    }
}

HANDLE handleOf(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

DWORD creationOf(OpenDisposition disposition) {
    switch (disposition) {
    case OpenDisposition::createNew:
        return CREATE_NEW;
    case OpenDisposition::createAlways:
        return CREATE_ALWAYS;
    case OpenDisposition::openAlways:
        return OPEN_ALWAYS;
    case OpenDisposition::truncateExisting:
        return TRUNCATE_EXISTING;
    case OpenDisposition::openExisting:
        return OPEN_EXISTING;
    }
    return OPEN_EXISTING;
}

} // namespace

int32_t lastFileCode() {
    int32_t code = codeOf(GetLastError());
    return code == 0 ? kFileFailed : code;
}

bool usesWindowsPaths() {
    return true;
}

// Only regular disk files: a folder, a device ("NUL", "COM1"), a pipe or a console is not
// a settings file. Opening such a name does not wait on Windows; the handle's type tells,
// also when a link led there.
int32_t openFile(const char* path, const OpenRequest& request, FileHandle* file) {
    WidePath wide(path);
    if (!wide)
        return kFileFailed;
    DWORD attributes = GetFileAttributesW(wide.get());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
        return kFileNotRegular;
    DWORD access = 0;
    DWORD share = 0;
    if (request.read && request.write) {
        access = GENERIC_READ | GENERIC_WRITE;
        share = FILE_SHARE_READ;
    } else if (request.read) {
        access = GENERIC_READ;
        share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    } else {
        access = GENERIC_WRITE;
        share = FILE_SHARE_READ;
    }
    if (request.exclusive)
        share = 0;
    HANDLE handle = CreateFileW(wide.get(), access, share, nullptr, creationOf(request.disposition),
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return lastFileCode();
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return kFileNotRegular;
    }
    *file = reinterpret_cast<FileHandle>(handle);
    return 0;
}

int64_t readFile(FileHandle file, void* buffer, uint32_t count) {
    DWORD got = 0;
    if (!ReadFile(handleOf(file), buffer, count, &got, nullptr))
        return lastFileCode();
    return got;
}

int64_t writeFile(FileHandle file, const void* buffer, uint32_t count) {
    DWORD put = 0;
    if (!WriteFile(handleOf(file), buffer, count, &put, nullptr))
        return lastFileCode();
    return put;
}

int32_t seekFile(FileHandle file, int64_t offset, int origin) {
    DWORD method = origin == 1 ? FILE_CURRENT : origin == 2 ? FILE_END : FILE_BEGIN;
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(NO_ERROR);
    DWORD low =
        SetFilePointer(handleOf(file), static_cast<LONG>(offset & 0xFFFFFFFF), &high, method);
    // INVALID_SET_FILE_POINTER is also a valid low half: only the last error tells.
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        return lastFileCode();
    return 0;
}

int32_t flushFile(FileHandle file) {
    return FlushFileBuffers(handleOf(file)) ? 0 : lastFileCode();
}

int32_t closeFile(FileHandle file) {
    return CloseHandle(handleOf(file)) ? 0 : lastFileCode();
}

int32_t deleteFile(const char* path) {
    WidePath wide(path);
    if (!wide)
        return kFileFailed;
    return DeleteFileW(wide.get()) ? 0 : lastFileCode();
}

int32_t moveFile(const char* from, const char* to) {
    WidePath wideFrom(from);
    WidePath wideTo(to);
    if (!wideFrom || !wideTo)
        return kFileFailed;
    return MoveFileW(wideFrom.get(), wideTo.get()) ? 0 : lastFileCode();
}

// NTFS journals its names; the flushed content is what needs to be on the disk.
int32_t flushFolderOf(const char*) {
    return 0;
}

struct FolderLock {
    HANDLE mutex;
};

// A named mutex per folder: the settings file is replaced by renames, so no lock on the
// file itself would outlive a save. The name is a hash of the folder's path, folded to
// lower case as the file system compares names. A holder that dies leaves the mutex
// abandoned, which the next waiter receives as its own.
FolderLock* lockFolderOf(const char* path) {
    WidePath wide(path);
    if (!wide)
        return nullptr;
    const wchar_t* text = wide.get();
    size_t end = 0;
    for (size_t i = 0; text[i]; ++i)
        if (text[i] == L'\\' || text[i] == L'/')
            end = i;
    uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (size_t i = 0; i < end; ++i) {
        wchar_t c = text[i] == L'/' ? L'\\' : text[i];
        hash = (hash ^ static_cast<uint16_t>(towlower(c))) * 1099511628211ull;
    }
    wchar_t name[64];
    swprintf(name, 64, L"Local\\ksLog.folder.%016llx", static_cast<unsigned long long>(hash));
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
    if (!mutex)
        return nullptr;
    DWORD waited = WaitForSingleObject(mutex, INFINITE);
    auto* lock = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED
                     ? static_cast<FolderLock*>(std::malloc(sizeof(FolderLock)))
                     : nullptr;
    if (!lock) {
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED)
            ReleaseMutex(mutex);
        CloseHandle(mutex);
        return nullptr;
    }
    lock->mutex = mutex;
    return lock;
}

void unlockFolder(FolderLock* lock) {
    if (!lock)
        return;
    ReleaseMutex(lock->mutex);
    CloseHandle(lock->mutex);
    std::free(lock);
}

PathKind pathKind(const char* path) {
    WidePath wide(path);
    if (!wide)
        return PathKind::missing;
    DWORD attributes = GetFileAttributesW(wide.get());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return PathKind::missing;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return PathKind::directory;
    return (attributes & FILE_ATTRIBUTE_DEVICE) ? PathKind::other : PathKind::file;
}

int32_t createFolder(const char* path) {
    WidePath wide(path);
    if (!wide)
        return kFileFailed;
    return CreateDirectoryW(wide.get(), nullptr) ? 0 : lastFileCode();
}

namespace {

// The C runtime's errno for a Windows error, as the runtime's own file calls set it, so
// that perror tells a failed log the same way on both systems.
int errnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_NETWORK_ACCESS_DENIED:
        return EACCES;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
        return ENOSPC;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    default:
        return EINVAL;
    }
}

// Text files end their lines with "\r\n", as the runtime's text mode writes them.
size_t windowsLineEnds(const char* bytes, size_t count, char* out) {
    size_t at = 0;
    for (size_t i = 0; i < count; ++i) {
        if (bytes[i] == '\n')
            out[at++] = '\r';
        out[at++] = bytes[i];
    }
    return at;
}

} // namespace

FileHandle openLogFile(const char* path, bool append) {
    WidePath wide(path);
    if (!wide) {
        errno = EINVAL;
        return kNoFile;
    }
    // Appending: every write lands at the end, also behind other writers of the file.
    // Reading the data and attributes lets the writer lock the file around a rotation and
    // compare it with its name. A null security descriptor: children do not inherit it.
    DWORD access = (append ? FILE_APPEND_DATA : GENERIC_WRITE) | FILE_READ_DATA |
                   FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    HANDLE handle =
        CreateFileW(wide.get(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = errnoOf(GetLastError());
        return kNoFile;
    }
    return reinterpret_cast<FileHandle>(handle);
}

namespace {

// Windows puts each write of an append-only handle at the end as one step. Wine emulates
// it with a look at the end and a write, which writers of other processes can interleave:
// there each write holds a lock of its own, on a byte that no write reaches.
bool appendsNeedLock() {
    static const bool needed = [] {
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return needed;
}

class AppendLock {
  public:
    explicit AppendLock(HANDLE file) : file_(appendsNeedLock() ? file : nullptr) {
        where_.Offset = 0xFFFFFFFCu;
        where_.OffsetHigh = 0x7FFFFFFFu;
        if (file_ && !LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &where_))
            file_ = nullptr;
    }
    ~AppendLock() {
        if (file_)
            UnlockFileEx(file_, 0, 1, 0, &where_);
    }
    AppendLock(const AppendLock&) = delete;
    AppendLock& operator=(const AppendLock&) = delete;

  private:
    HANDLE file_;
    OVERLAPPED where_{};
};

} // namespace

// A line of up to half the stack buffer goes in one WriteFile; a longer text in pieces.
// One WriteFile per call, whatever its length, so that the line of another process that
// appends to the same log never lands inside it: a line longer than the stack buffer is
// translated into a heap buffer (a failed allocation falls back to pieces).
size_t writeLogFile(FileHandle file, const char* bytes, size_t count) {
    AppendLock lock(handleOf(file));
    constexpr size_t piece = 4096;
    char local[2 * piece];
    char* translated = local;
    size_t room = piece;
    if (count > piece && count <= MAXDWORD / 2) {
        if (char* large = static_cast<char*>(std::malloc(2 * count))) {
            translated = large;
            room = count;
        }
    }
    size_t written = 0;
    while (written < count) {
        size_t some = count - written < room ? count - written : room;
        size_t length = windowsLineEnds(bytes + written, some, translated);
        DWORD put = 0;
        BOOL done =
            WriteFile(handleOf(file), translated, static_cast<DWORD>(length), &put, nullptr);
        if (done && put == length) {
            written += some;
            continue;
        }
        errno = done ? ENOSPC : errnoOf(GetLastError());
        // The source bytes whose whole translation reached the file.
        for (size_t at = 0, need; at + (need = bytes[written] == '\n' ? 2 : 1) <= put; ++written)
            at += need;
        break;
    }
    if (translated != local)
        std::free(translated);
    return written;
}

void closeLogFile(FileHandle file) {
    if (file != kNoFile)
        CloseHandle(handleOf(file));
}

size_t writeStandardStream(std::FILE* stream, const char* bytes, size_t count) {
    return std::fwrite(bytes, 1, count, stream);
}

bool flushStandardStream(std::FILE* stream) {
    return std::fflush(stream) == 0;
}

} // namespace ksPlatform
