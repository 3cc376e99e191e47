// The daemon sink's connection: when it makes a new socket after a failed attempt, how
// it counts what it cannot deliver, and what it tells the collector before it closes.
#include <gtest/gtest.h>
#include <string>
#include "platform/platform.h"
#include "sinks/LogdConnection.h"
#include "support/Background.h"
#include "support/Listener.h"

namespace {

using Readiness = ksLogdConnection::Readiness;

uint64_t fakeNow = 0;
uint64_t fakeClock() {
    return fakeNow;
}

ksPlatform::SocketAddress addressOf(const TestListener& listener) {
    ksPlatform::startSockets();
    ksPlatform::SocketAddress address{};
    EXPECT_TRUE(
        ksPlatform::resolveAddress("127.0.0.1", std::to_string(listener.port()).c_str(), &address));
    return address;
}

// A collector whose address is known but where nothing listens yet, and a connection to it
// on the fake clock.
struct StoppedCollector {
    TestListener listener;
    ksPlatform::SocketAddress address = addressOf(listener);
    ksLogdConnection connection;

    StoppedCollector() {
        EXPECT_TRUE(listener.listening());
        listener.stop();
        ksPlatform::recordCalls.clock = fakeClock;
    }
    ~StoppedCollector() { ksPlatform::recordCalls.clock = ksPlatform::wallClockMicroseconds; }
};

// Prepares at a moment of the fake clock; a connection under way is polled (the clock
// standing still) until it settles. The polls of one under way count records too.
Readiness prepareAt(ksLogdConnection& connection, const ksPlatform::SocketAddress& address,
                    uint64_t now) {
    fakeNow = now;
    Readiness readiness = connection.prepare(address);
    for (int i = 0; i < 2000 && readiness == Readiness::refused && connection.lost() == 0; ++i) {
        sleepMilliseconds(1);
        readiness = connection.prepare(address);
    }
    return readiness;
}

} // namespace

// A listener that is up when the sink is not allowed to try shows that it did not: a
// try would have connected.
TEST(LogdConnection, WaitsADoublingIntervalAfterAFailedAttemptUnlessItBlocks) {
    struct Step {
        uint64_t now;
        bool listening;
        Readiness expected;
    };
    struct Case {
        bool blocking;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {false,
         {{1000000, false, Readiness::refused}, // fails: next try 4 ms later
          {1003999, true, Readiness::refused},  // not yet: no socket
          {1004000, false, Readiness::refused}, // fails again: 8 ms
          {1011999, true, Readiness::refused},
          {1012000, true, Readiness::cameUp}}},
        // a wall clock set back by more than the longest interval ends the wait
        {false,
         {{5000000, false, Readiness::refused},
          {5003999, true, Readiness::refused},
          {3000000, true, Readiness::cameUp}}},
        {true, {{1000000, false, Readiness::refused}, {1000000, true, Readiness::cameUp}}},
    };
    for (const Case& c : cases) {
        StoppedCollector collector;
        auto& [listener, address, connection] = collector;
        connection.setBlocking(c.blocking);
        uint32_t refused = 0;
        bool up = false;
        for (const Step& step : c.steps) {
            if (step.listening && !up) {
                ASSERT_TRUE(listener.restart());
            }
            if (!step.listening && up)
                listener.stop();
            up = step.listening;
            Readiness readiness = prepareAt(connection, address, step.now);
            EXPECT_EQ(readiness, step.expected) << c.blocking << " at " << step.now;
            refused += readiness == Readiness::refused;
        }
        EXPECT_EQ(connection.lost(), refused) << c.blocking; // each refused record once
        listener.stop();
    }
}

TEST(LogdConnection, AConnectionBringsTheIntervalBackToItsStart) {
    StoppedCollector collector;
    auto& [listener, address, connection] = collector;
    uint64_t now = 1000000;
    for (uint64_t wait = 4000; wait <= 64000; now += wait, wait *= 2)
        EXPECT_EQ(prepareAt(connection, address, now), Readiness::refused) << now;
    ASSERT_TRUE(listener.restart());
    EXPECT_EQ(prepareAt(connection, address, now), Readiness::cameUp);
    EXPECT_TRUE(connection.sendHeader("\n", 1));
    connection.finish();
    listener.stop();
    EXPECT_EQ(prepareAt(connection, address, now + 1), Readiness::refused);
    ASSERT_TRUE(listener.restart());
    EXPECT_EQ(prepareAt(connection, address, now + 4000), Readiness::refused);
    EXPECT_EQ(prepareAt(connection, address, now + 4001), Readiness::cameUp);
    connection.finish();
}

// Every record is delivered or counted once, and the count reaches the collector: ahead
// of the next block, or at the end, when the socket takes it at once.
TEST(LogdConnection, ReportsWhatItLostAheadOfTheNextBlockAndAtTheEnd) {
    StoppedCollector collector;
    auto& [listener, address, connection] = collector;
    EXPECT_EQ(prepareAt(connection, address, 1000000), Readiness::refused);
    EXPECT_EQ(prepareAt(connection, address, 1000001), Readiness::refused);
    ASSERT_TRUE(listener.restart());
    ASSERT_EQ(prepareAt(connection, address, 2000000), Readiness::cameUp);
    ASSERT_TRUE(connection.sendHeader("HEADER 2\n", 9));
    EXPECT_EQ(connection.lost(), 0u);
    EXPECT_TRUE(connection.sendRecord("one\n", 4));
    EXPECT_TRUE(connection.sendRecord("", 0)); // nothing to send: delivered
    listener.setReading(false);
    // Fill the system's buffers: the blocks that do not go whole are counted.
    const std::string block(65536, 'x');
    uint32_t delivered = 0, written = 0;
    while (connection.lost() < 3 && written < 100000) {
        ++written;
        if (connection.prepare(address) == Readiness::up)
            delivered += connection.sendRecord(block.data(), block.size());
    }
    EXPECT_EQ(connection.lost(), written - delivered);
    uint32_t lost = connection.lost();
    listener.setReading(true);
    // Once the socket takes bytes again: the report, then the block.
    bool sent = false;
    for (int i = 0; i < 5000 && !sent; ++i) {
        sleepMilliseconds(1);
        sent = connection.prepare(address) == Readiness::up && connection.sendRecord("two\n", 4);
        lost += !sent;
    }
    ASSERT_TRUE(sent);
    connection.finish();
    ASSERT_TRUE(listener.waitFor([](const auto& c) {
        return c.size() == 1 && c[0].size() >= 4 && c[0].substr(c[0].size() - 4) == "two\n";
    }));
    std::string stream = listener.received();
    EXPECT_EQ(stream.substr(0, 23), "\nLOST: 2\nHEADER 2\none\nx");
    std::string report = "\nLOST: " + std::to_string(lost) + "\ntwo\n";
    EXPECT_EQ(stream.substr(stream.size() - report.size()), report);
}
