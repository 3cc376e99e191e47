// BSD sockets for the daemon sink: non-blocking through O_NONBLOCK, zero time-out polls
// through poll(), sends that never raise SIGPIPE (MSG_NOSIGNAL).
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include "platform/SystemSockets.h"
#include "platform/posix/Descriptors.h"

namespace ksPlatform {

namespace {

bool wouldBlock(int error) {
    return error == EINPROGRESS || error == EWOULDBLOCK || error == EAGAIN;
}

short pollEvents(SocketHandle socket, short wanted) {
    pollfd entry{static_cast<int>(socket), wanted, 0};
    int ready;
    do {
        ready = ::poll(&entry, 1, 0);
    } while (ready < 0 && errno == EINTR);
    return ready > 0 ? entry.revents : 0;
}

} // namespace

void startSockets() {}

SocketHandle createStreamSocket(const SocketAddress& address) {
    sa_family_t family;
    std::memcpy(&family, address.bytes + offsetof(sockaddr, sa_family), sizeof family);
    int created = aboveStandardStreams(::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0));
    return created < 0 ? kNoSocket : created;
}

void setNonBlocking(SocketHandle socket) {
    int flags = fcntl(static_cast<int>(socket), F_GETFL, 0);
    if (flags >= 0)
        fcntl(static_cast<int>(socket), F_SETFL, flags | O_NONBLOCK);
}

int32_t connectSocket(SocketHandle socket, const SocketAddress& address) {
    int result =
        ::connect(static_cast<int>(socket), reinterpret_cast<const sockaddr*>(address.bytes),
                  static_cast<socklen_t>(address.length));
    if (result == 0)
        return 0;
    // An interrupted connect goes on in the background, like one under way.
    return wouldBlock(errno) || errno == EINTR ? kSocketWouldBlock : kSocketFailed;
}

// A failed connection shows as an error or hang-up, which Winsock reports in the
// exception set: both layers then tell the sink the same thing.
ConnectProgress pollConnect(SocketHandle socket) {
    short events = pollEvents(socket, POLLOUT);
    if (events & (POLLERR | POLLHUP | POLLNVAL))
        return ConnectProgress::failed;
    return events & POLLOUT ? ConnectProgress::connected : ConnectProgress::pending;
}

// As select() sees it: a socket with a pending error counts as writable, so that the
// send that follows finds the error.
bool pollWritable(SocketHandle socket) {
    return pollEvents(socket, POLLOUT) & (POLLOUT | POLLERR | POLLHUP);
}

int64_t sendBytes(SocketHandle socket, const char* bytes, uint32_t count) {
    ssize_t sent;
    do {
        sent = ::send(static_cast<int>(socket), bytes, count, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent >= 0)
        return sent;
    return wouldBlock(errno) ? kSocketWouldBlock : kSocketFailed;
}

bool bytesWaiting(SocketHandle socket) {
    return pollEvents(socket, POLLIN) & POLLIN;
}

void closeSocket(SocketHandle socket) {
    if (socket != kNoSocket)
        ::close(static_cast<int>(socket));
}

} // namespace ksPlatform
