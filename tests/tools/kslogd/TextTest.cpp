// Text the collector derives from network bytes: file names, terminal text, JSON
// strings and the fields of a record line.
#include "FileName.h"
#include "JsonText.h"
#include "RecordFields.h"
#include "TerminalText.h"

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>

namespace {

using namespace std::string_literals;

const std::string uuid = "6ba7b810-9dad-11d1-80b4-00c04fd430c8";

TEST(InstanceFileName, KeepsOnlySafeCharactersAndStaysInsideTheFolder) {
    struct {
        std::string application;
        std::string uuid;
        std::string expected;
    } cases[] = {
        {"app.exe", uuid, "app.exe-" + uuid + ".log"},
        {"../../x", uuid, "_._.._x~0e455557190c67fd-" + uuid + ".log"},
        {"/etc/passwd", uuid, "_etc_passwd~8cd5faba57335497-" + uuid + ".log"},
        {"C:\\Windows\\x", uuid, "C__Windows_x~31ad88ffc8799945-" + uuid + ".log"},
        {"a\0b"s, uuid, "a_b~e5d29919042666b2-" + uuid + ".log"},
        {"", "", "_~cbf29ce484222325-~.log"},
        {"caf\xc3\xa9", uuid, "caf__~48e8823acfa40d89-" + uuid + ".log"},
        {"-rf", uuid, "_rf~df312917deb4b268-" + uuid + ".log"},
        // an identifier in any other form is written out in hex digits
        {"a", "../u", "a-~2e2e2f75.log"},
        {"a", "6BA7B810-9DAD-11D1-80B4-00C04FD430C8",
         "a-~36424137423831302d394441442d313144312d383042342d303043303446443433304338.log"},
    };
    for (const auto& test : cases)
        EXPECT_EQ(instanceFileName(test.application, test.uuid, ".log"), test.expected)
            << test.application;
}

TEST(InstanceFileName, KeepsEveryInstanceInAFileOfItsOwn) {
    struct {
        std::string application;
        std::string uuid;
    } instances[] = {
        {"orders", uuid},
        {"orders-6ba7b810", "9dad-11d1-80b4-00c04fd430c8"},
        {"orders-6ba7b810-9dad", "11d1-80b4-00c04fd430c8"},
        {"orders-", "6ba7b810-9dad-11d1-80b4-00c04fd430c8"},
        {"orders", "~" + uuid},
        {"orders", "-" + uuid},
        {"orders", uuid.substr(1)},
        {"orders~", uuid},
        {"..", ".."},
    };
    std::set<std::string> names;
    for (const auto& instance : instances)
        names.insert(instanceFileName(instance.application, instance.uuid, ".log"));
    EXPECT_EQ(names.size(), std::size(instances));
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

TEST(TerminalText, EscapesWhatATerminalWouldActOn) {
    struct {
        std::string bytes;
        std::string shown;
    } cases[] = {
        {"plain\ttab \\ caf\xc3\xa9 \xe2\x82\xac", "plain\ttab \\ caf\xc3\xa9 \xe2\x82\xac"},
        {"\x1b[31mred\x1b]0;title\x07", "\\x1b[31mred\\x1b]0;title\\x07"},
        {"cr\r nul\0 del\x7f"s, "cr\\x0d nul\\x00 del\\x7f"},
        {"c1 \xc2\x9b"
         "31m \x9b"
         "31m \xc2\xa0",
         "c1 \\xc2\\x9b31m \\x9b31m \xc2\xa0"},
        {"bad \xff\xc3( \xe2\x82", "bad \\xff\\xc3( \\xe2\\x82"},
    };
    for (const auto& test : cases) {
        std::string shown;
        appendTerminalText(shown, test.bytes);
        EXPECT_EQ(shown, test.shown);
    }
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
