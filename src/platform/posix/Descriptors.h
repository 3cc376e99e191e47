// Descriptors that the library opens for itself.
#pragma once
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace ksPlatform {

// A process started with a standard stream closed hands its number to the next opening:
// a log file or the collector's socket would become standard output, and the records the
// file sink writes there ("File=stdout") would go into it. Such a descriptor moves to the
// lowest number above the standard streams, close-on-exec; -1 (errno set) when it cannot.
inline int aboveStandardStreams(int descriptor) {
    if (descriptor < 0 || descriptor > 2)
        return descriptor;
    int moved = fcntl(descriptor, F_DUPFD_CLOEXEC, 3);
    int error = errno;
    close(descriptor);
    errno = error;
    return moved;
}

} // namespace ksPlatform
