// The daemon sink's record path: once its block has grown to the longest record, records
// allocate nothing, and the caller does not wait for a collector that reads nothing.
#include <gtest/gtest.h>
#include <string>
#include "ksLog.h"
#include "sinks/LogdLogger.h"
#include "support/Background.h"
#include "support/Child.h"
#include "support/Listener.h"

long newCallCount();

namespace {

void writeRecord(const std::string& text, int length = -1) {
    ksLogRecord* record = ksLog_Begin(3, 300);
    if (!record)
        return;
    ksLog_Append_F("%.*s\n", length < 0 ? static_cast<int>(text.size()) : length, text.c_str());
    ksLog_End(record);
}

} // namespace

TEST(LogdLogger, RecordsAllocateNothingOnceTheBlockHasGrown) {
    TestListener listener;
    ASSERT_TRUE(listener.listening());
    listener.setReading(false); // an idle listener: the records wait in the system
    setEnvironmentVariable("KESTLOG", listener.target().c_str());
    ksLog_Init();
    ksLogdLogger* sink = ksLogdLogger::instance();
    ASSERT_NE(sink, nullptr);
    for (int i = 0; i < 500 && !(sink->isConnected() && sink->lost() == 0); ++i) {
        writeRecord("connecting");
        sleepMilliseconds(1);
    }
    ASSERT_TRUE(sink->isConnected());
    // The listener's own thread allocates when it takes the connection: let it first.
    ASSERT_TRUE(listener.waitFor([](const auto& c) { return c.size() == 1; }));
    const std::string longest(300, 'z');
    writeRecord(longest);
    uint64_t capacity = sink->blockCapacity();
    long before = newCallCount();
    for (int i = 0; i < 200; ++i) {
        ksLogRecord* record = ksLog_Begin(3, 300);
        ASSERT_NE(record, nullptr);
        ksLog_Append_F("user %s id=%d took %.3f ms\n", "ann", i, i * 0.5);
        ksLog_End(record);
        writeRecord(longest, i);
    }
    EXPECT_EQ(newCallCount(), before);
    EXPECT_EQ(sink->blockCapacity(), capacity);
    EXPECT_EQ(sink->lost(), 0u);
    ksLog_Term();
    setEnvironmentVariable("KESTLOG", "null");
}
