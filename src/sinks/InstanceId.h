// The identifier a daemon sink announces to the log collector: a time-based UUID
// (version 1, variant 10) from the wall clock, a clock sequence and the first Ethernet
// adapter's address as node.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t kInstanceIdTextSize = 37; // 36 characters and the terminator

// The generator's sources; the process-wide generator uses the platform's.
struct ksInstanceIdSources {
    uint64_t (*clockMicroseconds)();          // wall clock since 1970-01-01 UTC
    bool (*ethernetAddress)(uint8_t node[6]); // false when the machine has none
    bool (*randomBytes)(void* buffer, size_t size);
};

// The state shared by every identifier of a process: the node and the clock sequence
// stay, and identifiers made within one clock reading count up to 10 beyond it.
class ksInstanceIdGenerator {
  public:
    constexpr explicit ksInstanceIdGenerator(const ksInstanceIdSources& sources)
        : sources_(sources) {}
    // Fills 16 bytes, multi-byte fields most significant byte first. Waits (busy) for the
    // clock to move when 11 identifiers already share its reading.
    void create(uint8_t id[16]);

  private:
    struct Reading {
        uint32_t seconds;
        uint32_t microseconds;
    };
    Reading readClock() const;
    void fillRandom(void* buffer, size_t size) const;
    void determineNode();
    uint64_t nextTimestamp();

    ksInstanceIdSources sources_;
    uint8_t node_[6] = {};
    bool nodeKnown_ = false;
    uint16_t clockSequence_ = 0; // 13 significant bits
    Reading last_ = {0, 0};
    int32_t counter_ = 0;
};

// The process's generator, for the daemon sink (called under the library lock).
void createInstanceId(uint8_t id[16]);
// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" in lower-case hexadecimal.
void formatInstanceId(const uint8_t id[16], char text[kInstanceIdTextSize]);
