// Windows Sockets for the daemon sink: FIONBIO for non-blocking, select() with a zero
// time-out, Winsock started once per process.
#include "platform/platform.h"
#include <winsock2.h>
#include <ws2tcpip.h>
#include <atomic>
#include <cstring>

namespace ksPlatform {

namespace {

std::atomic<bool> socketsStarted{false};

bool wouldBlock(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS;
}

SOCKET native(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
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

bool resolveAddress(const char* host, const char* port, SocketAddress* address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, port, &hints, &found) != 0 || !found)
        return false;
    bool fits = found->ai_addr && found->ai_addrlen <= sizeof address->bytes;
    if (fits) {
        std::memcpy(address->bytes, found->ai_addr, found->ai_addrlen);
        address->length = static_cast<int32_t>(found->ai_addrlen);
    }
    freeaddrinfo(found);
    return fits;
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

void setSendBufferSize(SocketHandle socket, int32_t bytes) {
    int size = bytes;
    setsockopt(native(socket), SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&size),
               sizeof size);
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

void closeSocket(SocketHandle socket) {
    if (socket != kNoSocket)
        closesocket(native(socket));
}

} // namespace ksPlatform
