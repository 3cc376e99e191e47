// The instance identifier: version 1 UUIDs for the daemon sink's header.
#include "sinks/InstanceId.h"
#include <cstring>
#include "foundation/Format.h"
#include "platform/platform.h"

namespace {

// 100-nanosecond intervals from 1582-10-15 (the Gregorian reform) to 1970-01-01.
constexpr uint64_t gregorianToUnix = 0x01B21DD213814000ull;
constexpr int32_t readingsPerMicrosecond = 10; // 100-ns steps beyond a clock reading

// Zero at load and never reset: a sink built again after ksLog_Term keeps the node and
// continues the clock sequence.
constinit ksInstanceIdGenerator processGenerator(ksInstanceIdSources{
    ksPlatform::wallClockMicroseconds, ksPlatform::firstEthernetAddress,
    ksPlatform::systemRandomBytes});

void storeBigEndian(uint8_t* at, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        at[i] = static_cast<uint8_t>(value);
        value >>= 8;
    }
}

} // namespace

ksInstanceIdGenerator::Reading ksInstanceIdGenerator::readClock() const {
    uint64_t now = sources_.clockMicroseconds();
    return Reading{static_cast<uint32_t>(now / 1000000u), static_cast<uint32_t>(now % 1000000u)};
}

// The system's generator: a process without an adapter must not share its node with
// every other one. Should it fail, the clock and process id stand in, which still
// differ between processes.
void ksInstanceIdGenerator::fillRandom(void* buffer, size_t size) const {
    if (sources_.randomBytes(buffer, size))
        return;
    uint64_t mix = sources_.clockMicroseconds() * 0x9E3779B97F4A7C15ull ^
                   (static_cast<uint64_t>(ksPlatform::currentProcessId()) << 17);
    auto* bytes = static_cast<uint8_t*>(buffer);
    for (size_t i = 0; i < size; ++i) {
        mix ^= mix >> 29;
        mix *= 0xBF58476D1CE4E5B9ull;
        bytes[i] = static_cast<uint8_t>(mix >> 56);
    }
}

// Bit 0x80 of a random node's first byte marks it as not an adapter's address.
void ksInstanceIdGenerator::determineNode() {
    if (!sources_.ethernetAddress(node_)) {
        fillRandom(node_, sizeof node_);
        node_[0] |= 0x80;
    }
    nodeKnown_ = true;
}

uint64_t ksInstanceIdGenerator::nextTimestamp() {
    for (;;) {
        Reading now = readClock();
        if (last_.seconds == 0 && last_.microseconds == 0) {
            uint8_t random[2];
            fillRandom(random, sizeof random);
            clockSequence_ = static_cast<uint16_t>((random[0] | random[1] << 8) & 0x1FFF);
            last_ = Reading{now.seconds - 1, now.microseconds};
        }
        bool earlier = now.seconds < last_.seconds ||
                       (now.seconds == last_.seconds && now.microseconds < last_.microseconds);
        bool same = now.seconds == last_.seconds && now.microseconds == last_.microseconds;
        if (earlier) {
            // The clock went back: a new sequence keeps identifiers apart.
            clockSequence_ = static_cast<uint16_t>((clockSequence_ + 1) & 0x1FFF);
            counter_ = 0;
            last_ = now;
        } else if (same) {
            if (counter_ >= readingsPerMicrosecond)
                continue; // all ten steps of this reading are used: wait for the clock
            ++counter_;
        } else {
            counter_ = 0;
            last_ = now;
        }
        return static_cast<uint64_t>(last_.seconds) * 10000000u +
               static_cast<uint64_t>(last_.microseconds) * 10u + static_cast<uint64_t>(counter_) +
               gregorianToUnix;
    }
}

void ksInstanceIdGenerator::create(uint8_t id[16]) {
    if (!nodeKnown_)
        determineNode();
    uint64_t timestamp = nextTimestamp();
    storeBigEndian(id, timestamp & 0xFFFFFFFFu, 4);
    storeBigEndian(id + 4, (timestamp >> 32) & 0xFFFFu, 2);
    storeBigEndian(id + 6, ((timestamp >> 48) & 0xFFFFu) | 0x1000u, 2);
    storeBigEndian(id + 8, clockSequence_ | 0x8000u, 2);
    std::memcpy(id + 10, node_, sizeof node_);
}

void createInstanceId(uint8_t id[16]) {
    processGenerator.create(id);
}

void formatInstanceId(const uint8_t id[16], char text[kInstanceIdTextSize]) {
    ksFormatBuffer(text, kInstanceIdTextSize,
                   "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", id[0],
                   id[1], id[2], id[3], id[4], id[5], id[6], id[7], id[8], id[9], id[10], id[11],
                   id[12], id[13], id[14], id[15]);
}
