// Text conversions (s, ls, c), pointers, counts and literal text.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>
#include "FormatTestSupport.h"
#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#include <unistd.h>
#endif

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
    EXPECT_EQ(format("%s", kNullText), ok("(nil)"));
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
    // The same past a run of plain ASCII longer than the short texts read byte by byte.
    const std::string ascii(20, 'x');
    EXPECT_EQ(format("%s", (ascii + "\x80").c_str()), (Formatted{-2, ""}));
    EXPECT_EQ(format("%.21s", (ascii + "\xC3\xA9").c_str()), ok(ascii));
    EXPECT_EQ(format("%.22s", (ascii + "\xC3\xA9!").c_str()), ok(ascii + "\xC3\xA9"));
}

TEST(FormatText, TextIsMeasuredAndCheckedAtEveryAlignment) {
    // Texts are read in aligned blocks of 64 bytes: every start within a block, lengths around
    // the block's, a foreign byte at the start, inside and at the end.
    std::vector<char> storage(512, 'x');
    char* const block = storage.data() + (64 - reinterpret_cast<uintptr_t>(storage.data()) % 64);
    for (int start = 0; start < 64; ++start)
        for (int length : {0, 1, 63, 64, 65, 129}) {
            char* text = block + start;
            std::memset(block, 'x', 256);
            text[length] = '\0';
            const std::string plain(static_cast<size_t>(length), 'x');
            EXPECT_EQ(format("%s", text), ok(plain)) << start << " " << length;
            for (int at : {0, length / 2, length - 2}) {
                if (at < 0 || length < 2)
                    continue;
                std::memcpy(text + at, "\xC3\xA9", 2);
                std::string wide = plain;
                wide.replace(static_cast<size_t>(at), 2, "\xC3\xA9");
                EXPECT_EQ(format("%s", text), ok(wide)) << start << " " << length << " " << at;
                text[at] = '\x80';
                EXPECT_EQ(format("%s", text), (Formatted{-2, ""})) << start << " " << length;
                std::memcpy(text + at, "xx", 2);
            }
        }
}

#if __has_include(<sys/mman.h>)
// Texts end just before a page that cannot be read, some of them reaching from the page before:
// no read may reach into it, wherever the buffer lies against its blocks and its own page's end,
// and nothing is stored past the buffer's size. (Windows lacks mmap; the blocks are the same.)
TEST(FormatText, TextEndingBeforeAnUnreadablePageIsReadWithinItsOwn) {
    const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    auto* mapped = static_cast<char*>(
        mmap(nullptr, 5 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(mapped, MAP_FAILED);
    char* const end = mapped + 2 * page;
    ASSERT_EQ(mprotect(end, page, PROT_NONE), 0);
    char* const output = end + page; // two pages more
    for (size_t length = 0; length < 2 * page - 1; length += length < 700 ? 1 : 97) {
        char* text = end - length - 1;
        std::memset(text, 'x', length);
        text[length] = '\0';
        for (const size_t offset : {size_t{0}, size_t{1}, size_t{31}, size_t{33}, page - 100}) {
            const size_t room = 2 * page - offset - 1;
            for (const size_t size : {std::min(length + 1, room), room}) { // tight, and ample
                std::memset(output, '#', 2 * page);
                char* buffer = output + offset;
                ASSERT_EQ(ksFormatBuffer(buffer, size, "%s", text), static_cast<int>(length));
                ASSERT_EQ(std::string(buffer), std::string(text, std::min(length, size - 1)));
                ASSERT_EQ(buffer[size], '#') << length << " " << offset;
            }
        }
        if (length == 0)
            continue;
        text[length / 2] = '\x80';
        EXPECT_EQ(format("%s", text).result, -2) << length;
    }
    munmap(mapped, 5 * page);
}
#endif

// Plain text is copied in blocks while it is read: whatever room, precision and padding cut
// it, the result counts the whole text and the buffer holds exactly what fits.
TEST(FormatText, LongPlainTextIsCutByRoomAndPrecision) {
    const std::string text(150, 'x');
    const std::wstring wide(150, L'x');
    struct Case {
        const char* narrow;
        const char* wideFormat;
        std::string whole; // what the directive writes with room enough
    };
    const Case cases[] = {
        {"%s", "%ls", text},
        {"ab%s", "ab%ls", "ab" + text},
        {"%.40s|", "%.40ls|", std::string(40, 'x') + "|"},
        {"%.149s", "%.149ls", std::string(149, 'x')},
        {"%-160s|", "%-160ls|", text + std::string(10, ' ') + "|"},
        {"%160s", "%160ls", std::string(10, ' ') + text},
    };
    for (const Case& c : cases)
        for (size_t size : {1, 2, 31, 32, 33, 34, 64, 100, 151, 200}) {
            const std::string stored = c.whole.substr(0, size - 1);
            const Formatted expected{static_cast<int>(c.whole.size()), stored};
            EXPECT_EQ(formatSized(size, c.narrow, text.c_str()), expected) << c.narrow << size;
            EXPECT_EQ(formatSized(size, c.wideFormat, wide.c_str()), expected) << c.narrow << size;
        }
    // A malformed byte after a long plain run fails the call however much was copied.
    EXPECT_EQ(formatSized(64, "ab%s", (text + "\xFF").c_str()), (Formatted{-2, "ab"}));
    EXPECT_EQ(formatSized(64, "%s", (text + "\xFF").c_str()), (Formatted{-2, ""}));
    EXPECT_EQ(formatSized(64, "ab%ls", (wide + wchar_t(0xDC00)).c_str()), (Formatted{-2, "ab"}));
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

// Which text %s reads follows its length letters wherever they stand among the items: a single
// 'l' reads wide text; 'h', 'hh', 'll', 'j', 'z' and 't' read UTF-8, also beside an 'l'.
TEST(FormatText, LengthLettersChooseTheStringKind) {
    // Each letter is one item of the directive.
    const char* const narrowLengths[] = {"",   "h",   "hh",  "L",   "j",   "z",  "t",  "ll", "hl",
                                         "lh", "hhl", "lhh", "hll", "llh", "lj", "lz", "lt", "llL"};
    const char* const wideLengths[] = {"l", "lL", "Ll"};
    // What may stand between the letters without changing the output of "ab" (but "9").
    const char* const separators[] = {"", ".9", " ", "+", "-", "#", "0", "9"};
    const wchar_t wide[] = {L'a', L'b', 0};
    auto check = [&](const std::string& letters, const void* text) {
        for (const std::string separator : separators) {
            std::string format = "<%";
            for (size_t i = 0; i < letters.size(); ++i)
                format += (i > 0 ? separator : "") + letters[i];
            format += "s>";
            const bool padded = separator == "9" && letters.size() > 1;
            expectFormatted(ok(padded ? "<       ab>" : "<ab>"), format.c_str(), text);
        }
    };
    for (const std::string letters : narrowLengths)
        check(letters, "ab");
    for (const std::string letters : wideLengths)
        check(letters, wide);
    // With widths, precisions and argument numbers in the way.
    expectFormatted(ok("=f       |"), "%-*lls|", 9, "=f");
    expectFormatted(ok("ab>"), "%1$lls>", "ab");
    expectFormatted(ok("ab|ab|ab"), "%l.2ls|%l l0s|%+ lls", "ab", "ab", "ab");
    expectFormatted(ok("   =f|"), "%2$*1$.2lls|", 5, "=f");
    expectFormatted(ok("[ab   ]"), "[%l-5s]", wide);
}

// Wide text is decoded only as far as its precision reaches: a malformed unit beyond it is
// never looked at, and the width pads the bytes actually written.
TEST(FormatText, WidePrecisionEndsTheDecoding) {
    struct Case {
        const char* format;
        std::vector<wchar_t> units; // a terminator follows
        Formatted expected;
    };
    const wchar_t loneHigh = wchar_t(0xD83D);
    const wchar_t loneLow = wchar_t(0xDEDF);
    const Case cases[] = {
        {"[%.1ls]", {L'a', loneHigh, L'A'}, ok("[a]")},
        {"[%4.1ls]", {L'u', loneLow}, ok("[   u]")},
        {"[%-4.1ls]", {L'u', loneLow}, ok("[u   ]")},
        {"[%.0ls]", {wchar_t(0xD800)}, ok("[]")},
        {"[%3.0ls]", {wchar_t(0xD800)}, ok("[   ]")},
        {"[%.2ls]", {L'a', 0xE9, loneHigh}, ok("[a]")},
        {"[%.3ls]", {L'a', 0xE9, loneHigh}, ok("[a\xC3\xA9]")},
        // Before the precision is used up a malformed unit still fails the call.
        {"[%.2ls]", {L'a', loneHigh, L'A'}, {-2, "["}},
        {"[%.4ls]", {L'a', 0xE9, loneLow}, {-2, "["}},
    };
    for (const Case& c : cases) {
        std::vector<wchar_t> text = c.units;
        text.push_back(0);
        expectFormatted(c.expected, c.format, text.data());
    }
    // A precision or width from an argument.
    const wchar_t cut[] = {L'u', loneLow, 0};
    expectFormatted(ok("   u"), "%*.1ls", 4, cut);
    expectFormatted(ok("u"), "%.*ls", 1, cut);
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

// Malformed wide text fails the call with -2 and keeps what came before the directive. A low
// surrogate can never open a pair; with 32-bit wchar_t (UTF-32) a surrogate value or one above
// 0x10FFFF is malformed just as a stray surrogate is in UTF-16.
TEST(FormatText, MalformedWideTextFails) {
    std::vector<std::vector<wchar_t>> malformed = {
        {L'a', wchar_t(0xD800), L'b'}, // high surrogate without its low one
        {wchar_t(0xDC00)},             // low surrogate first
        {L'a', wchar_t(0xD83D)},       // high surrogate at the end
        {wchar_t(0xDFFF), wchar_t(0xD800)},
    };
    if constexpr (sizeof(wchar_t) == 4) {
        malformed.push_back({wchar_t(0x110000)});
        malformed.push_back({L'a', static_cast<wchar_t>(0xFFFFFFFFu)});
        malformed.push_back({wchar_t(0xD83D), wchar_t(0xDE00)}); // a pair means nothing here
    }
    for (std::vector<wchar_t> text : malformed) {
        text.push_back(0);
        expectFormatted({-2, "x"}, "x%ls", text.data());
        expectFormatted({-2, "x"}, "x%5ls|%d", text.data(), 1);
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
    // Each length stores its own width and nothing beside it.
    struct {
        short count, after;
    } narrow = {-1, -1};
    struct {
        int count, after;
    } plain = {-1, -1};
    EXPECT_EQ(format("abcd%hn|%n", &narrow.count, &plain.count), ok("abcd|"));
    EXPECT_EQ(narrow.count, 4);
    EXPECT_EQ(narrow.after, -1);
    EXPECT_EQ(plain.count, 5);
    EXPECT_EQ(plain.after, -1);
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
