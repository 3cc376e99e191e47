// The first Ethernet adapter's address and the system's random source on POSIX.
#include "platform/platform.h"
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <sys/random.h>
#ifdef __linux__
#include <linux/if_packet.h>
#endif

namespace ksPlatform {

bool firstEthernetAddress(uint8_t node[6]) {
#ifdef __linux__
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return false;
    bool found = false;
    for (ifaddrs* entry = list; entry && !found; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_PACKET ||
            (entry->ifa_flags & IFF_LOOPBACK))
            continue;
        const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
        if (link->sll_hatype != ARPHRD_ETHER || link->sll_halen != 6)
            continue;
        std::memcpy(node, link->sll_addr, 6);
        found = true;
    }
    freeifaddrs(list);
    return found;
#else
    (void)node;
    return false;
#endif
}

bool systemRandomBytes(void* buffer, size_t size) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        ssize_t got = getrandom(bytes, size, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

} // namespace ksPlatform
