// The daemon sink's record path against a collector that reads nothing for a while: the
// caller does not wait, records allocate nothing once the buffers have grown, and no
// record reaches the collector cut: each arrives whole or is counted in a lost report.
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include "ksLog.h"
#include "support/Background.h"
#include "support/Child.h"
#include "support/Listener.h"

long newCallCount();

namespace {

// Record n carries n % 301 letters.
bool writeRecord(int number) {
    ksLogRecord* record = ksLog_Begin(3, 300);
    if (!record)
        return false;
    static const std::string letters(300, 'z');
    ksLog_Append_F("rec %06d %.*s\n", number, number % 301, letters.c_str());
    ksLog_End(record);
    return true;
}

} // namespace

TEST(LogdLogger, RecordsArriveWholeOrAreReportedAndAllocateNothing) {
    TestListener listener;
    ASSERT_TRUE(listener.listening());
    listener.setReading(false); // an idle listener: the records wait in the system
    setEnvironmentVariable("KESTLOG", listener.target().c_str());
    bool connected = false;
    for (int i = 0; i < 500 && !connected; ++i)
        connected = writeRecord(0) || (sleepMilliseconds(1), false);
    ASSERT_TRUE(connected);
    // The listener's own thread allocates when it takes the connection: let it first.
    ASSERT_TRUE(listener.waitFor([](const auto& c) { return c.size() == 1; }));
    int written = 1;
    long before = newCallCount();
    for (; written < 3000; ++written) // more than the system's buffers hold
        writeRecord(written);
    EXPECT_EQ(newCallCount(), before);
    // Once the listener reads again, a record goes out behind the lost report.
    listener.setReading(true);
    bool taken = false;
    for (int i = 0; i < 5000 && !taken; ++i)
        taken = writeRecord(written++) || (sleepMilliseconds(1), false);
    ASSERT_TRUE(taken);
    const std::string last = "rec " + std::to_string(1000000 + written - 1).substr(1) + " ";
    ASSERT_TRUE(
        listener.waitFor([&](const auto& c) { return c[0].find(last) != std::string::npos; }));
    ksLog_Term();
    std::string stream = listener.received();
    stream = stream.substr(stream.find("logs previously lost)\n") + 21); // what came after
    int delivered = 0, reported = 0;
    std::smatch m;
    const std::regex line("\nI [0-9:]{12}\\|[0-9a-f]{8}\\|0000000300 rec ([0-9]{6}) (z*)\n|"
                          "\nLOST: ([0-9]+)\n");
    for (auto at = stream.cbegin(); std::regex_search(at, stream.cend(), m, line);
         at = m[0].second - 1) {
        if (m[3].matched) {
            reported += std::stoi(m[3].str());
            continue;
        }
        EXPECT_EQ(m[2].length(), std::stoi(m[1].str()) % 301) << m[0];
        ++delivered;
    }
    EXPECT_EQ(delivered + reported, written);
    // No line ran into the next.
    EXPECT_FALSE(std::regex_search(stream, std::regex("[^\n]I [0-9:]{12}\\|")));
    setEnvironmentVariable("KESTLOG", "null");
}
