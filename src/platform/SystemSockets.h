// The system's socket headers and the few names in which Winsock and BSD sockets differ,
// for the socket code that both platforms share (SharedSockets.cpp). Only the platform
// layer includes this file.
#pragma once
#include "platform/platform.h"
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace ksPlatform {

#ifdef _WIN32
using NativeSocket = SOCKET;
constexpr int kShutdownSending = SD_SEND;
#else
using NativeSocket = int;
constexpr int kShutdownSending = SHUT_WR;
#endif

inline NativeSocket native(SocketHandle socket) {
    return static_cast<NativeSocket>(socket);
}

// A zero time-out look: true when a receive would not wait. Each platform's Sockets.cpp.
bool bytesWaiting(SocketHandle socket);

} // namespace ksPlatform
