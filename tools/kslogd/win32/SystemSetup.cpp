// Windows side of the collector's system setup.
#include "../SystemSetup.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>

void prepareProcess() {
    _setmode(_fileno(stdout), _O_BINARY); // record bytes pass unchanged, no "\r\n"
}

bool quickRebindWanted() {
    return false;
}

int reopenSignalNumber() {
    return 0; // no SIGHUP: files are reopened when the collector restarts
}

bool standardOutputIsTerminal() {
    return _isatty(_fileno(stdout)) != 0;
}

std::size_t writeWhole(std::FILE* stream, const char* bytes, std::size_t size,
                       std::string& error) {
    const int descriptor = _fileno(stream);
    std::size_t written = 0;
    while (written < size) {
        const std::size_t rest = size - written;
        const unsigned int chunk = rest > INT_MAX ? INT_MAX : static_cast<unsigned int>(rest);
        const int put = _write(descriptor, bytes + written, chunk);
        if (put <= 0) {
            error = put == 0 ? "no byte written" : std::strerror(errno);
            break;
        }
        written += static_cast<std::size_t>(put);
    }
    return written;
}
