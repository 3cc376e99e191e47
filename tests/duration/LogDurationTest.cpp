// Scoped duration records: the start and end lines, kinds, the owned text and assignment.
#include <gtest/gtest.h>
#include <chrono>
#include <cstring>
#include <regex>
#include <string>
#include <thread>
#include <vector>
#include "ksLog.h"

namespace {

struct Line {
    std::string text;
    std::string file;
    int32_t line;
};

std::vector<Line>& lines() {
    static std::vector<Line> list;
    return list;
}

void collect(void*, ksLogRecord* record, const char* text, uint64_t length) {
    lines().push_back(Line{std::string(text ? text : "", length), record->file ? record->file : "",
                           record->line});
}

class LogDuration : public testing::Test {
  protected:
    void SetUp() override {
        lines().clear();
        ksLog_SetLogFunc(KSLOG_THRESHOLD_INFO, collect, nullptr);
    }
    void TearDown() override {
        ksLog_Term();
        lines().clear();
    }
};

constexpr uint16_t module = 400;

} // namespace

TEST_F(LogDuration, StartAndEndRecords) {
    {
        ksLogDuration operation(KSLOG_LEVEL_INFO, module, KSLOG_STARTING,
                                ksLogDuration::ksLogDuration_F("parse %s", "config"));
        ASSERT_EQ(lines().size(), 1u);
        EXPECT_EQ(lines()[0].text, "Starting: parse config\n");
        EXPECT_EQ(lines()[0].file, "..\\..\\LogDuration");
        EXPECT_EQ(lines()[0].line, 51);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(lines().size(), 2u);
    EXPECT_TRUE(std::regex_match(lines()[1].text,
                                 std::regex(R"(Started : parse config \(0\.\d\d\d seconds\)\n)")))
        << lines()[1].text;
    EXPECT_NE(lines()[1].text, "Started : parse config (0.000 seconds)\n");
    EXPECT_EQ(lines()[1].line, 70);
}

TEST_F(LogDuration, KindWords) {
    const char* expected[][2] = {{"Starting: x\n", "Started : x"},
                                 {"Stopping: x\n", "Stopped : x"},
                                 {"Loading: x\n", "Loaded : x"},
                                 {"Unloading: x\n", "Unloaded : x"},
                                 {"Running: x\n", "Done : x"}};
    for (int kind = 0; kind < 5; ++kind) {
        lines().clear();
        { ksLogDuration operation(3, module, kind, ksLogDuration::ksLogDuration_F("x")); }
        ASSERT_EQ(lines().size(), 2u) << kind;
        EXPECT_EQ(lines()[0].text, expected[kind][0]);
        EXPECT_EQ(lines()[1].text.substr(0, std::strlen(expected[kind][1])), expected[kind][1]);
    }
}

TEST_F(LogDuration, PerformingWritesOnlyTheEndRecord) {
    { KSLOG_DURATION(KSLOG_LEVEL_INFO, module, KSLOG_PERFORMING, "backup %d", 3); }
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].text.substr(0, 22), "Performed : backup 3 (");
}

TEST_F(LogDuration, KindsOutsideTheTableAreRunning) {
    for (int kind : {6, -1, 1000}) {
        lines().clear();
        { ksLogDuration operation(3, module, kind, ksLogDuration::ksLogDuration_F("odd")); }
        ASSERT_EQ(lines().size(), 2u);
        EXPECT_EQ(lines()[0].text, "Running: odd\n");
        EXPECT_EQ(lines()[1].text.substr(0, 11), "Done : odd ");
    }
}

TEST_F(LogDuration, NothingWhenLoggingIsOffAtConstruction) {
    {
        ksLogDuration operation(KSLOG_LEVEL_DEBUG, module, KSLOG_LOADING,
                                ksLogDuration::ksLogDuration_F("quiet"));
        ksLog_SetLogFunc(KSLOG_THRESHOLD_ALL, collect, nullptr); // enabled meanwhile
    }
    EXPECT_TRUE(lines().empty());
}

TEST_F(LogDuration, TextIsCutTo255Bytes) {
    std::string longText(400, 'z');
    const char* text = ksLogDuration::ksLogDuration_F("%s", longText.c_str());
    EXPECT_EQ(std::strlen(text), 255u);
    { ksLogDuration operation(3, module, KSLOG_RUNNING, text); }
    EXPECT_EQ(lines().at(0).text, "Running: " + std::string(255, 'z') + "\n");
    const char* empty = ksLogDuration::ksLogDuration_F(nullptr);
    EXPECT_STREQ(empty, "");
    { ksLogDuration operation(3, module, KSLOG_RUNNING, empty); }
}

TEST_F(LogDuration, AssignmentGivesEachObjectItsOwnText) {
    {
        ksLogDuration first(3, module, KSLOG_LOADING, ksLogDuration::ksLogDuration_F("first"));
        ksLogDuration second(3, module + 1, KSLOG_STOPPING,
                             ksLogDuration::ksLogDuration_F("second"));
        second = first;
        first = first;
        lines().clear();
    }
    // Both end records name the first operation; each text was freed once (ASan checks).
    ASSERT_EQ(lines().size(), 2u);
    EXPECT_EQ(lines()[0].text.substr(0, 15), "Loaded : first ");
    EXPECT_EQ(lines()[1].text.substr(0, 15), "Loaded : first ");
}

TEST_F(LogDuration, NullTextIsNotFreed) {
    { ksLogDuration operation(3, module, KSLOG_RUNNING, nullptr); }
    EXPECT_EQ(lines().size(), 2u);
}
