// The record interface and the process-wide state: initialisation, the dispatcher's
// order and filter, the registry and level, teardown, and calls out of order.
#include <gtest/gtest.h>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <regex>
#include <thread>
#include "CaptureLogger.h"
#include "core/Library.h"
#include "platform/platform.h"
#include "support/Child.h"
#include "support/DefaultSinks.h"

namespace {

class Library : public testing::Test {
  protected:
    void SetUp() override { switchOffDefaultSinks(); }
    void TearDown() override { ksLog_Term(); }
};

uint16_t greatestThresholdOfLoggers() {
    uint16_t greatest = 0;
    for (ksLogger* logger = firstLogger(); logger; logger = logger->next())
        greatest = logger->threshold() > greatest ? logger->threshold() : greatest;
    return greatest;
}

void expectChildPasses(const char* name) {
    ChildResult result = runChild(name);
    EXPECT_EQ(result.exitCode, 0) << name << ": " << result.output;
    EXPECT_EQ(result.output, "") << name;
}

} // namespace

// A fresh process: nothing is built until the first call that needs it.
KSLOG_CHILD(levelBeforeAnyCall) {
    CHILD_CHECK(_ksLog_Level == 0xFFFF);
    CHILD_CHECK(ksLog_Begin(0xFFFF, 300) == nullptr);
    CHILD_CHECK(ksLog_WillLog(0xFFFF, 300) == 0);
    CHILD_CHECK(recordBuilder() == nullptr); // refused without initialising
    ksLog_Term();                            // nothing to tear down: builds nothing
    CHILD_CHECK(recordBuilder() == nullptr);
    CHILD_CHECK(ksLog_Init() == 1);
    CHILD_CHECK(recordBuilder() != nullptr);
    CHILD_CHECK(ksLog_Init() == 1);
    // The default sinks: the file sink, off without settings, and the daemon sink at
    // "Info". The level is their greatest threshold, so that a debug record is refused
    // by one comparison.
    CHILD_CHECK(registeredLoggers("File") == 1);
    CHILD_CHECK(registeredLoggers("ksLogd") == 1);
    CHILD_CHECK(_ksLog_Level == 4 && _ksLog_Level == greatestThresholdOfLoggers());
    CHILD_CHECK(ksLog_Begin(4, 300) == nullptr); // refused by the level, without the lock
    return 0;
}

KSLOG_CHILD(termInitialisesAgain) {
    switchOffDefaultSinks();
    auto* logger = new CaptureLogger(4);
    CHILD_CHECK(_ksLog_Level == 4);
    CHILD_CHECK(ksLog_Begin(4, 300) == nullptr); // refused by the level, without the lock
    ksLog_Term();
    CHILD_CHECK(firstLogger() == nullptr);
    CHILD_CHECK(ksTheRecord.buffer == nullptr);
    CHILD_CHECK(_ksLog_Level == 4);                // keeps its last value
    CHILD_CHECK(ksLog_Begin(3, 300) == nullptr);   // initialises again: no logger takes it
    CHILD_CHECK(registeredLoggers("ksLogd") == 1); // the default sinks are built again
    CHILD_CHECK(_ksLog_Level == greatestThresholdOfLoggers());
    switchOffDefaultSinks();
    logger = new CaptureLogger(4);
    CHILD_CHECK(ksTheRecord.buffer != nullptr); // the options were read again
    ksLogRecord* record = ksLog_Begin(3, 300);
    CHILD_CHECK(record != nullptr);
    ksLog_Append_F("again");
    ksLog_End(record);
    CHILD_CHECK(logger->text == "again");
    return 0;
}

KSLOG_CHILD(neverLogStopsEverything) {
    new CaptureLogger(0xFFFF);
    ksLog_NeverLog();
    CHILD_CHECK(firstLogger() == nullptr);
    for (uint16_t level : {0, 1, 3, 4, 0xFFFE})
        CHILD_CHECK(ksLog_Begin(level, 300) == nullptr);
    ksLog_SetLogFunc(
        0xFFFF, [](void*, ksLogRecord*, const char*, uint64_t) {}, nullptr);
    CHILD_CHECK(firstLogger() == nullptr);
    ksLog_Term();
    ksLog_SetLogFunc(
        0xFFFF, [](void*, ksLogRecord*, const char*, uint64_t) {}, nullptr);
    CHILD_CHECK(firstLogger() == nullptr);
    CHILD_CHECK(ksLog_Begin(3, 300) == nullptr);
    return 0;
}

// Threads race for the first initialisation: one builds the library, the others are
// refused or wait, and nobody sees a lock or dispatcher that does not exist yet.
KSLOG_CHILD(firstInitialisationRace) {
    std::atomic<int> delivered{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            while (!go)
                ksPlatform::yieldThread();
            if (t % 2)
                ksLog_SetLogFunc(
                    0xFFFF,
                    [](void* count, ksLogRecord*, const char*, uint64_t) {
                        ++*static_cast<std::atomic<int>*>(count);
                    },
                    &delivered);
            for (int i = 0; i < 50; ++i) {
                ksLog_Init();
                KSLOG_INFO(300, "%d", i);
            }
        });
    go = true;
    for (auto& thread : threads)
        thread.join();
    CHILD_CHECK(recordBuilder() != nullptr);
    CHILD_CHECK(registeredLoggers("Func") == 1 && registeredLoggers("ksLogd") == 1);
    int before = delivered;
    KSLOG_INFO(300, "last");
    CHILD_CHECK(delivered == before + 1);
    return 0;
}

TEST(LibraryLifecycle, FirstInitialisationRace) {
    expectChildPasses("firstInitialisationRace");
}
TEST(LibraryLifecycle, InitialisesLazily) {
    expectChildPasses("levelBeforeAnyCall");
}
TEST(LibraryLifecycle, TermThenBeginInitialisesAgain) {
    expectChildPasses("termInitialisesAgain");
}
TEST(LibraryLifecycle, NeverLogIsForever) {
    expectChildPasses("neverLogStopsEverything");
}

TEST_F(Library, EveryPhaseVisitsTheNewestLoggerFirst) {
    visitOrder().clear();
    new NamedLogger("file", 0xFFFF);
    new NamedLogger("daemon", 0xFFFF);
    new NamedLogger("callback", 0xFFFF);
    ksLogRecord* record = ksLog_Begin(3, 300);
    ASSERT_NE(record, nullptr);
    ksLog_Append_F("x");
    ksLog_End(record);
    EXPECT_EQ(visitOrder(),
              (std::vector<std::string>{"callback:begin", "daemon:begin", "file:begin",
                                        "callback:deliver", "daemon:deliver", "file:deliver"}));
}

TEST_F(Library, ALoggerWhoseBeginRefusedGetsNothingMoreOfTheRecord) {
    auto* refusing = new CaptureLogger(0xFFFF, false);
    auto* accepting = new CaptureLogger(0xFFFF, true);
    ksLogRecord* record = ksLog_Begin(2, 300);
    ASSERT_NE(record, nullptr);
    ksLog_Append_F("abc");
    ksLog_End(record);
    EXPECT_EQ(refusing->text, "");
    EXPECT_EQ(refusing->log, (std::vector<std::string>{"begin"}));
    EXPECT_EQ(accepting->text, "abc");
    EXPECT_EQ(accepting->log, (std::vector<std::string>{"begin", "deliver"}));
}

TEST_F(Library, NoAcceptingLoggerLeavesTheLockFree) {
    new CaptureLogger(0xFFFF, false);
    EXPECT_EQ(ksLog_Begin(3, 300), nullptr);
    std::atomic<bool> otherGotIt{false};
    std::thread other([&] { otherGotIt = ksLog_WillLog(3, 300) == 1; });
    other.join();
    EXPECT_TRUE(otherGotIt);
}

// Without a settings file modules below 256 are off and the others on.
TEST_F(Library, WillLogIsOneWiderThanBegin) {
    auto* a = new CaptureLogger(3);
    auto* b = new CaptureLogger(5, false);         // passes the filter, refuses at begin
    EXPECT_EQ(ksLog_WillLog(3, 300), 1);           // 3 <= A's threshold
    EXPECT_EQ(ksLog_Begin(3, 300), nullptr);       // 3 is not below it, and B refuses
    EXPECT_EQ(a->log, std::vector<std::string>{}); // A was not asked
    EXPECT_EQ(ksLog_WillLog(3, 9), 0);             // module 9 is off
    EXPECT_EQ(ksLog_WillLog(0, 300), 0);
    ksLogRecord* record = ksLog_Begin(0, 300);
    ASSERT_NE(record, nullptr);
    ksLog_End(record);
    EXPECT_EQ(a->log, (std::vector<std::string>{"begin", "deliver"}));
    EXPECT_EQ(b->log, (std::vector<std::string>{"begin", "begin"}));
}

TEST_F(Library, GlobalLevelIsTheGreatestThreshold) {
    auto* a = new CaptureLogger(3);
    auto* b = new CaptureLogger(6);
    EXPECT_EQ(_ksLog_Level, 6);
    b->setThreshold(2);
    EXPECT_EQ(_ksLog_Level, 3);
    a->setThreshold(0);
    EXPECT_EQ(_ksLog_Level, 2);
    a->setThreshold(9);
    EXPECT_EQ(_ksLog_Level, 9);
    EXPECT_EQ(ksLog_Begin(9, 300), nullptr);
}

TEST_F(Library, ASecondBeginOnTheSameThreadIsRefused) {
    auto* logger = new CaptureLogger(0xFFFF);
    ksLogRecord* record = ksLog_Begin(3, 300);
    ASSERT_NE(record, nullptr);
    ksLog_Append_F("first ");
    EXPECT_EQ(ksLog_Begin(1, 300), nullptr);
    EXPECT_EQ(ksLog_WillLog(1, 300), 0);
    EXPECT_EQ(ksLog_Init(), 0);
    ksLog_Append_F("continues");
    ksLog_End(record);
    EXPECT_EQ(logger->text, "first continues");
    EXPECT_EQ(record->level, 3);
}

TEST_F(Library, InitTwiceLeavesTheLockFree) {
    EXPECT_EQ(ksLog_Init(), 1);
    EXPECT_EQ(ksLog_Init(), 1);
    new CaptureLogger(0xFFFF);
    bool accepted = false;
    std::thread other([&] {
        ksLogRecord* record = ksLog_Begin(3, 300);
        accepted = record != nullptr;
        ksLog_End(record);
    });
    other.join();
    EXPECT_TRUE(accepted);
}

TEST_F(Library, CallsOutOfOrderDoNothing) {
    auto* logger = new CaptureLogger(0xFFFF);
    ksLog_Append_F("no record");
    ksLog_Append_FN("no record");
    ksLog_Append_B("abc", 3);
    const ksLogUnit abc[] = {0x61, 0x62, 0x63};
    ksLog_Append_U(abc, 3);
    ksLog_End(nullptr);
    ksLog_End(&ksTheRecord);
    EXPECT_TRUE(logger->text.empty());
    EXPECT_TRUE(logger->log.empty());

    ksLogRecord* record = ksLog_Begin(3, 300);
    ASSERT_NE(record, nullptr);
    std::thread stranger([] {
        ksLog_Append_F("stranger");
        ksLog_End(&ksTheRecord); // not the thread that opened the record
    });
    stranger.join();
    ksLog_Append_F("owner");
    ksLog_End(record);
    ksLog_End(record); // a second end: nothing open any more
    EXPECT_EQ(logger->text, "owner");
    EXPECT_EQ(logger->log, (std::vector<std::string>{"begin", "deliver"}));
}

TEST_F(Library, RegistryOperationsInsideARecordKeepItOpen) {
    auto* logger = new CaptureLogger(0xFFFF);
    ksLogRecord* record = ksLog_Begin(3, 300);
    ASSERT_NE(record, nullptr);
    // Registers under the lock the record holds; the record's sinks were chosen already.
    auto* late = new CaptureLogger(0xFFFF);
    EXPECT_EQ(ksLog_Begin(3, 300), nullptr); // still busy: a nested record is refused
    ksLog_Append_F("text");
    ksLog_Term(); // refused while the record is open: its loggers are in use
    ksLog_End(record);
    EXPECT_EQ(logger->text, "text");
    EXPECT_EQ(late->text, "");
    EXPECT_EQ(firstLogger(), late);
}

TEST_F(Library, ModulesBelow256FollowTheSwitches) {
    auto* logger = new CaptureLogger(0xFFFF);
    EXPECT_EQ(ksLog_Begin(3, 5), nullptr); // no populate mode, no key: off
    ksLogRecord* record = ksLog_Begin(3, 256);
    ASSERT_NE(record, nullptr);
    ksLog_End(record);
    EXPECT_EQ(logger->log.size(), 2u);
}

TEST_F(Library, ManyThreadsWriteWholeRecords) {
    auto* logger = new CaptureLogger(0xFFFF);
    constexpr int threads = 6, records = 300;
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t)
        writers.emplace_back([t] {
            for (int i = 0; i < records; ++i) {
                ksLogRecord* record = ksLog_Begin(3, 300);
                if (!record)
                    continue;
                ksLog_Append_F("<%d", t);
                ksLog_Append_F(":%d>", i);
                ksLog_End(record);
            }
        });
    for (auto& writer : writers)
        writer.join();
    EXPECT_EQ(logger->log.size(), 2u * threads * records);
    // Records never interleave: every "<" is followed by its own ":...>".
    size_t count = 0;
    for (size_t at = 0; (at = logger->text.find('<', at)) != std::string::npos; ++at, ++count)
        ASSERT_NE(logger->text.find('>', at), std::string::npos);
    EXPECT_EQ(count, size_t{threads * records});
    // ...and nothing else comes between them.
    for (size_t at = 0, close; at < logger->text.size(); at = close + 1) {
        close = logger->text.find('>', at);
        ASSERT_NE(close, std::string::npos);
        std::string one = logger->text.substr(at, close - at);
        ASSERT_TRUE(std::regex_match(one, std::regex("<[0-9]+:[0-9]+"))) << one;
    }
}

TEST_F(Library, TermWhileOtherThreadsLog) {
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([&] {
            while (!stop) {
                ksLogRecord* record = ksLog_Begin(3, 300);
                if (record) {
                    ksLog_Append_F("x");
                    ksLog_End(record);
                }
            }
        });
    for (int round = 0; round < 200; ++round) {
        {
            ksLibraryLock lock;
            new CaptureLogger(0xFFFF);
        }
        ksLog_Term();
    }
    stop = true;
    for (auto& writer : writers)
        writer.join();
    SUCCEED();
}
