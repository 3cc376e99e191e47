// File operations for the configuration layer: open, read, write, seek, flush, close,
// delete, move, the existence test and the creation of a directory with its ancestors.
// Every operation normalises its path first (Paths.h) and reports failures as the
// system's small negative codes; a path that cannot be normalised gives -1 (or false).
#pragma once
#include <cstdint>
#include "platform/platform.h"

using ksFile = ksPlatform::FileHandle;
constexpr ksFile ksNoFile = ksPlatform::kNoFile;

// Modes of ksFileOpen.
enum : uint32_t {
    ksOpenRead = 0x01,
    ksOpenWrite = 0x02,
    ksOpenExclusive = 0x04, // nothing shared; with create, the file must not exist yet
    ksOpenAppend = 0x08,    // implies write; the position starts at the end
    ksOpenCreate = 0x10,
    ksOpenTruncate = 0x20,
};

// Opens regular files only, without ever waiting: anything else gives
// ksPlatform::kFileNotRegular.
int32_t ksFileOpen(const char* path, uint32_t mode, ksFile* file);
int32_t ksFileClose(ksFile file);
int64_t ksFileRead(ksFile file, void* buffer, uint32_t count);
int64_t ksFileWrite(ksFile file, const void* buffer, uint32_t count);
int32_t ksFileSeek(ksFile file, int64_t offset, int origin);
// Forces the written content to the disk.
int32_t ksFileFlush(ksFile file);
// 0 also when the file did not exist.
int32_t ksFileDelete(const char* path);
bool ksFileExists(const char* path); // an existing regular file
// Fails with ksPlatform::kFileExists when the target exists.
int32_t ksFileMove(const char* from, const char* to);
// Makes a completed rename durable (best effort).
int32_t ksFileFlushFolderOf(const char* path);
// True when the directory exists afterwards.
bool ksCreateDirectories(const char* path);

// Holds the lock that every process shares for the folder of path, from construction to
// destruction (see ksPlatform::lockFolderOf); holds nothing when the system gives none.
class ksFolderLock {
  public:
    explicit ksFolderLock(const char* path);
    ~ksFolderLock() { ksPlatform::unlockFolder(lock_); }
    ksFolderLock(const ksFolderLock&) = delete;
    ksFolderLock& operator=(const ksFolderLock&) = delete;

  private:
    ksPlatform::FolderLock* lock_ = nullptr;
};
