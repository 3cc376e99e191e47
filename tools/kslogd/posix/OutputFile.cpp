// POSIX side of opening output files: O_NOFOLLOW refuses a link at the name, and
// O_NONBLOCK keeps a FIFO planted there from blocking the collector before it is refused.
#include "../OutputFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int commonFlags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

int openDescriptor(const std::string& path) {
    int descriptor = open(path.c_str(), commonFlags | O_CREAT | O_EXCL, 0640);
    if (descriptor < 0 && errno == EEXIST)
        descriptor = open(path.c_str(), commonFlags);
    return descriptor;
}

} // namespace

std::FILE* openOutputFile(const std::string& path, std::string& error) {
    int descriptor = openDescriptor(path);
    if (descriptor < 0) {
        if (errno == ELOOP)
            error = "a symbolic link is in the way";
        else if (errno == ENXIO) // a FIFO without reader, or a device
            error = "not a regular file";
        else
            error = std::strerror(errno);
        return nullptr;
    }
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(descriptor);
        error = "not a regular file";
        return nullptr;
    }
    fcntl(descriptor, F_SETFL, O_APPEND); // writes may block again, as on a regular file
    std::FILE* file = fdopen(descriptor, "ab");
    if (!file) {
        error = std::strerror(errno);
        close(descriptor);
    }
    return file;
}
