// The text the callback sink gathers: growth of its text buffer, texts cut at the shared
// buffer's size, failed formats and several appends in one record.
#include <gtest/gtest.h>
#include <cstdlib>
#include <string>
#include <vector>
#include "core/Library.h"

namespace {

struct Seen {
    std::string text;
    bool terminated = false; // a zero byte follows the text
    int32_t textLength = -1;
    const char* format = nullptr;
};

Seen& seen() {
    static Seen last;
    return last;
}

void keep(void*, ksLogRecord* record, const char* text, uint64_t length) {
    seen().text = text ? std::string(text, length) : std::string();
    seen().terminated = !text || text[length] == 0;
    seen().textLength = record->textLength;
    seen().format = record->format;
}

class FuncLoggerText : public testing::Test {
  protected:
    void SetUp() override { seen() = Seen{}; }
    void TearDown() override { ksLog_Term(); }

    void openSink() { ksLog_SetLogFunc(0xFFFF, keep, nullptr); }
};

constexpr uint16_t module = 300; // always on: no settings are read

std::string repeated(size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += static_cast<char>('a' + i % 26);
    return text;
}

} // namespace

TEST_F(FuncLoggerText, EverySizeIsKeptUpToTheSharedBuffer) {
    openSink();
    // Around the first growth of the text buffer and around the shared buffer's size.
    for (size_t size : {0, 1, 200, 254, 255, 256, 257, 600, 1021, 1022, 1023, 1024, 1025, 5000}) {
        for (const char* format : {"%s", "%s\n"}) {
            bool line = format[2] == '\n';
            std::string text = repeated(size) + (line ? "\n" : "");
            if (text.size() > 1023)
                text = text.substr(0, 1022) + (line ? "\n" : text.substr(1022, 1));
            ksLogRecord* record = ksLog_Begin(3, module);
            ASSERT_NE(record, nullptr);
            ksLog_Append_F(format, repeated(size).c_str());
            ksLog_End(record);
            EXPECT_EQ(seen().text, text) << size << " " << format;
            EXPECT_TRUE(seen().terminated) << size;
        }
    }
}

TEST_F(FuncLoggerText, ACutTextKeepsTheFirstBytesAndItsNewline) {
    openSink();
    const std::string text = repeated(3000);
    const char* line = "%s\n";
    ksLogRecord* record = ksLog_Begin(3, module);
    ksLog_Append_F("ab");
    ksLog_Append_F(line, text.c_str());
    ksLog_End(record);
    EXPECT_EQ(seen().text, "ab" + text.substr(0, 1022) + "\n");
    EXPECT_TRUE(seen().terminated);
    EXPECT_EQ(seen().textLength, 1023);
    EXPECT_EQ(seen().format, line);

    const char* plain = "%s";
    record = ksLog_Begin(3, module);
    ksLog_Append_F(plain, text.c_str());
    ksLog_End(record);
    EXPECT_EQ(seen().text, text.substr(0, 1023));
    EXPECT_EQ(seen().textLength, 1023);
    EXPECT_EQ(seen().format, plain);
}

TEST_F(FuncLoggerText, ALargerSharedBufferMovesTheCut) {
    openSink();
    // As "max_len_logger=3000" would make it; ksLog_Term frees it as usual.
    ksTheRecord.buffer = static_cast<char*>(std::realloc(ksTheRecord.buffer, 3000));
    ASSERT_NE(ksTheRecord.buffer, nullptr);
    ksTheRecord.bufferSize = 3000;
    for (size_t size : {2000, 2998, 2999, 3000, 7000}) {
        std::string text = repeated(size);
        ksLogRecord* record = ksLog_Begin(3, module);
        ksLog_Append_F("-");
        ksLog_Append_F("%s\n", text.c_str());
        ksLog_End(record);
        size_t kept = size + 1 < 3000 ? size + 1 : 2999;
        EXPECT_EQ(seen().text, "-" + text.substr(0, kept - 1) + "\n") << size;
    }
}

TEST_F(FuncLoggerText, TextsThatGrowTheBufferFollowEarlierText) {
    openSink();
    const std::string first = repeated(250), second = repeated(700), third = repeated(900);
    ksLogRecord* record = ksLog_Begin(3, module);
    ksLog_Append_F("%s", first.c_str());
    ksLog_Append_F("%s|", second.c_str());
    ksLog_Append_F("%s", third.c_str());
    ksLog_End(record);
    EXPECT_EQ(seen().text, first + second + "|" + third);
    EXPECT_TRUE(seen().terminated);
    EXPECT_EQ(seen().textLength, 900);
    // Once grown, a short record fits in place.
    record = ksLog_Begin(3, module);
    ksLog_Append_F("n=%d", 5);
    ksLog_End(record);
    EXPECT_EQ(seen().text, "n=5");
    EXPECT_EQ(seen().textLength, 3);
}

TEST_F(FuncLoggerText, AFailedFormatAddsNothing) {
    openSink();
    ksLogRecord* record = ksLog_Begin(3, module);
    ksLog_Append_F("xyz");
    ksLog_Append_F("ab%*d", 2147483647, 1); // longer than a result can count
    ksLog_Append_F("%y");
    ksLog_End(record);
    EXPECT_EQ(seen().text, "xyz");
    EXPECT_TRUE(seen().terminated);
    EXPECT_EQ(seen().textLength, 0);
}
