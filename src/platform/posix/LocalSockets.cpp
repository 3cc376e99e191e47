// Unix-domain datagram sockets, for the system log (/dev/log).
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>
#include "platform/platform.h"

namespace ksPlatform {

SocketHandle connectLocalDatagram(const char* path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    size_t length = std::strlen(path);
    if (length == 0 || length >= sizeof address.sun_path)
        return kNoSocket;
    std::memcpy(address.sun_path, path, length);
    int created = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (created < 0)
        return kNoSocket;
    // A receiver that stopped reading holds a waiting send a second at most.
    timeval limit{1, 0};
    setsockopt(created, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    if (::connect(created, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(created);
        return kNoSocket;
    }
    return created;
}

int32_t sendDatagram(SocketHandle socket, const char* bytes, size_t count, bool wait) {
    int flags = MSG_NOSIGNAL | (wait ? 0 : MSG_DONTWAIT);
    ssize_t sent;
    do {
        sent = ::send(static_cast<int>(socket), bytes, count, flags);
    } while (sent < 0 && errno == EINTR);
    if (sent >= 0)
        return 0;
    return errno == EAGAIN || errno == EWOULDBLOCK ? kSocketWouldBlock : kSocketFailed;
}

} // namespace ksPlatform
