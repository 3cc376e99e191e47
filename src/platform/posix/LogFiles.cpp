// POSIX side of long-lived log files: device and inode identity, flock around rotation,
// directory listing.
#include "platform/platform.h"
#include "platform/posix/FileErrors.h"
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ksPlatform {

bool describeOpenFile(FileHandle file, OpenFileFacts* facts) {
    struct stat status;
    if (fstat(static_cast<int>(file), &status) != 0)
        return false;
    facts->identity = {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
    facts->size = static_cast<uint64_t>(status.st_size);
    facts->deleted = status.st_nlink == 0;
    return true;
}

bool identityOfPath(const char* path, FileIdentity* identity) {
    struct stat status;
    if (stat(path, &status) != 0)
        return false;
    *identity = {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
    return true;
}

// flock belongs to the open file description: every process's own descriptor of the same
// file competes for it, and it is advisory, so appends go on meanwhile.
int32_t lockFile(FileHandle file) {
    int result;
    do {
        result = flock(static_cast<int>(file), LOCK_EX);
    } while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : lastFileCode();
}

void unlockFile(FileHandle file) {
    flock(static_cast<int>(file), LOCK_UN);
}

int32_t listFolder(const char* folder, FolderVisitor visit, void* context) {
    DIR* listing = opendir(folder);
    if (!listing)
        return lastFileCode();
    while (const dirent* entry = readdir(listing)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        if (!visit(context, name))
            break;
    }
    closedir(listing);
    return 0;
}

bool factsOfName(const char* path, NameFacts* facts) {
    struct stat status;
    if (lstat(path, &status) != 0)
        return false;
    facts->kind = S_ISREG(status.st_mode)   ? PathKind::file
                  : S_ISDIR(status.st_mode) ? PathKind::directory
                                            : PathKind::other;
    facts->modifiedSeconds = static_cast<int64_t>(status.st_mtime);
    return true;
}

} // namespace ksPlatform
