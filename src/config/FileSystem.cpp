// File operations of the configuration layer: mode checks, path normalisation before
// every platform call, a missing file counted as deleted, and the directory walk.
#include "config/FileSystem.h"
#include "config/Paths.h"

using ksPlatform::OpenDisposition;
using ksPlatform::OpenRequest;
using ksPlatform::PathKind;

namespace {

// The form every file operation hands to the platform: no trimming, the platform's
// separators, no long-path prefix.
bool fileForm(const char* path, ksString* platformPath) {
    return path && ksNormalizePath(path, false, ksPathPlatformForm, nullptr, platformPath);
}

// The form of the directory walk: trimmed, the platform's separators, the long-path prefix.
bool directoryForm(const char* path, ksString* platformPath) {
    return path && ksNormalizePath(path, true, ksPathPlatformForm | ksPathLongPrefix, nullptr,
                                   platformPath);
}

// Turns the mode bits into a platform request; false for the combinations that are refused.
bool requestFor(uint32_t mode, OpenRequest* request) {
    if (mode & ksOpenAppend)
        mode |= ksOpenWrite;
    bool read = mode & ksOpenRead;
    bool write = mode & ksOpenWrite;
    bool exclusive = mode & ksOpenExclusive;
    bool create = mode & ksOpenCreate;
    bool truncate = mode & ksOpenTruncate;
    if (!read && !write)
        return false;
    if (read && !write && truncate)
        return false;
    OpenDisposition disposition;
    if (create) {
        if ((mode & ksOpenAppend) || (exclusive && truncate))
            return false;
        disposition = exclusive  ? OpenDisposition::createNew
                      : truncate ? OpenDisposition::createAlways
                                 : OpenDisposition::openAlways;
    } else {
        if (exclusive)
            return false;
        disposition = truncate ? OpenDisposition::truncateExisting : OpenDisposition::openExisting;
    }
    *request = OpenRequest{read, write, exclusive, disposition};
    return true;
}

// Where the walk of a directory-form path begins; false for a path it cannot walk.
// Network paths are not walked properly: with the long-path prefix such a path begins
// "\\?\UNC\", the walk starts at its server component, which is no directory, and the
// creation fails (unless the whole directory exists already). The system's own paths
// are drive-letter paths, and on POSIX paths rooted at "/".
bool walkStart(const ksString& path, size_t* start) {
    const char* text = path.c_str();
    if (ksPlatformPathRules() == ksPathRules::posix) {
        *start = 0;
        return text[0] == '/';
    }
    if (text[0] == '\\' && text[1] == '\\' && text[2] == '?' && text[3] == '\\') {
        *start = 5;
        return path.length() >= 5;
    }
    *start = 2;
    return text[0] == '\\' && text[1] == '\\';
}

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

bool ensureFolder(const ksString& folder) {
    if (ksPlatform::pathKind(folder) == PathKind::directory)
        return true;
    int32_t code = ksPlatform::createFolder(folder);
    // Another process may have created it in the meantime.
    return code == 0 ||
           (code == ksPlatform::kFileExists && ksPlatform::pathKind(folder) == PathKind::directory);
}

} // namespace

int32_t ksFileOpen(const char* path, uint32_t mode, ksFile* file) {
    ksString platformPath;
    OpenRequest request;
    if (!file || !fileForm(path, &platformPath) || !requestFor(mode, &request))
        return ksPlatform::kFileFailed;
    ksFile opened = ksNoFile;
    int32_t code = ksPlatform::openFile(platformPath, request, &opened);
    if (code != 0)
        return code;
    if (mode & ksOpenAppend) {
        code = ksPlatform::seekFile(opened, 0, 2);
        if (code != 0) {
            ksPlatform::closeFile(opened);
            return code;
        }
    }
    *file = opened;
    return 0;
}

int32_t ksFileClose(ksFile file) {
    if (file == ksNoFile)
        return ksPlatform::kFileFailed;
    return ksPlatform::recordCalls.closeFile(file);
}

int64_t ksFileRead(ksFile file, void* buffer, uint32_t count) {
    if (file == ksNoFile || (!buffer && count))
        return ksPlatform::kFileFailed;
    return ksPlatform::readFile(file, buffer, count);
}

int64_t ksFileWrite(ksFile file, const void* buffer, uint32_t count) {
    if (file == ksNoFile || (!buffer && count))
        return ksPlatform::kFileFailed;
    return ksPlatform::recordCalls.writeFile(file, buffer, count);
}

int32_t ksFileSeek(ksFile file, int64_t offset, int origin) {
    if (file == ksNoFile)
        return ksPlatform::kFileFailed;
    return ksPlatform::seekFile(file, offset, origin);
}

int32_t ksFileFlush(ksFile file) {
    if (file == ksNoFile)
        return ksPlatform::kFileFailed;
    return ksPlatform::recordCalls.flushFile(file);
}

int32_t ksFileDelete(const char* path) {
    ksString platformPath;
    if (!fileForm(path, &platformPath))
        return ksPlatform::kFileFailed;
    int32_t code = ksPlatform::deleteFile(platformPath);
    return code == ksPlatform::kFileNotFound ? 0 : code;
}

bool ksFileExists(const char* path) {
    ksString platformPath;
    return fileForm(path, &platformPath) && ksPlatform::pathKind(platformPath) == PathKind::file;
}

int32_t ksFileMove(const char* from, const char* to) {
    ksString platformFrom;
    ksString platformTo;
    if (!fileForm(from, &platformFrom) || !fileForm(to, &platformTo))
        return ksPlatform::kFileFailed;
    return ksPlatform::moveFile(platformFrom, platformTo);
}

int32_t ksFileFlushFolderOf(const char* path) {
    ksString platformPath;
    if (!fileForm(path, &platformPath))
        return ksPlatform::kFileFailed;
    return ksPlatform::flushFolderOf(platformPath);
}

ksFolderLock::ksFolderLock(const char* path) {
    ksString platformPath;
    if (fileForm(path, &platformPath))
        lock_ = ksPlatform::lockFolderOf(platformPath);
}

bool ksCreateDirectories(const char* path) {
    ksString directory;
    size_t index;
    if (!directoryForm(path, &directory) || !walkStart(directory, &index))
        return false;
    // Every lookup makes sure its directories exist: one question answers the usual case.
    if (ksPlatform::pathKind(directory) == PathKind::directory)
        return true;
    const char* text = directory.c_str();
    size_t length = directory.length();
    while (index < length && !isSeparator(text[index]))
        ++index;
    if (index >= length)
        return true; // a root: nothing to create
    ++index;
    while (index < length) {
        size_t end = index;
        while (end < length && !isSeparator(text[end]))
            ++end;
        if (!ensureFolder(ksString(text, static_cast<int64_t>(end))))
            return false;
        index = end + 1;
    }
    return true;
}
