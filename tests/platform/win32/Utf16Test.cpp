// The Win32 layer's UTF-8 / UTF-16 conversion of paths.
#include <gtest/gtest.h>
#include <cstdlib>
#include <string>
#include "platform/win32/Utf16.h"

using namespace ksPlatform;

TEST(Utf16, ConvertsValidTextBothWaysAndRefusesWhatIsNotUtf8) {
    const struct {
        const char* utf8;
        std::wstring utf16; // L"!" marks a refusal
    } cases[] = {
        {"", L""},
        {"C:/logs/app.log", L"C:/logs/app.log"},
        {"caf\xC3\xA9 \xE2\x82\xAC", L"caf\u00E9 \u20AC"},
        {"\xF0\x9F\x98\x80", std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}},
        {"\xED\xA0\x80", std::wstring{wchar_t(0xD800)}}, // a lone surrogate given out before
        {"\xC0\xAF", L"!"},                              // overlong '/'
        {"\xE0\x80\xAF", L"!"},                          // overlong '/'
        {"\xF4\x90\x80\x80", L"!"},                      // above 0x10FFFF
        {"\xC3", L"!"},                                  // cut at the end
        {"\xC3(", L"!"},                                 // cut by an ASCII byte
        {"\x80", L"!"},                                  // a lone continuation byte
        {"\xF8\x88\x80\x80\x80", L"!"},                  // five-byte form
    };
    for (const auto& c : cases) {
        wchar_t* wide = utf16FromUtf8(c.utf8);
        if (c.utf16 == L"!") {
            EXPECT_EQ(wide, nullptr) << c.utf8;
            continue;
        }
        ASSERT_NE(wide, nullptr) << c.utf8;
        EXPECT_EQ(std::wstring(wide), c.utf16) << c.utf8;
        char* back = utf8FromUtf16(wide);
        EXPECT_STREQ(back, c.utf8);
        std::free(back);
        std::free(wide);
    }
    EXPECT_EQ(utf16FromUtf8(nullptr), nullptr);
    EXPECT_EQ(utf8FromUtf16(nullptr), nullptr);
}

TEST(Utf16, AnUnpairedSurrogateBecomesItsOwnThreeByteForm) {
    const wchar_t lowFirst[] = {wchar_t(0xDC00), L'a', wchar_t(0xD800), 0};
    char* utf8 = utf8FromUtf16(lowFirst);
    EXPECT_STREQ(utf8, "\xED\xB0\x80"
                       "a"
                       "\xED\xA0\x80");
    std::free(utf8);
}
