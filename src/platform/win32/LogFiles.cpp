// Win32 side of long-lived log files: volume and file index identity, a byte-range lock
// far past any content around rotation, directory listing.
#include "platform/platform.h"
#include "platform/win32/FileErrors.h"
#include <windows.h>
#include <cstdlib>
#include <cstring>
#include "platform/win32/Utf16.h"

namespace ksPlatform {

namespace {

HANDLE handleOf(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// One byte at the far end of the largest offset: no write ever reaches it, so the lock
// stops only other lockers (a Windows byte-range lock also stops writes to its range).
OVERLAPPED lockedByte() {
    OVERLAPPED where{};
    where.Offset = 0xFFFFFFFEu;
    where.OffsetHigh = 0x7FFFFFFFu;
    return where;
}

int64_t secondsSince1970(const FILETIME& time) {
    uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<int64_t>(ticks / 10000000u) - 11644473600LL;
}

} // namespace

bool describeOpenFile(FileHandle file, OpenFileFacts* facts) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handleOf(file), &information))
        return false;
    facts->identity = {information.dwVolumeSerialNumber,
                       (static_cast<uint64_t>(information.nFileIndexHigh) << 32) |
                           information.nFileIndexLow};
    facts->size =
        (static_cast<uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    FILE_STANDARD_INFO standard;
    facts->deleted = GetFileInformationByHandleEx(handleOf(file), FileStandardInfo, &standard,
                                                  sizeof standard) &&
                     standard.DeletePending;
    return true;
}

bool identityOfPath(const char* path, FileIdentity* identity) {
    WidePath wide(path);
    if (!wide)
        return false;
    HANDLE handle = CreateFileW(wide.get(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    OpenFileFacts facts;
    bool known = describeOpenFile(reinterpret_cast<FileHandle>(handle), &facts);
    CloseHandle(handle);
    if (known)
        *identity = facts.identity;
    return known && !facts.deleted;
}

int32_t lockFile(FileHandle file) {
    OVERLAPPED where = lockedByte();
    return LockFileEx(handleOf(file), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &where) ? 0
                                                                                : lastFileCode();
}

void unlockFile(FileHandle file) {
    OVERLAPPED where = lockedByte();
    UnlockFileEx(handleOf(file), 0, 1, 0, &where);
}

int32_t listFolder(const char* folder, FolderVisitor visit, void* context) {
    size_t length = std::strlen(folder);
    char* pattern = static_cast<char*>(std::malloc(length + 3));
    if (!pattern)
        return kFileFailed;
    std::memcpy(pattern, folder, length);
    bool separated = length > 0 && (folder[length - 1] == '/' || folder[length - 1] == '\\');
    std::memcpy(pattern + length, separated ? "*" : "\\*", separated ? 2 : 3);
    WidePath wide(pattern);
    std::free(pattern);
    if (!wide)
        return kFileFailed;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(wide.get(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                     nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE)
        return lastFileCode();
    bool more = true;
    do {
        const wchar_t* name = found.cFileName;
        if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0)))
            continue;
        char* narrow = utf8FromUtf16(name);
        if (!narrow)
            continue; // a name that is no valid UTF-16 cannot be one of ours
        more = visit(context, narrow);
        std::free(narrow);
    } while (more && FindNextFileW(search, &found));
    FindClose(search);
    return 0;
}

bool factsOfName(const char* path, NameFacts* facts) {
    WidePath wide(path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!wide || !GetFileAttributesExW(wide.get(), GetFileExInfoStandard, &data))
        return false;
    DWORD attributes = data.dwFileAttributes;
    facts->kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? PathKind::other
                  : (attributes & FILE_ATTRIBUTE_DIRECTORY)   ? PathKind::directory
                  : (attributes & FILE_ATTRIBUTE_DEVICE)      ? PathKind::other
                                                              : PathKind::file;
    facts->modifiedSeconds = secondsSince1970(data.ftLastWriteTime);
    return true;
}

} // namespace ksPlatform
