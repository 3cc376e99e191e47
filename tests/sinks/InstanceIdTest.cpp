// The instance identifier: layout, text form, the counter within one clock reading, a
// clock that goes back, and the node that every identifier of a process shares.
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include "ksLog.h"
#include "sinks/InstanceId.h"
#include "support/Background.h"
#include "support/Child.h"
#include "support/Listener.h"

namespace {

// A clock that plays a script of readings and then stays on the last one; random bytes
// and the adapter as a test asks.
std::deque<uint64_t> readings;
uint64_t lastReading = 0;
uint8_t randomByte = 0;
bool hasAdapter = false;

uint64_t scriptedClock() {
    if (!readings.empty()) {
        lastReading = readings.front();
        readings.pop_front();
    }
    return lastReading;
}
bool scriptedAdapter(uint8_t node[6]) {
    const uint8_t address[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
    if (hasAdapter)
        std::memcpy(node, address, 6);
    return hasAdapter;
}
bool scriptedRandom(void* buffer, size_t size) {
    std::memset(buffer, randomByte, size);
    return true;
}

ksInstanceIdGenerator scriptedGenerator(std::initializer_list<uint64_t> script) {
    readings.assign(script);
    return ksInstanceIdGenerator(
        ksInstanceIdSources{scriptedClock, scriptedAdapter, scriptedRandom});
}

struct Fields {
    uint64_t timestamp;
    unsigned clockSequence;
    std::string node;
};

Fields decode(const uint8_t id[16]) {
    auto big = [&](int at, int count) {
        uint64_t value = 0;
        for (int i = 0; i < count; ++i)
            value = value << 8 | id[at + i];
        return value;
    };
    char node[13];
    std::snprintf(node, sizeof node, "%02x%02x%02x%02x%02x%02x", id[10], id[11], id[12], id[13],
                  id[14], id[15]);
    return Fields{(big(6, 2) & 0x0FFF) << 48 | big(4, 2) << 32 | big(0, 4),
                  static_cast<unsigned>(big(8, 2) & 0x1FFF), node};
}

// Microseconds since 1970 as the identifier's 100-ns count since 1582-10-15.
uint64_t uuidTime(uint64_t microseconds, int counter) {
    return microseconds * 10 + static_cast<uint64_t>(counter) + 0x01B21DD213814000ull;
}

constexpr uint64_t t0 = 1700000000123456ull;

} // namespace

TEST(InstanceId, TextFormIsLowerCaseHexWithHyphensAfterBytes3579) {
    const uint8_t id[16] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0x1c, 0xde,
                            0x9f, 0x00, 0xa0, 0xb1, 0xc2, 0xd3, 0xe4, 0xf5};
    char text[kInstanceIdTextSize];
    formatInstanceId(id, text);
    EXPECT_STREQ(text, "01234567-89ab-1cde-9f00-a0b1c2d3e4f5");
}

TEST(InstanceId, CountsUpToTenWithinOneReadingThenWaitsForTheClock) {
    hasAdapter = true;
    randomByte = 0x37;
    // 12 identifiers on one reading: the twelfth waits through two more identical
    // readings until the clock moves on.
    ksInstanceIdGenerator generator =
        scriptedGenerator({t0, t0, t0, t0, t0, t0, t0, t0, t0, t0, t0, t0, t0, t0, t0 + 1});
    for (int expected = 0; expected <= 11; ++expected) {
        uint8_t id[16];
        generator.create(id);
        EXPECT_GE(id[6], 0x10);
        EXPECT_LE(id[6], 0x1F);
        EXPECT_GE(id[8], 0x80);
        EXPECT_LE(id[8], 0x9F);
        Fields fields = decode(id);
        uint64_t want = expected <= 10 ? uuidTime(t0, expected) : uuidTime(t0 + 1, 0);
        EXPECT_EQ(fields.timestamp, want) << expected;
        EXPECT_EQ(fields.clockSequence, 0x1737u & 0x1FFF); // two random bytes, low first
        EXPECT_EQ(fields.node, "001a2b3c4d5e");
    }
    EXPECT_TRUE(readings.empty());
}

TEST(InstanceId, AClockThatGoesBackAdvancesTheSequence) {
    struct Case {
        uint8_t random;         // the first sequence comes from two such bytes
        unsigned firstSequence; // ... masked to 13 bits
        unsigned afterGoingBack;
    };
    for (Case c : {Case{0x00, 0x0000, 0x0001}, Case{0xFF, 0x1FFF, 0x0000}}) {
        randomByte = c.random;
        ksInstanceIdGenerator generator = scriptedGenerator({t0, t0, t0 - 5, t0 - 5});
        uint8_t id[16];
        Fields fields[4];
        for (Fields& f : fields) {
            generator.create(id);
            f = decode(id);
        }
        EXPECT_EQ(fields[0].clockSequence, c.firstSequence);
        EXPECT_EQ(fields[1].timestamp, uuidTime(t0, 1));
        EXPECT_EQ(fields[2].clockSequence, c.afterGoingBack);
        EXPECT_EQ(fields[2].timestamp, uuidTime(t0 - 5, 0)); // the counter starts again
        EXPECT_EQ(fields[3].timestamp, uuidTime(t0 - 5, 1));
        EXPECT_EQ(fields[3].clockSequence, c.afterGoingBack);
    }
}

TEST(InstanceId, WithoutAnAdapterTheNodeIsRandomWithBit0x80) {
    hasAdapter = false;
    randomByte = 0x01;
    ksInstanceIdGenerator generator = scriptedGenerator({t0, t0 + 1});
    uint8_t first[16], second[16];
    generator.create(first);
    generator.create(second);
    EXPECT_EQ(decode(first).node, "810101010101");
    EXPECT_EQ(decode(second).node, "810101010101");
}

// Two daemon sinks of one process (one before ksLog_Term, one after) announce the same
// node and clock sequence with a later time: the identifiers of their headers.
KSLOG_CHILD(identifiersAcrossSinks) {
    TestListener listener;
    CHILD_CHECK(listener.listening());
    setEnvironmentVariable("KESTLOG", listener.target().c_str());
    for (size_t sinks = 1; sinks <= 2; ++sinks) {
        for (int i = 0; i < 2000 && listener.connections().size() < sinks; ++i) {
            KSLOG_INFO(300, "connecting\n");
            sleepMilliseconds(1);
        }
        ksLog_Term();
    }
    CHILD_CHECK(listener.waitFor([](const auto& c) {
        return c.size() == 2 && c[1].find("logs previously lost)\n") != std::string::npos;
    }));
    std::string ids[2];
    for (int i = 0; i < 2; ++i) {
        std::string stream = listener.connections()[i];
        size_t at = stream.find("\nUUID: ");
        CHILD_CHECK(at != std::string::npos);
        ids[i] = stream.substr(at + 7, 36);
    }
    std::printf("%s %s\n", ids[0].c_str(), ids[1].c_str());
    return 0;
}

TEST(InstanceId, SinksOfOneProcessShareNodeAndSequence) {
    ChildResult result = runChild("identifiersAcrossSinks");
    ASSERT_EQ(result.exitCode, 0) << result.output;
    ASSERT_EQ(result.output.size(), 2 * 36 + 2) << result.output;
    std::string first = result.output.substr(0, 36), second = result.output.substr(37, 36);
    EXPECT_NE(first, second);
    EXPECT_EQ(first.substr(19), second.substr(19));                  // clock sequence and node
    EXPECT_EQ(first[14], '1');                                       // version 1
    EXPECT_NE(std::string("89").find(first[19]), std::string::npos); // variant 10
}
