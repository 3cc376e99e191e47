// The socket calls that Winsock and BSD sockets spell alike: resolution, socket options,
// and the steps of an orderly close. posix/Sockets.cpp and win32/Sockets.cpp hold the rest.
#include <cstring>
#include "platform/SystemSockets.h"

namespace ksPlatform {

namespace {

// Reads of what the peer sent before a close: bounded, so that a peer sending without
// end cannot hold the caller (16 MiB, more than a socket's receive buffer holds).
constexpr int maxDiscardReads = 1024;
constexpr int discardChunk = 16384;

} // namespace

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

void setSendBufferSize(SocketHandle socket, int32_t bytes) {
    int size = bytes;
    setsockopt(native(socket), SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&size),
               sizeof size);
}

void shutdownSending(SocketHandle socket) {
    if (socket != kNoSocket)
        ::shutdown(native(socket), kShutdownSending);
}

void discardReceived(SocketHandle socket) {
    if (socket == kNoSocket)
        return;
    char dropped[discardChunk];
    for (int i = 0; i < maxDiscardReads && bytesWaiting(socket); ++i)
        if (::recv(native(socket), dropped, sizeof dropped, 0) <= 0)
            break; // the peer closed, or the connection failed: nothing more to read
}

bool peerHasClosed(SocketHandle socket) {
    if (socket == kNoSocket)
        return true;
    char dropped[discardChunk];
    for (int i = 0; i < maxDiscardReads && bytesWaiting(socket); ++i)
        if (::recv(native(socket), dropped, sizeof dropped, 0) <= 0)
            return true; // the end of the peer's stream, or a reset
    return false;
}

} // namespace ksPlatform
