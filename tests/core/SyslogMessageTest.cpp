// The system log's datagrams: priority, time, tag, process id, module and text, and the
// split of a long record.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "core/SyslogMessage.h"

namespace {

ksSyslogRecord recordWith(const std::string& text) {
    return ksSyslogRecord{{2026, 12, 8, 0, 15, 7, 42},
                          kSyslogFacilityUser,
                          3,
                          12,
                          "DATABASE",
                          4242,
                          "orders",
                          text.data(),
                          text.size()};
}

std::vector<std::string> datagrams(const ksSyslogRecord& record) {
    std::vector<std::string> all;
    ksSyslogDatagrams split(record);
    char out[kSyslogDatagramSize];
    while (size_t length = split.next(out))
        all.emplace_back(out, length);
    return all;
}

} // namespace

TEST(SyslogMessage, OneDatagramAsGlibcSendsIt) {
    std::string text = "pool at 95%\nsecond line\n";
    EXPECT_EQ(datagrams(recordWith(text)),
              std::vector<std::string>{"<14>Dec  8 00:15:07 orders[4242]: DATABASE pool at 95%\n"
                                       "second line"});
    EXPECT_EQ(datagrams(recordWith("")),
              std::vector<std::string>{"<14>Dec  8 00:15:07 orders[4242]: DATABASE "});
}

TEST(SyslogMessage, HeaderOfEveryLevelFacilityModuleAndName) {
    struct Case {
        uint16_t level;
        int32_t facility;
        const char* moduleName;
        const char* application;
        const char* expected;
    } cases[] = {
        {0, 1, "DATABASE", "orders", "<11>Dec  8 00:15:07 orders[4242]: DATABASE x"},
        {1, 1, "DATABASE", "orders", "<11>Dec  8 00:15:07 orders[4242]: DATABASE x"},
        {2, 1, "DATABASE", "orders", "<12>Dec  8 00:15:07 orders[4242]: DATABASE x"},
        {4, 1, "DATABASE", "orders", "<15>Dec  8 00:15:07 orders[4242]: DATABASE x"},
        {65535, 3, "DATABASE", "orders", "<31>Dec  8 00:15:07 orders[4242]: DATABASE x"},
        {3, 23, nullptr, "orders", "<190>Dec  8 00:15:07 orders[4242]: 12 x"},
        {3, 1, "A_NAME_OF_MORE_THAN_THIRTY_TWO_BYTES", "orders",
         "<14>Dec  8 00:15:07 orders[4242]: A_NAME_OF_MORE_THAN_THIRTY_TWO_B x"},
        {3, 1, "DATABASE", "my app:[1]\x01\xc3\xbc",
         "<14>Dec  8 00:15:07 my_app__1____[4242]: DATABASE x"},
        {3, 1, "DATABASE", "", "<14>Dec  8 00:15:07 _[4242]: DATABASE x"},
        {3, 1, "DATABASE", "an-application-name-of-more-than-forty-eight-bytes",
         "<14>Dec  8 00:15:07 an-application-name-of-more-than-forty-eight-byt[4242]: DATABASE x"},
    };
    for (const Case& c : cases) {
        const std::string text = "x\n";
        ksSyslogRecord record = recordWith(text);
        record.level = c.level;
        record.facility = c.facility;
        record.moduleName = c.moduleName;
        record.application = c.application;
        EXPECT_EQ(datagrams(record), std::vector<std::string>{c.expected});
    }
}

TEST(SyslogMessage, TimeFields) {
    struct Case {
        ksPlatform::LocalTime time;
        const char* expected;
    } cases[] = {
        {{2024, 1, 31, 23, 59, 7, 0}, "<14>Jan 31 23:59:07 "},
        {{2024, 10, 1, 0, 0, 0, 0}, "<14>Oct  1 00:00:00 "},
        {{2024, 13, 0, -1, 99, 60, 0}, "<14>Dec  1 00:59:60 "}, // out of range: clamped
    };
    for (const Case& c : cases) {
        const std::string text = "x";
        ksSyslogRecord record = recordWith(text);
        record.time = c.time;
        EXPECT_EQ(datagrams(record)[0].substr(0, std::string(c.expected).size()), c.expected);
    }
}

TEST(SyslogMessage, LongRecordSplitBetweenCharacters) {
    const std::string header = "<14>Dec  8 00:15:07 orders[4242]: DATABASE ";
    const size_t room = kSyslogDatagramSize - header.size();
    struct Case {
        std::string text;
        std::vector<size_t> pieces; // text bytes in each datagram
    } cases[] = {
        {std::string(room, 'a'), {room}},
        {std::string(room + 1, 'a'), {room, 1}},
        {std::string(3 * room, 'a') + "\n", {room, room, room}},
        // a four-byte character across the first boundary goes whole to the second
        {std::string(room - 2, 'a') + "\xf0\x9f\x98\x80" + "b", {room - 2, 5}},
        {std::string(room - 1, 'a') + "\xc3\xbc", {room - 1, 2}},
        {std::string(room, 'a') + "\xc3\xbc", {room, 2}},
        // continuation bytes without a lead byte are cut where the room ends
        {std::string(room - 2, 'a') + std::string(6, '\x80'), {room, 4}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> sent = datagrams(recordWith(c.text));
        std::string joined;
        ASSERT_EQ(sent.size(), c.pieces.size()) << c.text.size();
        for (size_t i = 0; i < sent.size(); ++i) {
            EXPECT_LE(sent[i].size(), kSyslogDatagramSize);
            EXPECT_EQ(sent[i].substr(0, header.size()), header);
            EXPECT_EQ(sent[i].size() - header.size(), c.pieces[i]) << c.text.size() << " " << i;
            joined += sent[i].substr(header.size());
        }
        std::string withoutLineEnd =
            c.text.back() == '\n' ? c.text.substr(0, c.text.size() - 1) : c.text;
        EXPECT_EQ(joined, withoutLineEnd);
    }
}

TEST(SyslogMessage, FacilityNames) {
    struct Case {
        const char* name;
        int32_t code;
    } cases[] = {{"user", 1},    {"USER", 1},   {"daemon", 3},    {"local0", 16},
                 {"Local7", 23}, {"kern", 0},   {"authpriv", 10}, {"local8", -1},
                 {"", -1},       {"users", -1}, {"use", -1}};
    for (const Case& c : cases)
        EXPECT_EQ(syslogFacility(c.name), c.code) << c.name;
}
