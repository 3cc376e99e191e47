// Text the collector derives from network bytes: file names, terminal text, JSON
// strings and the fields of a record line.
#include "FileName.h"
#include "JsonText.h"
#include "RecordFields.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

TEST(InstanceFileName, KeepsOnlySafeCharactersAndStaysInsideTheFolder) {
    struct {
        std::string application;
        std::string uuid;
        std::string expected;
    } cases[] = {
        {"app.exe", "0a1b2c3d-0000-1000-8000-00aabbccddee",
         "app.exe-0a1b2c3d-0000-1000-8000-00aabbccddee.log"},
        {"../../x", "u", "_._.._x~5d8c685d-u.log"},
        {"/etc/passwd", "u", "_etc_passwd~0bbdb997-u.log"},
        {"C:\\Windows\\x", "u", "C__Windows_x~3d33f785-u.log"},
        {"a\0b"s, "u", "a_b~10f3abd2-u.log"},
        {"..", "..", "_.~a3d4a70d-_.~a3d4a70d.log"},
        {"", "", "_~811c9dc5-_~811c9dc5.log"},
        {"caf\xc3\xa9", "u", "caf__~a82b5049-u.log"},
    };
    for (const auto& test : cases)
        EXPECT_EQ(instanceFileName(test.application, test.uuid, ".log"), test.expected)
            << test.application;
}

TEST(InstanceFileName, BoundsAHugeNameAndTellsDifferentOnesApart) {
    std::string first = instanceFileName(std::string(10000, 'a'), "u", ".log");
    std::string second = instanceFileName(std::string(10001, 'a'), "u", ".log");
    EXPECT_LE(first.size(), 120u);
    EXPECT_NE(first, second);
    EXPECT_EQ(first.find_first_not_of("a-u.log~0123456789abcdef"), std::string::npos);
}

TEST(DisplayText, EscapesControlBytesAndCuts) {
    struct {
        std::string text;
        std::string shown;
    } cases[] = {
        {"app", "app"},
        {"a\nb\x1b[31m\\", "a\\x0ab\\x1b[31m\\x5c"},
        {"a\0b\x7f"s, "a\\x00b\\x7f"},
        {std::string(70, 'x'), std::string(64, 'x') + "..."},
    };
    for (const auto& test : cases)
        EXPECT_EQ(displayText(test.text), test.shown);
}

TEST(JsonString, IsValidForAnyBytes) {
    struct {
        std::string bytes;
        std::string json;
    } cases[] = {
        {"plain text", "\"plain text\""},
        {"quote \" backslash \\ slash /", "\"quote \\\" backslash \\\\ slash /\""},
        {"\t\n\r\b\f\x01\x1f\x7f", "\"\\t\\n\\r\\b\\f\\u0001\\u001f\x7f\""},
        {"nul \0 byte"s, "\"nul \\u0000 byte\""},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
         "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\""},
        {"\xff\xfe", "\"\\ufffd\\ufffd\""},
        {"\xc3", "\"\\ufffd\""},                                  // cut sequence at the end
        {"\xc3(", "\"\\ufffd(\""},                                // bad continuation byte
        {"\xc0\xaf", "\"\\ufffd\\ufffd\""},                       // overlong '/'
        {"\xe0\x80\xaf", "\"\\ufffd\\ufffd\\ufffd\""},            // overlong three-byte form
        {"\xed\xa0\x80", "\"\\ufffd\\ufffd\\ufffd\""},            // a surrogate
        {"\xf4\x90\x80\x80", "\"\\ufffd\\ufffd\\ufffd\\ufffd\""}, // above U+10FFFF
        {"\xf4\x8f\xbf\xbf", "\"\xf4\x8f\xbf\xbf\""},             // U+10FFFF itself
    };
    for (const auto& test : cases) {
        std::string json;
        appendJsonString(json, test.bytes);
        EXPECT_EQ(json, test.json);
    }
}

TEST(RecordLine, SplitsThePrefixIntoFields) {
    struct {
        const char* line;
        bool prefixed;
        const char* level;
        const char* time;
        const char* thread;
        const char* module;
        const char* text;
    } cases[] = {
        {"I 09:05:07:042|00001a2c|0000007000 hello", true, "I", "09:05:07:042", "00001a2c",
         "0000007000", "hello"},
        {"E 03/14/2026 09:05:07:042|DEADBEEF|Core       x|y", true, "E", "03/14/2026 09:05:07:042",
         "DEADBEEF", "Core", "x|y"},
        {"D 09:05:07:042|00000001|Core        ", true, "D", "09:05:07:042", "00000001", "Core",
         " "},
        {"W 09:05:07:042|00000001|Core       ", true, "W", "09:05:07:042", "00000001", "Core", ""},
        {"   48 65 6C - Hel", false, "", "", "", "", "   48 65 6C - Hel"},
        {"X 09:05:07:042|00000001|Core       x", false, "", "", "", "", nullptr},
        {"I 09:05:07:042|0000000g|Core       x", false, "", "", "", "", nullptr},
        {"I 09:05:07:042|00000001|Core      x", false, "", "", "", "", nullptr},
        {"I 9:05:07:042|00000001|Core       x", false, "", "", "", "", nullptr},
        {"I ", false, "", "", "", "", nullptr},
    };
    for (const auto& test : cases) {
        RecordFields fields;
        EXPECT_EQ(splitRecordLine(test.line, fields), test.prefixed) << test.line;
        EXPECT_EQ(fields.level, test.level) << test.line;
        EXPECT_EQ(fields.time, test.time) << test.line;
        EXPECT_EQ(fields.thread, test.thread) << test.line;
        EXPECT_EQ(fields.module, test.module) << test.line;
        EXPECT_EQ(fields.text, test.text ? test.text : test.line) << test.line;
    }
}

} // namespace
