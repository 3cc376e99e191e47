// Unix-domain datagram sockets, which Windows does not have: there is no system log
// socket to connect to.
#include "platform/platform.h"

namespace ksPlatform {

SocketHandle connectLocalDatagram(const char*) {
    return kNoSocket;
}

int32_t sendDatagram(SocketHandle, const char*, size_t, bool) {
    return kSocketFailed;
}

} // namespace ksPlatform
