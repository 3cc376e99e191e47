// The first Ethernet adapter's address (IP Helper) and the system's random source.
#define _CRT_RAND_S // declares rand_s, which draws from the system's generator
#include "platform/platform.h"
#include <winsock2.h>
#include <iphlpapi.h>
#include <cstdlib>
#include <cstring>

namespace ksPlatform {

// 11264 bytes hold 16 adapters; a machine with more reports an overflow and gets the
// random node, as does one without an Ethernet adapter.
bool firstEthernetAddress(uint8_t node[6]) {
    constexpr ULONG bufferSize = 11264;
    void* buffer = std::malloc(bufferSize);
    if (!buffer)
        return false;
    ULONG size = bufferSize;
    bool found = false;
    auto* adapter = static_cast<IP_ADAPTER_INFO*>(buffer);
    if (GetAdaptersInfo(adapter, &size) == ERROR_SUCCESS) {
        for (; adapter && !found; adapter = adapter->Next) {
            if (adapter->Type != MIB_IF_TYPE_ETHERNET)
                continue;
            std::memcpy(node, adapter->Address, 6);
            found = true;
        }
    }
    std::free(buffer);
    return found;
}

bool systemRandomBytes(void* buffer, size_t size) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    for (size_t at = 0; at < size; at += 4) {
        unsigned int value = 0;
        if (rand_s(&value) != 0)
            return false;
        size_t count = size - at < 4 ? size - at : 4;
        std::memcpy(bytes + at, &value, count);
    }
    return true;
}

} // namespace ksPlatform
