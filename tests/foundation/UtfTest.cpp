// UTF-8 / UTF-16 primitives, whole-text conversions and the wide heap buffer.
#include <gtest/gtest.h>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>
#include "foundation/Utf.h"

namespace {

using Units = std::vector<ksWideUnit>;

// A 0-terminated UTF-16 text from unit values (ksWideUnit differs between platforms).
Units wide(std::initializer_list<uint16_t> values) {
    Units units;
    for (uint16_t v : values)
        units.push_back(static_cast<ksWideUnit>(v));
    units.push_back(0);
    return units;
}

Units unitsOf(ksWideBuffer buffer) {
    return Units(buffer, buffer + ksWideLength(buffer) + 1);
}

std::string bytes(std::initializer_list<unsigned char> values) {
    return std::string(values.begin(), values.end());
}

// The decoder's result on exactly these bytes, in a block of exactly their size so that
// the sanitizer sees any read past them.
int64_t decodeExact(const std::string& text, uint32_t* value, uint64_t maxBytes) {
    std::vector<char> block(text.begin(), text.end());
    return ksUtf8Decode(block.empty() ? nullptr : block.data(), maxBytes, value);
}

int64_t decodeExact(const std::string& text, uint32_t* value) {
    return decodeExact(text, value, text.size());
}

std::string encode(uint32_t value) {
    char out[8] = {};
    int64_t length = ksUtf8Encode(out, sizeof out, value);
    return std::string(out, static_cast<size_t>(length));
}

std::string fromWide(const Units& text) {
    char* utf8 = ksUtf8FromWide(text.data());
    std::string result = utf8;
    std::free(utf8);
    return result;
}

} // namespace

TEST(Utf8Decode, AcceptsEveryLengthOfTheWideDefinition) {
    uint32_t value = 0;
    EXPECT_EQ(decodeExact("A", &value), 1);
    EXPECT_EQ(value, 0x41u);
    EXPECT_EQ(decodeExact(bytes({0xC3, 0xA9}), &value), 2);
    EXPECT_EQ(value, 0xE9u);
    EXPECT_EQ(decodeExact(bytes({0xED, 0xA0, 0x80}), &value), 3); // surrogate values pass
    EXPECT_EQ(value, 0xD800u);
    EXPECT_EQ(decodeExact(bytes({0xF4, 0x8F, 0xBF, 0xBF}), &value), 4);
    EXPECT_EQ(value, 0x10FFFFu);
    EXPECT_EQ(decodeExact(bytes({0xF4, 0x90, 0x80, 0x80}), &value), 4);
    EXPECT_EQ(value, 0x110000u);
    EXPECT_EQ(decodeExact(bytes({0xF8, 0x88, 0x80, 0x80, 0x80}), &value), 5);
    EXPECT_EQ(value, 0x200000u);
    EXPECT_EQ(decodeExact(bytes({0xFC, 0x84, 0x80, 0x80, 0x80, 0x80}), &value), 6);
    EXPECT_EQ(value, 0x4000000u);
    EXPECT_EQ(decodeExact(bytes({0xFD, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF}), &value), 6);
    EXPECT_EQ(value, 0x7FFFFFFFu);
    EXPECT_EQ(decodeExact(bytes({0xFE, 0x82, 0x80, 0x80, 0x80, 0x80, 0x80}), &value), 7);
    EXPECT_EQ(value, 0x80000000u);
    EXPECT_EQ(decodeExact(bytes({0xFE, 0x83, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF}), &value), 7);
    EXPECT_EQ(value, 0xFFFFFFFFu);
    EXPECT_EQ(decodeExact(bytes({0xC3, 0xA9}), nullptr), 2); // the value is optional
}

TEST(Utf8Decode, RejectsStrayContinuationsOverlongFormsAndBadContinuations) {
    uint32_t value = 0x1234;
    EXPECT_EQ(decodeExact(bytes({0xA9}), &value), -1);
    EXPECT_EQ(decodeExact(bytes({0x80}), &value), -1);
    EXPECT_EQ(decodeExact(bytes({0xC0, 0x80}), &value), -1);
    EXPECT_EQ(decodeExact(bytes({0xC1, 0xBF}), &value), -1);
    EXPECT_EQ(decodeExact(bytes({0xE0, 0x9F, 0xBF}), &value), -1);
    EXPECT_EQ(decodeExact(bytes({0xF0, 0x8F, 0xBF, 0xBF}), &value), -1);
    EXPECT_EQ(decodeExact(bytes({0xF8, 0x87, 0xBF, 0xBF, 0xBF}), &value), -1);
    EXPECT_EQ(decodeExact(bytes({0xFC, 0x83, 0xBF, 0xBF, 0xBF, 0xBF}), &value), -1);
    EXPECT_EQ(decodeExact(bytes({0xFE, 0x81, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF}), &value), -1);
    EXPECT_EQ(decodeExact(bytes({0xFF, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80}), &value), -1);
    EXPECT_EQ(decodeExact(bytes({0xE2, 0x41, 0xAC}), &value), -1);
    EXPECT_EQ(decodeExact(bytes({0xE2, 0x82, 0xC3}), &value), -1);
    EXPECT_EQ(value, 0x1234u) << "a failure leaves the value alone";
}

TEST(Utf8Decode, TerminatorInsideASequenceIsMalformed) {
    uint32_t value = 0;
    std::string text = bytes({0xE2, 0x82, 0x00, 0xAC});
    // maxBytes says more may follow, but the 0 ends the text: nothing after it is read.
    EXPECT_EQ(decodeExact(text, &value, UINT64_MAX), -1);
    EXPECT_EQ(decodeExact(bytes({0xC3, 0x00}), &value, UINT64_MAX), -1);
}

TEST(Utf8Decode, MaxBytesCutsASequenceShortAndIsNeverExceeded) {
    uint32_t value = 0;
    EXPECT_EQ(decodeExact("", &value, 0), 0);
    EXPECT_EQ(decodeExact("A", &value, 0), 0);
    EXPECT_EQ(decodeExact(bytes({0xE2, 0x82}), &value), -2);
    EXPECT_EQ(decodeExact(bytes({0xC3}), &value), -2);
    EXPECT_EQ(decodeExact(bytes({0xFE, 0x82, 0x80}), &value), -2);
    EXPECT_EQ(decodeExact(bytes({0xFF}), &value), -2);
    // A bad continuation before the limit is reported as such.
    EXPECT_EQ(decodeExact(bytes({0xF0, 0x41}), &value), -1);
    // The limit counts, not the length of the block.
    EXPECT_EQ(decodeExact(bytes({0xE2, 0x82, 0xAC}), &value, 2), -2);
    EXPECT_EQ(decodeExact(bytes({0xE2, 0x82, 0xAC}), &value, 3), 3);
    EXPECT_EQ(value, 0x20ACu);
}

TEST(Utf8Encode, WritesEachLengthAndHonoursRoom) {
    EXPECT_EQ(encode(0), std::string(1, '\0'));
    EXPECT_EQ(encode(0x7F), "\x7F");
    EXPECT_EQ(encode(0xE9), bytes({0xC3, 0xA9}));
    EXPECT_EQ(encode(0x800), bytes({0xE0, 0xA0, 0x80}));
    EXPECT_EQ(encode(0xD800), bytes({0xED, 0xA0, 0x80}));
    EXPECT_EQ(encode(0x10FFFF), bytes({0xF4, 0x8F, 0xBF, 0xBF}));
    EXPECT_EQ(encode(0x200000), bytes({0xF8, 0x88, 0x80, 0x80, 0x80}));
    EXPECT_EQ(encode(0x4000000), bytes({0xFC, 0x84, 0x80, 0x80, 0x80, 0x80}));
    EXPECT_EQ(encode(0x7FFFFFFF), bytes({0xFD, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF}));
    EXPECT_EQ(encode(0x800000E9), bytes({0xC3, 0xA9})) << "the top bit is ignored";

    char out[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(ksUtf8Encode(out, 2, 0x20AC), 3);
    EXPECT_EQ(std::string(out, 4), "xxxx") << "nothing stored without room for all of it";
    EXPECT_EQ(ksUtf8Encode(nullptr, 100, 0x20AC), 3);
    EXPECT_EQ(ksUtf8Encode(out, 3, 0x20AC), 3);
    EXPECT_EQ(std::string(out, 4), bytes({0xE2, 0x82, 0xAC, 'x'}));
}

TEST(Utf8Length, FollowsTheThresholds) {
    const std::pair<uint32_t, int64_t> cases[] = {
        {0, 1},          {0x7F, 1},          {0x80, 2},         {0x7FF, 2},
        {0x800, 3},      {0xFFFF, 3},        {0x10000, 4},      {0x1FFFFF, 4},
        {0x200000, 5},   {0x3FFFFFF, 5},     {0x4000000, 6},    {0x7FFFFFFF, 6},
        {0x80000000, 7}, {0xFFFFFFFF, 7},
    };
    for (auto [value, length] : cases)
        EXPECT_EQ(ksUtf8Length(value), length) << std::hex << value;
}

TEST(Utf8RoundTrip, EncodeThenDecodeGivesTheValueBack) {
    for (uint64_t v = 0; v <= 0x7FFFFFFF; v = v < 0x20000 ? v + 1 : v * 3 + 7) {
        uint32_t value = static_cast<uint32_t>(v);
        std::string text = encode(value);
        uint32_t decoded = 0;
        ASSERT_EQ(decodeExact(text, &decoded), ksUtf8Length(value)) << std::hex << value;
        ASSERT_EQ(decoded, value);
    }
}

TEST(Utf16Decode, SinglesPairsAndBrokenPairs) {
    uint32_t value = 0;
    Units text = wide({0xD83D, 0xDE00});
    EXPECT_EQ(ksUtf16Decode(text.data(), 2, &value), 2);
    EXPECT_EQ(value, 0x1F600u);
    EXPECT_EQ(ksUtf16Decode(text.data(), 1, &value), -2);
    EXPECT_EQ(ksUtf16Decode(text.data(), 0, &value), 0);
    EXPECT_EQ(ksUtf16Decode(wide({0xD83D, 0x0041}).data(), 2, &value), -1);
    EXPECT_EQ(ksUtf16Decode(wide({0xDBFF, 0xDFFF}).data(), 2, &value), 2);
    EXPECT_EQ(value, 0x10FFFFu);
    EXPECT_EQ(ksUtf16Decode(wide({0xFFFF}).data(), 1, &value), 1);
    EXPECT_EQ(value, 0xFFFFu);
    EXPECT_EQ(ksUtf16Decode(wide({0x00E9, 0xDC00}).data(), 2, nullptr), 1);
}

TEST(Utf16Decode, LowSurrogateFirstNeverOpensAPair) {
    uint32_t value = 0;
    // Joined, DC00 DC00 would name 0x110000, a value UTF-16 cannot carry.
    EXPECT_EQ(ksUtf16Decode(wide({0xDC00, 0xDC00}).data(), 2, &value), -1);
    EXPECT_EQ(ksUtf16Decode(wide({0xDFFF}).data(), 1, &value), -1);
}

TEST(WideFromUtf8, ConvertsPairsAndKeepsSurrogateValues) {
    ksWideBuffer buffer = ksWideFromUtf8("\xF0\x9F\x98\x80");
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(unitsOf(buffer), wide({0xD83D, 0xDE00}));
    EXPECT_EQ(ksWideLength(buffer), 2u);
    EXPECT_EQ(ksWideCapacity(buffer), 2u);
    ksWideFree(buffer);

    buffer = ksWideFromUtf8("a\xC3\xA9\xE2\x82\xAC\xED\xA0\x80\xF4\x8F\xBF\xBFz");
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(unitsOf(buffer), wide({'a', 0xE9, 0x20AC, 0xD800, 0xDBFF, 0xDFFF, 'z'}));
    EXPECT_EQ(ksWideCapacity(buffer), 7u);
    ksWideFree(buffer);
}

TEST(WideFromUtf8, EmptyTextGivesAnEmptyBuffer) {
    ksWideBuffer buffer = ksWideFromUtf8("");
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(ksWideLength(buffer), 0u);
    EXPECT_EQ(ksWideCapacity(buffer), 0u);
    EXPECT_EQ(buffer[0], 0);
    ksWideFree(buffer);
}

TEST(WideFromUtf8, MalformedTextOrValuesBeyondUtf16GiveNull) {
    EXPECT_EQ(ksWideFromUtf8(nullptr), nullptr);
    EXPECT_EQ(ksWideFromUtf8("\xF4\x90\x80\x80"), nullptr);
    EXPECT_EQ(ksWideFromUtf8("abc\xC3"), nullptr);
    EXPECT_EQ(ksWideFromUtf8("abc\xE2\x82"), nullptr);
    EXPECT_EQ(ksWideFromUtf8("\xA9"), nullptr);
    EXPECT_EQ(ksWideFromUtf8("\xC0\x80"), nullptr);
    EXPECT_EQ(ksWideFromUtf8("\xFC\x84\x80\x80\x80\x80"), nullptr);
    EXPECT_EQ(ksWideFromUtf8("ok\xFF"), nullptr);
}

TEST(Utf8FromWide, ConvertsPairsAndSingles) {
    EXPECT_EQ(fromWide(wide({0xE9, 0x20AC})), bytes({0xC3, 0xA9, 0xE2, 0x82, 0xAC}));
    EXPECT_EQ(fromWide(wide({0xD83D, 0xDE00})), bytes({0xF0, 0x9F, 0x98, 0x80}));
    EXPECT_EQ(fromWide(wide({'p', 'a', 't', 'h'})), "path");
    EXPECT_EQ(fromWide(wide({})), "");
    EXPECT_EQ(ksUtf8FromWide(nullptr), nullptr);
}

TEST(Utf8FromWide, UnpairedSurrogatesBecomeTheirOwnThreeByteForm) {
    EXPECT_EQ(fromWide(wide({0xD83D})), bytes({0xED, 0xA0, 0xBD}));
    EXPECT_EQ(fromWide(wide({0xD83D, 'A'})), bytes({0xED, 0xA0, 0xBD, 'A'}));
    EXPECT_EQ(fromWide(wide({0xDE00, 0xD83D})), bytes({0xED, 0xB8, 0x80, 0xED, 0xA0, 0xBD}));
    EXPECT_EQ(fromWide(wide({0xDC00, 0xDC00})), bytes({0xED, 0xB0, 0x80, 0xED, 0xB0, 0x80}));
}

TEST(Utf8FromWide, TextWithUnpairedSurrogatesComesBackFromUtf8Unchanged) {
    Units text = wide({'a', 0xDC00, 0xDC00, 0xD800, 'b', 0xD83D, 0xDE00, 0xDBFF});
    char* utf8 = ksUtf8FromWide(text.data());
    ksWideBuffer back = ksWideFromUtf8(utf8);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(unitsOf(back), text);
    ksWideFree(back);
    std::free(utf8);
}

TEST(WideBuffer, DupResizeAndSetLength) {
    Units text = wide({'a', 'b', 'c'});
    ksWideBuffer buffer = ksWideDup(text.data());
    EXPECT_EQ(ksWideLength(buffer), 3u);
    EXPECT_EQ(ksWideCapacity(buffer), 3u);
    EXPECT_EQ(unitsOf(buffer), text);

    buffer = ksWideResize(buffer, 10);
    EXPECT_EQ(ksWideCapacity(buffer), 10u);
    EXPECT_EQ(ksWideLength(buffer), 3u) << "growing keeps the text";
    EXPECT_EQ(unitsOf(buffer), text);
    for (int i = 3; i < 10; ++i)
        buffer[i] = static_cast<ksWideUnit>('d' + i - 3);
    ksWideSetLength(buffer, 10);
    EXPECT_EQ(unitsOf(buffer), wide({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j'}));

    buffer = ksWideResize(buffer, 2);
    EXPECT_EQ(ksWideLength(buffer), 2u) << "shrinking cuts the text";
    EXPECT_EQ(unitsOf(buffer), wide({'a', 'b'}));

    ksWideSetLength(buffer, 1);
    EXPECT_EQ(unitsOf(buffer), wide({'a'}));
    ksWideSetLength(buffer, 50);
    EXPECT_EQ(ksWideLength(buffer), 2u) << "a length beyond the capacity is held to it";
    ksWideFree(buffer);
}

TEST(WideBuffer, NewBlockIsEmptyAndNullIsHarmless) {
    ksWideBuffer buffer = ksWideResize(nullptr, 4);
    EXPECT_EQ(ksWideCapacity(buffer), 4u);
    EXPECT_EQ(ksWideLength(buffer), 0u);
    EXPECT_EQ(buffer[0], 0);
    ksWideFree(buffer);

    EXPECT_EQ(ksWideDup(nullptr), nullptr);
    EXPECT_EQ(ksWideLength(nullptr), 0u);
    EXPECT_EQ(ksWideCapacity(nullptr), 0u);
    ksWideSetLength(nullptr, 3);
    ksWideFree(nullptr);
}
