// Text conversions (s, ls, c), pointers, counts and literal text.
#include <cstdint>
#include "FormatTestSupport.h"

namespace {
const char* const kNullText = nullptr;
const wchar_t* const kNullWide = nullptr;
} // namespace

TEST(FormatText, LiteralsAndPercent) {
    EXPECT_EQ(format(""), ok(""));
    EXPECT_EQ(format("plain text"), ok("plain text"));
    EXPECT_EQ(format("100%% sure %%d"), ok("100% sure %d"));
    EXPECT_EQ(format("%%%d%%", 5), ok("%5%"));
}

TEST(FormatText, StringWidthAndPrecision) {
    EXPECT_EQ(format("[%s][%8s][%-8s][%.3s][%8.3s][%-8.3s]", "hello", "hello", "hello", "hello",
                     "hello", "hello"),
              ok("[hello][   hello][hello   ][hel][     hel][hel     ]"));
    EXPECT_EQ(format("[%05s][%.0s][%.10s]", "ab", "ab", "ab"), ok("[   ab][][ab]"));
}

TEST(FormatText, NullStringPrintsNilWithoutPadding) {
    EXPECT_EQ(format("[%s][%10s][%-10s][%.3s]", kNullText, kNullText, kNullText, kNullText),
              ok("[(nil)][(nil)][(nil)][(ni]"));
    EXPECT_EQ(format("[%ls][%10ls]", kNullWide, kNullWide), ok("[(nil)][(nil)]"));
}

TEST(FormatText, Utf8IsWrittenWholeAndPrecisionNeverSplitsASequence) {
    EXPECT_EQ(format("%s", "h\xC3\xA9\xE2\x82\xAC"), ok("h\xC3\xA9\xE2\x82\xAC"));
    EXPECT_EQ(
        format("[%.2s][%.3s][%.1s][%.4s]", "a\xC3\xA9", "a\xC3\xA9", "\xC3\xA9", "\xE2\x82\xAC!"),
        ok("[a][a\xC3\xA9][][\xE2\x82\xAC!]"));
    // The width counts bytes.
    EXPECT_EQ(format("[%5s]", "\xC3\xA9"), ok("[   \xC3\xA9]"));
    // The wide early forms are accepted as they are.
    EXPECT_EQ(format("%s", "\xF8\x88\x80\x80\x80"), ok("\xF8\x88\x80\x80\x80"));
}

TEST(FormatText, MalformedTextEndsTheCallWithTheTextBeforeIt) {
    EXPECT_EQ(format("ab%s", "x\x80y"), (Formatted{-2, "ab"}));
    EXPECT_EQ(format("ab%5s%d", "\xC3", 1), (Formatted{-2, "ab"}));
    EXPECT_EQ(format("%d%s", 7, "\xC0\x80"), (Formatted{-2, "7"}));
    EXPECT_EQ(format("%s|%s", "ok", "\xE2\x82"), (Formatted{-2, "ok|"}));
    // A bad sequence the precision does not reach is never looked at.
    EXPECT_EQ(format("%.1s", "a\xFF"), ok("a"));
    // One the precision cuts short stops the text; one that is wrong inside it fails.
    EXPECT_EQ(format("%.2s", "a\xC3\xA9"), ok("a"));
    EXPECT_EQ(format("%.2s", "a\xC3"), ok("a"));
    EXPECT_EQ(format("%.3s", "a\xC3\x41"), (Formatted{-2, ""}));
}

TEST(FormatText, MalformedTextAfterTruncationStillFails) {
    EXPECT_EQ(formatSized(3, "abcdef%s", "\x80"), (Formatted{-2, "ab"}));
}

TEST(FormatText, WideStringsBecomeUtf8) {
    const wchar_t text[] = {L'w', 0xE9, 0x20AC, 0};
    EXPECT_EQ(format("%ls|%5ls|%-7ls|", text, text, text),
              ok("w\xC3\xA9\xE2\x82\xAC|w\xC3\xA9\xE2\x82\xAC|w\xC3\xA9\xE2\x82\xAC |"));
    EXPECT_EQ(format("[%.3ls][%.2ls][%.1ls]", text, text, text), ok("[w\xC3\xA9][w][w]"));
    // 'h' forces narrow text.
    EXPECT_EQ(format("%hls", "\xC3\xA9"), ok("\xC3\xA9"));
}

TEST(FormatText, WideCharacterBeyondTheBasicPlane) {
    std::wstring text;
    if constexpr (sizeof(wchar_t) == 2)
        text = {wchar_t(0xD83D), wchar_t(0xDE00)};
    else
        text = {wchar_t(0x1F600)};
    EXPECT_EQ(format("%ls", text.c_str()), ok("\xF0\x9F\x98\x80"));
    EXPECT_EQ(format("[%.3ls]", text.c_str()), ok("[]"));
}

TEST(FormatText, MalformedWideTextFails) {
    const wchar_t loneHigh[] = {L'a', wchar_t(0xD800), L'b', 0};
    const wchar_t loneLow[] = {wchar_t(0xDC00), 0};
    const wchar_t endsInHigh[] = {L'a', wchar_t(0xD83D), 0};
    EXPECT_EQ(format("x%ls", loneHigh), (Formatted{-2, "x"}));
    EXPECT_EQ(format("x%ls", loneLow), (Formatted{-2, "x"}));
    EXPECT_EQ(format("x%ls", endsInHigh), (Formatted{-2, "x"}));
    if constexpr (sizeof(wchar_t) == 4) {
        const wchar_t tooLarge[] = {wchar_t(0x110000), 0};
        EXPECT_EQ(format("x%ls", tooLarge), (Formatted{-2, "x"}));
    }
}

TEST(FormatText, CharacterIsACodePoint) {
    EXPECT_EQ(format("[%c][%3c][%-3c][%c]", 'A', 'B', 'C', 0xE9), ok("[A][  B][C  ][\xC3\xA9]"));
    EXPECT_EQ(format("[%3c]", 0xE9), ok("[  \xC3\xA9]"));
    EXPECT_EQ(format("%c", 0x20AC), ok("\xE2\x82\xAC"));
    EXPECT_EQ(format("%lc|%.0c", 'x', 'y'), ok("x|y"));
    // A negative int (a plain char above 0x7F) becomes a six-byte sequence of its low 31 bits.
    EXPECT_EQ(format("%c", static_cast<char>(0xE9)), ok("\xFD\xBF\xBF\xBF\xBF\xA9"));
}

TEST(FormatText, CharacterZeroIsOneByte) {
    Formatted zero = formatSized(8, "a%cb", 0);
    EXPECT_EQ(zero.result, 3);
    EXPECT_EQ(zero.text, "a"); // the stored zero byte ends the C string
}

TEST(FormatText, Pointers) {
    void* pointer = reinterpret_cast<void*>(uintptr_t{0x1234abcd});
    EXPECT_EQ(format("%p", pointer), ok("0x000000001234abcd"));
    EXPECT_EQ(format("[%20p][%-20p][%.3p][%#p][%+p]", pointer, pointer, pointer, pointer, pointer),
              ok("[0x000000001234abcd][0x000000001234abcd][0x000000001234abcd]"
                 "[0x000000001234abcd][0x000000001234abcd]"));
    EXPECT_EQ(format("% p", pointer), ok(" 0x00000001234abcd"));
    EXPECT_EQ(format("[%p][%20p][% p]", nullptr, nullptr, nullptr), ok("[(nil)][(nil)][(nil)]"));
    void* high = reinterpret_cast<void*>(~uintptr_t{0});
    EXPECT_EQ(format("%p", high), ok("0xffffffffffffffff"));
}

TEST(FormatText, CountStoresTheCommittedBytes) {
    int count = -1;
    short shortCount = -1;
    long long longCount = -1;
    EXPECT_EQ(format("abc%n%hn%lld-def%lln", &count, &shortCount, 5ll, &longCount), ok("abc5-def"));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(shortCount, 3);
    EXPECT_EQ(longCount, 8);
    // After truncation the count is what was stored, not what was processed.
    EXPECT_EQ(formatSized(4, "abcdef%n", &count), (Formatted{6, "abc"}));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(formatSized(0, "abcdef%n", &count).result, 6);
    EXPECT_EQ(count, 0);
    // A null target stores nothing.
    EXPECT_EQ(format("ab%n", static_cast<int*>(nullptr)), ok("ab"));
}

TEST(FormatText, CountWithLongStoresAPlatformLong) {
    long count = -1;
    EXPECT_EQ(format("abcd%ln", &count), ok("abcd"));
    EXPECT_EQ(count, 4);
    int16_t halves[2] = {-1, -1};
    EXPECT_EQ(format("ab%hhn", &halves[0]), ok("ab"));
    EXPECT_EQ(halves[0], 2);
    EXPECT_EQ(halves[1], -1);
}
