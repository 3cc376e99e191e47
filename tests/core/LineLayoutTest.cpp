// The bytes a sink receives: prefix, formatted text, hex dumps and wide text, byte for byte.
#include <gtest/gtest.h>
#include <cstdio>
#include <regex>
#include <string>
#include <thread>
#include <utility>
#include <vector>
#include "CaptureLogger.h"
#include "core/Library.h"
#include "core/Options.h"
#include "core/Timestamp.h"
#include "foundation/Format.h"
#include "platform/platform.h"

namespace {

// Modules below 256 take their defaults as in populate mode: on, unless the module
// table says otherwise.
class LineLayout : public testing::Test {
  protected:
    void SetUp() override { ksOptions.populateDefaults = 1; }
    void TearDown() override {
        ksLog_Term();
        ksOptions.showDate = 0;
        ksOptions.populateDefaults = 0;
    }

    // A record of level 3 and the given module through a capturing logger.
    CaptureLogger* open(uint16_t level, uint16_t module, bool prefix = false) {
        auto* logger = new CaptureLogger(0xFFFF, true, prefix);
        record_ = ksLog_Begin(level, module);
        EXPECT_NE(record_, nullptr);
        return logger;
    }
    void close() { ksLog_End(record_); }

    ksLogRecord* record_ = nullptr;
};

std::string threadText() {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", ksPlatform::currentThreadId());
    return text;
}

std::string dumpHeader(const void* data, uint64_t length) {
    char text[128];
    ksFormatBuffer(text, sizeof text, "Buffer pointer=%p length=%d\n", data,
                   static_cast<int>(static_cast<int32_t>(length)));
    return text;
}

} // namespace

// Level letter, time, bar, thread id, bar, module column and a blank: with the date off
// the module column starts at byte 24.
constexpr size_t moduleColumn = 24;

TEST_F(LineLayout, PrefixIsLetterTimeThreadAndModuleColumn) {
    CaptureLogger* logger = open(3, 7000, true);
    ksLog_Append_F("hello\n");
    close();
    EXPECT_TRUE(std::regex_match(
        logger->text,
        std::regex(R"(I \d\d:\d\d:\d\d:\d\d\d\|)" + threadText() + R"(\|0000007000 hello\n)")))
        << logger->text;
}

TEST_F(LineLayout, LevelLetters) {
    const char* letters[] = {"E ", "E ", "W ", "I ", "D ", "D "};
    const uint16_t levels[] = {0, 1, 2, 3, 4, 9};
    for (int i = 0; i < 6; ++i) {
        CaptureLogger* logger = open(levels[i], 300, true);
        close();
        EXPECT_EQ(logger->text.substr(0, 2), letters[i]) << levels[i];
        ksLog_Term();
    }
}

TEST_F(LineLayout, ModuleColumnIsTenCharacters) {
    CaptureLogger* logger = open(3, 5, true); // NETWORK
    close();
    EXPECT_EQ(logger->text.substr(moduleColumn), "NETWORK    ");
    ksLog_Term();

    logger = open(3, 80, true); // a name longer than ten characters
    close();
    EXPECT_EQ(logger->text.substr(moduleColumn), "PRINTER_SP ");
}

TEST_F(LineLayout, UnnamedModuleColumnsFollowEachRecordsModule) {
    for (uint16_t module : {7000, 300, 300, 7000, 65535, 0xFFFF - 1, 123}) {
        CaptureLogger* logger = open(3, module, true);
        close();
        char expected[16];
        std::snprintf(expected, sizeof expected, "%010u", module);
        EXPECT_EQ(logger->text.substr(moduleColumn), std::string(expected) + " ");
        ksLog_Term();
    }
}

// Within one second the time text is reused with new milliseconds: every text must be
// what the full formatting gives.
TEST_F(LineLayout, TimeTextsInSequence) {
    struct Case {
        ksPlatform::LocalTime time;
        uint16_t showDate;
        const char* expected;
    } cases[] = {
        {{2026, 3, 14, 9, 5, 7, 42}, 0, "09:05:07:042"},
        {{2026, 3, 14, 9, 5, 7, 999}, 0, "09:05:07:999"},
        {{2026, 3, 14, 9, 5, 7, 0}, 1, "03/14/2026 09:05:07:000"},
        {{2026, 3, 14, 9, 5, 7, 5}, 1, "03/14/2026 09:05:07:005"},
        {{2026, 3, 15, 9, 5, 7, 5}, 1, "03/15/2026 09:05:07:005"},
        {{2026, 3, 15, 9, 5, 7, 6}, 0, "09:05:07:006"},
        {{2026, 3, 15, 9, 5, 8, 6}, 0, "09:05:08:006"},
        {{2027, 3, 15, 9, 5, 8, 7}, 0, "09:05:08:007"},
        {{2027, 3, 15, 9, 5, 8, 1000}, 0, "09:05:08:1000"},
        {{2027, 3, 15, 9, 5, 8, 100}, 0, "09:05:08:100"},
    };
    ksLogRecord record{};
    for (const Case& c : cases) {
        ksOptions.showDate = c.showDate;
        formatRecordTime(&record, c.time);
        EXPECT_EQ(std::string(record.timeText, record.timeLength), c.expected);
        EXPECT_EQ(record.timeText[record.timeLength], 0) << c.expected;
    }
}

// The record clock's reading is the record's time: within one second the kept text takes
// new milliseconds; a new second, day or date option is formatted afresh. Every text is
// what the full formatting of that moment gives, and the sinks' time checks read the
// same moment while the record is open, the clock itself after it.
TEST_F(LineLayout, TimestampsFollowTheRecordClock) {
    static uint64_t now = 0;
    struct SetClock {
        SetClock() {
            ksPlatform::recordCalls.clock = [] { return now; };
        }
        ~SetClock() { ksPlatform::recordCalls.clock = ksPlatform::wallClockMicroseconds; }
    } setClock;
    const uint64_t base = 1773479107000000, day = 86400000000; // a second in March 2026
    const std::pair<uint64_t, uint16_t> cases[] = {
        {42000, 0},      {999999, 0},     {0, 1},         {5000, 1}, {1005000, 1}, {1006999, 0},
        {day + 6000, 0}, {day + 6000, 1}, {day + 999, 1}, {2000, 0}, {2000, 0}};
    auto* logger = new CaptureLogger(0xFFFF, true, true);
    for (auto [offset, showDate] : cases) {
        uint64_t stamped = now = base + offset;
        ksOptions.showDate = showDate;
        logger->text.clear();
        ksLogRecord* record = ksLog_Begin(3, 300);
        ASSERT_NE(record, nullptr);
        now += 1500000;
        EXPECT_EQ(recordClock(), stamped);
        ksLog_End(record);
        EXPECT_EQ(recordClock(), now);
        ksPlatform::LocalTime t{};
        ASSERT_TRUE(ksPlatform::localTimeAt(static_cast<int64_t>(stamped / 1000000), &t));
        char date[16] = "", expected[64];
        if (showDate)
            std::snprintf(date, sizeof date, "%02d/%02d/%04d ", t.month, t.day, t.year);
        std::snprintf(expected, sizeof expected, "%s%02d:%02d:%02d:%03d", date, t.hour, t.minute,
                      t.second, static_cast<int>(stamped / 1000 % 1000));
        EXPECT_EQ(std::string(record->timeText, record->timeLength), expected);
        EXPECT_EQ(record->timeText[record->timeLength], 0);
        EXPECT_EQ(logger->text.substr(2, record->timeLength + 1), std::string(expected) + "|");
    }
}

// The thread column shows each record's own thread, also when threads take turns.
TEST_F(LineLayout, ThreadColumnFollowsEachRecordsThread) {
    auto* logger = new CaptureLogger(0xFFFF, true, true);
    auto writeRecord = [] { ksLog_End(ksLog_Begin(3, 300)); };
    std::string mine = threadText();
    for (int turn = 0; turn < 4; ++turn) {
        bool other = turn % 2 == 1;
        std::string expected = mine;
        logger->text.clear();
        if (other)
            std::thread([&] {
                writeRecord();
                expected = threadText();
            }).join();
        else
            writeRecord();
        EXPECT_EQ(logger->text.substr(14, 10), "|" + expected + "|") << turn;
        if (other) {
            EXPECT_NE(expected, mine);
        }
    }
}

TEST_F(LineLayout, DateWhenAskedAndTheSameTimestampForEveryLogger) {
    auto* first = new CaptureLogger(0xFFFF, true, true);
    auto* second = new CaptureLogger(0xFFFF, true, true);
    ksOptions.showDate = 1;
    ksLogRecord* record = ksLog_Begin(3, 300);
    ASSERT_NE(record, nullptr);
    ksLog_End(record);
    EXPECT_TRUE(std::regex_match(first->text.substr(2, 24),
                                 std::regex(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d:\d\d\d\|)")))
        << first->text;
    EXPECT_EQ(first->text, second->text);
    EXPECT_EQ(record->timeLength, 23u);
}

TEST_F(LineLayout, FormattedTextAndLines) {
    CaptureLogger* logger = open(3, 300);
    ksLog_Append_F("user %s id=%d", "ann", 7);
    ksLog_Append_FN("%d items", 3);
    ksLog_Append_F(nullptr);
    ksLog_Append_F("");
    close();
    EXPECT_EQ(logger->text, "user ann id=73 items\n");
}

TEST_F(LineLayout, TextLongerThanTheBufferIsCutAndKeepsItsNewline) {
    CaptureLogger* logger = open(3, 300);
    std::string longText(3000, 'x');
    ksLog_Append_F("%s\n", longText.c_str());
    ksLog_Append_F("%s", longText.c_str());
    int32_t size = record_->bufferSize;
    close();
    ASSERT_EQ(size, 1024);
    EXPECT_EQ(logger->text, std::string(1022, 'x') + "\n" + std::string(1023, 'x'));
}

TEST_F(LineLayout, HexDumpOfFiveBytes) {
    static const char hello[] = "Hello";
    CaptureLogger* logger = open(3, 300);
    ksLog_Append_B(hello, 5);
    close();
    EXPECT_EQ(logger->text,
              dumpHeader(hello, 5) + "   48 65 6C 6C 6F " + std::string(33, ' ') + "- Hello\n");
}

TEST_F(LineLayout, HexDumpLinesPadAndEscape) {
    unsigned char bytes[17];
    for (int i = 0; i < 17; ++i)
        bytes[i] = static_cast<unsigned char>(10 + i);
    bytes[6] = 127;
    bytes[7] = 128;
    bytes[8] = 31;
    bytes[9] = 'A';
    CaptureLogger* logger = open(3, 300);
    ksLog_Append_B(bytes, 16);
    ksLog_Append_B(bytes, 17);
    close();
    const std::string full =
        "   0A 0B 0C 0D 0E 0F 7F 80 1F 41 14 15 16 17 18 19 - ......\x7f..A......\n";
    EXPECT_EQ(logger->text, dumpHeader(bytes, 16) + full + dumpHeader(bytes, 17) + full + "   1A " +
                                std::string(45, ' ') + "- .\n");
}

TEST_F(LineLayout, HexDumpWithoutDataIsTheHeaderOnly) {
    static const char abc[] = "abc";
    CaptureLogger* logger = open(3, 300);
    ksLog_Append_B(abc, 0);
    ksLog_Append_B(nullptr, 0);
    ksLog_Append_B(nullptr, 1000); // nothing to read, whatever the length says
    close();
    EXPECT_EQ(logger->text,
              dumpHeader(abc, 0) + dumpHeader(nullptr, 0) + dumpHeader(nullptr, 1000));
}

TEST_F(LineLayout, WideTextEscapesEverythingButPrintableAscii) {
    const ksLogUnit units[] = {0x41, 0x00E9, 0x0009, 0x0000, 0xD800, 0x7F, 0x20};
    CaptureLogger* logger = open(3, 300);
    ksLog_Append_U(units, 3);
    ksLog_Append_U(units + 3, 4);
    ksLog_Append_U(nullptr, 5);
    close();
    EXPECT_EQ(logger->text, "A\\u00e9\\u0009\\u0000\\ud800\x7f ");
}

TEST_F(LineLayout, WideTextStopsAfterFourHundredCharacters) {
    std::vector<ksLogUnit> accented(300, 0x00E9);
    std::vector<ksLogUnit> plain(1000, 'a');
    CaptureLogger* logger = open(3, 300);
    ksLog_Append_U(accented.data(), accented.size());
    ksLog_Append_U(plain.data(), UINT64_MAX); // a huge count reads only what it prints
    close();
    ASSERT_EQ(logger->text.size(), 802u);
    EXPECT_EQ(logger->text.substr(396, 6), "\\u00e9");
    EXPECT_EQ(logger->text.substr(402), std::string(400, 'a'));
}
