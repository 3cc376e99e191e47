// POSIX side of the collector's system setup.
#include "../SystemSetup.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

void prepareProcess() {
    std::signal(SIGPIPE, SIG_IGN);
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit); // keep the old limit if this is refused
    }
}

bool quickRebindWanted() {
    return true;
}

int reopenSignalNumber() {
    return SIGHUP;
}

bool standardOutputIsTerminal() {
    return isatty(fileno(stdout)) == 1;
}

std::size_t writeWhole(std::FILE* stream, const char* bytes, std::size_t size,
                       std::string& error) {
    const int descriptor = fileno(stream);
    std::size_t written = 0;
    while (written < size) {
        const ssize_t put = write(descriptor, bytes + written, size - written);
        if (put > 0) {
            written += static_cast<std::size_t>(put);
            continue;
        }
        if (put < 0 && errno == EINTR)
            continue; // a signal (SIGHUP, SIGTERM) arrived while the reader was slow
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd ready{descriptor, POLLOUT, 0};
            poll(&ready, 1, -1); // standard output inherited as a non-blocking pipe
            continue;
        }
        error = put == 0 ? "no byte written" : std::strerror(errno);
        break;
    }
    return written;
}
