// Windows Sockets for the daemon sink: FIONBIO for non-blocking, select() with a zero
// time-out, Winsock started once per process.
#include <atomic>
#include <cstring>
#include "platform/SystemSockets.h"

namespace ksPlatform {

namespace {

std::atomic<bool> socketsStarted{false};

bool wouldBlock(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS;
}

} // namespace

// Started once and never cleaned up: the sink may be built again after ksLog_Term, and
// another part of the process may use Winsock too.
void startSockets() {
    if (socketsStarted.exchange(true))
        return;
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
}

SocketHandle createStreamSocket(const SocketAddress& address) {
    ADDRESS_FAMILY family;
    std::memcpy(&family, address.bytes, sizeof family);
    SOCKET created = ::socket(family, SOCK_STREAM, 0);
    return created == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(created);
}

void setNonBlocking(SocketHandle socket) {
    u_long on = 1;
    ioctlsocket(native(socket), FIONBIO, &on);
}

int32_t connectSocket(SocketHandle socket, const SocketAddress& address) {
    if (::connect(native(socket), reinterpret_cast<const sockaddr*>(address.bytes),
                  address.length) == 0)
        return 0;
    return wouldBlock(WSAGetLastError()) ? kSocketWouldBlock : kSocketFailed;
}

ConnectProgress pollConnect(SocketHandle socket) {
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(native(socket), &writable);
    FD_SET(native(socket), &failed);
    timeval zero{0, 0};
    if (select(0, nullptr, &writable, &failed, &zero) <= 0)
        return ConnectProgress::pending;
    if (FD_ISSET(native(socket), &failed))
        return ConnectProgress::failed;
    return FD_ISSET(native(socket), &writable) ? ConnectProgress::connected
                                               : ConnectProgress::pending;
}

bool pollWritable(SocketHandle socket) {
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(native(socket), &writable);
    timeval zero{0, 0};
    return select(0, nullptr, &writable, nullptr, &zero) > 0 && FD_ISSET(native(socket), &writable);
}

int64_t sendBytes(SocketHandle socket, const char* bytes, uint32_t count) {
    // Winsock takes an int count: a larger block is sent in part, which the caller
    // counts like any partial send.
    int chunk = count > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(count);
    int sent = ::send(native(socket), bytes, chunk, 0);
    if (sent != SOCKET_ERROR)
        return sent;
    return wouldBlock(WSAGetLastError()) ? kSocketWouldBlock : kSocketFailed;
}

bool bytesWaiting(SocketHandle socket) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(native(socket), &readable);
    timeval zero{0, 0};
    return select(0, &readable, nullptr, nullptr, &zero) > 0 && FD_ISSET(native(socket), &readable);
}

void closeSocket(SocketHandle socket) {
    if (socket != kNoSocket)
        closesocket(native(socket));
}

} // namespace ksPlatform
