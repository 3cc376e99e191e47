// The callback sink: which functions receive which records, registration and removal,
// functions that change the registrations while they run, and many threads at once.
#include <gtest/gtest.h>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>
#include "core/Library.h"
#include "core/Options.h"
#include "core/Logger.h"
#include "support/Child.h"
#include "support/DefaultSinks.h"

namespace {

struct Delivery {
    std::string who;
    uint16_t level;
    uint16_t module;
    std::string text;
    uint64_t length;
    bool textWasNull;
};

std::vector<Delivery>& deliveries() {
    static std::vector<Delivery> list;
    return list;
}

void remember(void* user, ksLogRecord* record, const char* text, uint64_t length) {
    deliveries().push_back(Delivery{static_cast<const char*>(user), record->level, record->module,
                                    text ? std::string(text, length) : std::string(), length,
                                    text == nullptr});
}
void rememberToo(void* user, ksLogRecord* record, const char* text, uint64_t length) {
    remember(user, record, text, length);
}

void writeRecord(uint16_t level, const char* text, uint16_t module = 300) {
    ksLogRecord* record = ksLog_Begin(level, module);
    if (!record)
        return;
    ksLog_Append_F("%s", text);
    ksLog_End(record);
}

std::vector<std::string> receivers() {
    std::vector<std::string> names;
    for (const Delivery& d : deliveries())
        names.push_back(d.who);
    return names;
}

class FuncLogger : public testing::Test {
  protected:
    void SetUp() override {
        deliveries().clear();
        switchOffDefaultSinks();
    }
    void TearDown() override {
        ksLog_Term();
        deliveries().clear();
    }
};

char nameA[] = "A";
char nameB[] = "B";

} // namespace

TEST_F(FuncLogger, EntriesReceiveRecordsBelowTheirLevelNewestFirst) {
    ksLog_SetLogFunc(2, remember, nameA);
    ksLog_SetLogFunc(4, rememberToo, nameB);
    writeRecord(2, "warning");
    EXPECT_EQ(receivers(), (std::vector<std::string>{"B"}));
    deliveries().clear();
    writeRecord(3, "info");
    EXPECT_EQ(receivers(), (std::vector<std::string>{"B"}));
    deliveries().clear();
    writeRecord(1, "error");
    EXPECT_EQ(receivers(), (std::vector<std::string>{"B", "A"}));
    EXPECT_EQ(deliveries()[0].text, "error");
    EXPECT_EQ(deliveries()[0].level, 1);
    EXPECT_EQ(deliveries()[0].module, 300);
    deliveries().clear();
    writeRecord(4, "debug");
    EXPECT_TRUE(deliveries().empty());
}

TEST_F(FuncLogger, RegisteringAgainReplacesTheEntry) {
    ksLog_SetLogFunc(3, rememberToo, nameB);
    ksLog_SetLogFunc(4, remember, nameB);
    ksLog_SetLogFunc(2, remember, nameA);
    writeRecord(1, "error"); // one entry for remember, at the head, with the new user
    EXPECT_EQ(receivers(), (std::vector<std::string>{"A", "B"}));
    deliveries().clear();
    writeRecord(2, "warning"); // remember's level is now 2
    EXPECT_EQ(receivers(), (std::vector<std::string>{"B"}));
    EXPECT_EQ(findLogger("Func")->threshold(), 3);
    ksLog_SetLogFunc(0, rememberToo, nullptr);
    EXPECT_EQ(findLogger("Func")->threshold(), 2);
}

TEST_F(FuncLogger, RemovingTheLastEntryLowersTheLevelAndKeepsTheSink) {
    ksLog_SetLogFunc(0xFFFF, remember, nameA);
    EXPECT_EQ(_ksLog_Level, 0xFFFF);
    ksLog_SetLogFunc(4, rememberToo, nameB);
    ksLog_SetLogFunc(0, remember, nullptr);
    EXPECT_EQ(_ksLog_Level, 4);
    ksLog_SetLogFunc(0, rememberToo, nullptr);
    EXPECT_EQ(_ksLog_Level, 0);
    ASSERT_EQ(registeredLoggers("Func"), 1);
    EXPECT_EQ(findLogger("Func")->threshold(), 0);
    EXPECT_EQ(ksLog_Begin(0, 300), nullptr);
}

TEST_F(FuncLogger, RemovingWithoutASinkCreatesNone) {
    ksLog_SetLogFunc(0, remember, nameA);
    EXPECT_EQ(registeredLoggers("Func"), 0);
    ksLog_SetLogFunc(0xFFFF, nullptr, nameA); // a null function is never registered
    EXPECT_EQ(registeredLoggers("Func"), 0);
    ksLog_SetLogFunc(0xFFFF, remember, nameA);
    ksLog_SetLogFunc(0xFFFF, nullptr, nameA);
    writeRecord(3, "one");
    EXPECT_EQ(receivers(), (std::vector<std::string>{"A"}));
}

TEST_F(FuncLogger, TheBareTextWithoutPrefix) {
    ksLog_SetLogFunc(0xFFFF, remember, nameA);
    ksLogRecord* record = ksLog_Begin(3, 300);
    ASSERT_NE(record, nullptr);
    ksLog_End(record); // no append: length 0, no text gathered yet
    ASSERT_EQ(deliveries().size(), 1u);
    EXPECT_EQ(deliveries()[0].length, 0u);
    EXPECT_TRUE(deliveries()[0].textWasNull);

    ksLogFunc threeBytes = [](void*, ksLogRecord*, const char* text, uint64_t length) {
        EXPECT_EQ(length, 3u);
        EXPECT_EQ(std::string(text, 4), std::string("abc", 4)); // a zero byte follows
    };
    ksLog_SetLogFunc(0xFFFF, threeBytes, nullptr);
    record = ksLog_Begin(3, 300);
    ksLog_Append_F("abc");
    ksLog_End(record);
    ksLog_SetLogFunc(0, threeBytes, nullptr);

    deliveries().clear();
    record = ksLog_Begin(3, 300);
    ksLog_Append_FN("%d", 5);
    ksLog_Append_B("Hi", 2);
    ksLog_End(record);
    ASSERT_EQ(deliveries().size(), 1u);
    EXPECT_EQ(deliveries()[0].text.substr(0, 3), "5\nB");
    EXPECT_EQ(deliveries()[0].text.substr(deliveries()[0].text.size() - 5), "- Hi\n");
}

TEST_F(FuncLogger, ModulesBelow256AreOffWithoutPopulateMode) {
    ksLog_SetLogFunc(0xFFFF, remember, nameA);
    writeRecord(3, "module 5", 5);
    writeRecord(3, "module 256", 256);
    ASSERT_EQ(deliveries().size(), 1u);
    EXPECT_EQ(deliveries()[0].text, "module 256");
}

TEST_F(FuncLogger, ModulesFollowTheTableOncePopulateModeWasSeen) {
    ksOptions.populateDefaults = 1;
    ksLog_SetLogFunc(0xFFFF, remember, nameA);
    writeRecord(3, "named, on", 5);
    writeRecord(3, "named, off", 4);
    writeRecord(3, "unnamed", 150);
    ksOptions.populateDefaults = 0;
    ASSERT_EQ(deliveries().size(), 2u);
    EXPECT_EQ(deliveries()[0].text, "named, on");
    EXPECT_EQ(deliveries()[1].text, "unnamed");
}

KSLOG_CHILD(funcNeverLog) {
    ksLog_NeverLog();
    ksLog_SetLogFunc(0xFFFF, remember, nameA);
    return firstLogger() == nullptr ? 0 : 1;
}

TEST_F(FuncLogger, NothingAfterNeverLog) {
    EXPECT_EQ(runChild("funcNeverLog").exitCode, 0);
}

// Functions that change the registrations, or call the library, while end walks them.
namespace {

int selfRemovals = 0;
void removeSelfAndNeighbour(void*, ksLogRecord*, const char*, uint64_t) {
    ++selfRemovals;
    ksLog_SetLogFunc(0, removeSelfAndNeighbour, nullptr);
    ksLog_SetLogFunc(0, rememberToo, nullptr);            // the next one in the walk
    ksLog_SetLogFunc(4, removeSelfAndNeighbour, nullptr); // and back, at the head
}

void misbehave(void*, ksLogRecord* record, const char*, uint64_t) {
    ksLog_Append_F("more"); // would change the text being delivered
    EXPECT_EQ(ksLog_Begin(1, 300), nullptr);
    ksLog_End(record); // the record is being ended already
    ksLog_Term();      // refused: the loggers are in use
    ksLog_NeverLog();  // takes effect once the record is closed
}

} // namespace

TEST_F(FuncLogger, FunctionsMayChangeRegistrationsWhileCalled) {
    ksLog_SetLogFunc(4, remember, nameA);
    ksLog_SetLogFunc(4, rememberToo, nameB);
    ksLog_SetLogFunc(4, removeSelfAndNeighbour, nullptr);
    writeRecord(3, "one");
    // B was removed before its turn; A still came.
    EXPECT_EQ(receivers(), (std::vector<std::string>{"A"}));
    EXPECT_EQ(selfRemovals, 1);
    deliveries().clear();
    writeRecord(3, "two");
    EXPECT_EQ(receivers(), (std::vector<std::string>{"A"}));
    EXPECT_EQ(selfRemovals, 2);
}

KSLOG_CHILD(funcMisbehaves) {
    ksLog_SetLogFunc(4, remember, nameA);
    ksLog_SetLogFunc(4, misbehave, nullptr);
    writeRecord(3, "text");
    if (deliveries().size() != 1 || deliveries()[0].text != "text")
        return 1;
    if (firstLogger() != nullptr)
        return 2; // the deferred NeverLog ran after the record
    return ksLog_Begin(1, 300) == nullptr ? 0 : 3;
}

TEST_F(FuncLogger, FunctionsCallingTheLibraryCannotBreakTheRecord) {
    ChildResult result = runChild("funcMisbehaves");
    EXPECT_EQ(result.exitCode, 0) << result.output;
}

// Global operator new is counted (CountingNew.cpp); the library's other allocations go
// through the record's text buffer, which the functions see: it does not move.
long newCallCount();

TEST_F(FuncLogger, RecordsAllocateNothingOnceTheTextBufferHasGrown) {
    static const char* firstText = nullptr;
    static bool moved = false;
    ksLog_SetLogFunc(
        0xFFFF,
        [](void*, ksLogRecord*, const char* text, uint64_t) {
            moved = moved || (firstText && text != firstText);
            firstText = text;
        },
        nullptr);
    std::string longest(700, 'y');
    writeRecord(3, longest.c_str());
    long before = newCallCount();
    for (int i = 0; i < 1000; ++i) {
        ksLogRecord* record = ksLog_Begin(3, 300);
        ksLog_Append_F("user %s id=%d took %.3f ms", "ann", i, i * 0.5);
        ksLog_Append_B("abc", 3);
        const ksLogUnit wide[] = {0x77, 0x69, 0x64, 0x65};
        ksLog_Append_U(wide, 4);
        ksLog_End(record);
        writeRecord(3, longest.c_str() + (i % 700));
    }
    EXPECT_EQ(newCallCount(), before);
    EXPECT_FALSE(moved);
}

// Many threads log through callbacks while others register and remove functions.
namespace {

std::atomic<long> steadyCount{0};
std::atomic<long> churnCount{0};
void steady(void*, ksLogRecord*, const char* text, uint64_t length) {
    if (length >= 4 && std::memcmp(text, "rec ", 4) == 0)
        ++steadyCount;
}
void churnOne(void*, ksLogRecord*, const char*, uint64_t) {
    ++churnCount;
}
void churnTwo(void*, ksLogRecord*, const char*, uint64_t) {
    ++churnCount;
    ksLog_SetLogFunc(0, churnTwo, nullptr); // removes itself from inside end
}

} // namespace

TEST_F(FuncLogger, ThreadsLogWhileOthersRegisterAndRemove) {
    steadyCount = 0;
    ksLog_SetLogFunc(0xFFFF, steady, nullptr);
    constexpr int writers = 4, records = 2000;
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < writers; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < records; ++i) {
                KSLOG_INFO(1000 + t, "rec %d/%d", t, i);
                KSLOG_HEX(KSLOG_LEVEL_DEBUG, 1000, "xy", 2);
            }
        });
    std::vector<std::thread> registrars;
    for (int r = 0; r < 2; ++r)
        registrars.emplace_back([&stop, r] {
            while (!stop) {
                ksLog_SetLogFunc(r ? 4 : 0xFFFF, r ? churnTwo : churnOne, nullptr);
                std::this_thread::yield();
                ksLog_SetLogFunc(0, churnOne, nullptr);
            }
        });
    for (auto& thread : threads)
        thread.join();
    stop = true;
    for (auto& thread : registrars)
        thread.join();
    EXPECT_EQ(steadyCount.load(), long{writers} * records);
    EXPECT_EQ(_ksLog_Level, 0xFFFF);
}
