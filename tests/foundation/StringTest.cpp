// ksString: sharing and copying, the capacity rule, searching, replacing, the writable
// buffer and formatting in place.
#include <gtest/gtest.h>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include "foundation/String.h"

namespace {

std::string text(const ksString& s) { return std::string(s.c_str(), s.length()); }

ksString formatted(const char* format, ...) {
    ksString result("stale text that formatting replaces");
    va_list arguments;
    va_start(arguments, format);
    result.formatV(format, arguments);
    va_end(arguments);
    return result;
}

int formatInto(ksString& target, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    int length = target.formatV(format, arguments);
    va_end(arguments);
    return length;
}

} // namespace

TEST(StringSharing, EmptyStringsShareOneReadOnlyInstance) {
    ksString a;
    ksString b(a);
    ksString c(nullptr);
    ksString d("", -1);
    ksString e("abc", 0);
    EXPECT_EQ(a.referenceCount(), -1);
    EXPECT_EQ(b.c_str(), a.c_str());
    EXPECT_EQ(c.c_str(), a.c_str());
    EXPECT_EQ(d.c_str(), a.c_str());
    EXPECT_EQ(e.c_str(), a.c_str());
    EXPECT_EQ(a.length(), 0u);
    EXPECT_EQ(a.capacity(), 0u);
    EXPECT_STREQ(a.c_str(), "");
    EXPECT_EQ(a.lastChar(), '\0');
}

TEST(StringSharing, CopyConstructionSharesAndAssignmentCopies) {
    ksString first("hello");
    EXPECT_EQ(first.referenceCount(), 1);
    {
        ksString second(first);
        EXPECT_EQ(second.c_str(), first.c_str());
        EXPECT_EQ(first.referenceCount(), 2);

        ksString third("x");
        third = second;
        EXPECT_NE(third.c_str(), first.c_str());
        EXPECT_EQ(third.referenceCount(), 1);
        EXPECT_EQ(first.referenceCount(), 2);
        EXPECT_EQ(text(third), "hello");

        // Changing a sharer gives it a buffer of its own and leaves the others alone.
        second.append("!", 1);
        EXPECT_NE(second.c_str(), first.c_str());
        EXPECT_EQ(text(second), "hello!");
        EXPECT_EQ(first.referenceCount(), 1);
    }
    EXPECT_EQ(text(first), "hello");
}

TEST(StringSharing, AssigningNothingReleasesTheBuffer) {
    ksString owner("text");
    ksString sharer(owner);
    owner.assign("", 0);
    EXPECT_EQ(owner.referenceCount(), -1);
    EXPECT_EQ(sharer.referenceCount(), 1);
    EXPECT_EQ(text(sharer), "text");
    sharer = static_cast<const char*>(nullptr);
    EXPECT_EQ(sharer.referenceCount(), -1);

    ksString source;
    ksString target("abc");
    target = source; // assigning the shared empty string makes the target it
    EXPECT_EQ(target.c_str(), source.c_str());
    target = target;
    EXPECT_EQ(target.referenceCount(), -1);
}

TEST(StringSharing, AnEmptyOwnBufferIsNotShared) {
    ksString s;
    ksStringBuffer(s, 10).release(); // length 0 in a buffer of its own
    EXPECT_EQ(s.referenceCount(), 1);
    ksString copy(s);
    EXPECT_EQ(copy.referenceCount(), -1);
    EXPECT_EQ(s.referenceCount(), 1);
}

TEST(StringCapacity, GrowsBySixteenFromNineteen) {
    ksString s;
    uint64_t expected = 19;
    for (uint64_t length = 1; length <= 100; ++length) {
        s.append("x", 1);
        if (length > expected)
            expected += 16;
        ASSERT_EQ(s.capacity(), expected) << length;
    }
    EXPECT_EQ(ksString(std::string(15, 'a').c_str()).capacity(), 19u);
    EXPECT_EQ(ksString(std::string(16, 'a').c_str()).capacity(), 35u);
    EXPECT_EQ(ksString(std::string(31, 'a').c_str()).capacity(), 35u);
    EXPECT_EQ(ksString(std::string(32, 'a').c_str()).capacity(), 51u);
}

TEST(StringCapacity, OwnBufferIsReusedUntilTooSmall) {
    ksString s("0123456789");
    const char* before = s.c_str();
    s.assign("abcdefghijklmnopqrs"); // 19 bytes fit the 19 of capacity
    EXPECT_EQ(s.c_str(), before);
    EXPECT_EQ(s.capacity(), 19u);
    s.assign("abcdefghijklmnopqrst");
    EXPECT_EQ(s.capacity(), 35u);
    s.assign("ab");
    EXPECT_EQ(s.capacity(), 35u) << "no shrinking";
}

TEST(StringChange, AssignAndAppendFromTheStringItself) {
    ksString s("abcdefgh");
    s.assign(s.c_str() + 2, 3);
    EXPECT_EQ(text(s), "cde");
    ksString grow("0123456789012345678"); // full at 19 bytes
    grow.append(grow.c_str(), grow.length());
    EXPECT_EQ(text(grow), "01234567890123456780123456789012345678");
    grow.append(grow.c_str() + 36, 2);
    EXPECT_EQ(text(grow), "0123456789012345678012345678901234567878");
}

TEST(StringChange, BytesWithZerosAreKept) {
    ksString s("A\0B", 3);
    EXPECT_EQ(s.length(), 3u);
    s.append("\0C", 2);
    EXPECT_EQ(text(s), std::string("A\0B\0C", 5));
    EXPECT_EQ(text(s.toLower()), std::string("a\0b\0c", 5));
}

TEST(StringCompare, UnsignedBytesThenLength) {
    EXPECT_LT(ksString("ab").compare(ksString("abc")), 0);
    EXPECT_GT(ksString("abc").compare(ksString("ab")), 0);
    EXPECT_GT(ksString("abd").compare(ksString("abc")), 0);
    EXPECT_LT(ksString("abc").compare(ksString("abd")), 0);
    EXPECT_GT(ksString("\xE9").compare(ksString("z")), 0);
    EXPECT_EQ(ksString("same").compare(ksString("same")), 0);
    EXPECT_EQ(ksString().compare(ksString()), 0);
    EXPECT_LT(ksString().compare(ksString("a")), 0);
}

TEST(StringCase, ToLowerChangesOnlyAsciiCapitals) {
    ksString level("WaRN\xC3\x89@[`{");
    ksString lower = level.toLower();
    EXPECT_EQ(text(lower), "warn\xC3\x89@[`{");
    EXPECT_EQ(text(level), "WaRN\xC3\x89@[`{");
    EXPECT_EQ(ksString().toLower().referenceCount(), -1);
}

TEST(StringSearch, Find) {
    ksString s("abcabc");
    EXPECT_EQ(s.find(ksString("bc")), 1);
    EXPECT_EQ(s.find(ksString("bc"), 2), 4);
    EXPECT_EQ(s.find(ksString("bc"), 5), -1);
    EXPECT_EQ(s.find(ksString("abc"), 3), 3);
    EXPECT_EQ(s.find(ksString("x")), -1);
    EXPECT_EQ(s.find(ksString("")), -1);
    EXPECT_EQ(s.find(ksString("a"), 6), -1);
    EXPECT_EQ(s.find(ksString("a"), 100), -1);
    EXPECT_EQ(s.find(ksString("a"), -1), -1);
    EXPECT_EQ(s.find(ksString("abcabcd")), -1);
    EXPECT_EQ(ksString().find(ksString("a")), -1);
}

TEST(StringSearch, FindFirstAndLastOf) {
    ksString path("C:\\dir/sub\\file.ini");
    EXPECT_EQ(path.findFirstOf("/\\"), 2);
    EXPECT_EQ(path.findFirstOf("/\\", 3), 6);
    EXPECT_EQ(path.findFirstOf("#"), -1);
    EXPECT_EQ(path.findFirstOf("", 0), -1);
    EXPECT_EQ(path.findFirstOf("/", 100), -1);
    EXPECT_EQ(path.findLastOf("/\\"), 10);
    EXPECT_EQ(path.findLastOf("/\\", 9), 6);
    EXPECT_EQ(path.findLastOf("/\\", 1), -1);
    EXPECT_EQ(path.findLastOf("i", 100), 18) << "a start past the end starts at the last byte";
    EXPECT_EQ(ksString().findLastOf("a"), -1);
    EXPECT_EQ(path.findFirstOf(nullptr), -1);
    EXPECT_EQ(path.findLastOf(nullptr), -1);
}

TEST(StringSearch, FindCharAndLastChar) {
    ksString s("a:b:c");
    EXPECT_EQ(s.findChar(':'), 1);
    EXPECT_EQ(s.findChar(':', true), 3);
    EXPECT_EQ(s.findChar('x'), -1);
    EXPECT_EQ(s.findChar('x', true), -1);
    EXPECT_EQ(s.findChar('\0'), -1);
    EXPECT_EQ(s.findChar('\0', true), -1);
    EXPECT_EQ(s.lastChar(), 'c');
}

TEST(StringSplit, HostAndPortOnTheLastColon) {
    ksString target("127.0.0.1:12222");
    EXPECT_EQ(text(target.afterLast(':')), "12222");
    EXPECT_EQ(text(target.beforeLast(':')), "127.0.0.1");
    ksString plain("localhost");
    EXPECT_EQ(text(plain.afterLast(':')), "localhost");
    EXPECT_EQ(text(plain.beforeLast(':')), "");
    ksString portOnly(":80");
    EXPECT_EQ(text(portOnly.beforeLast(':')), "");
    EXPECT_EQ(text(portOnly.afterLast(':')), "80");
    ksString v6("::1:99");
    EXPECT_EQ(text(v6.beforeLast(':')), "::1");
    EXPECT_EQ(text(ksString("host:").afterLast(':')), "");
}

TEST(StringReplace, AllOrFirst) {
    ksString s("a %KESTLOG% b %KESTLOG%");
    ksString first(s.c_str());
    EXPECT_EQ(s.replace("%KESTLOG%", "c:\\logs", true), 2);
    EXPECT_EQ(text(s), "a c:\\logs b c:\\logs");
    EXPECT_EQ(first.replace("%KESTLOG%", "x", false), 1);
    EXPECT_EQ(text(first), "a x b %KESTLOG%");
}

TEST(StringReplace, InsertedTextIsNotSearchedAgain) {
    ksString s("aaa");
    EXPECT_EQ(s.replace("a", "aa", true), 3);
    EXPECT_EQ(text(s), "aaaaaa");
    ksString t("abab");
    EXPECT_EQ(t.replace("ab", "", true), 2);
    EXPECT_EQ(t.referenceCount(), -1);
    ksString u("xyz");
    EXPECT_EQ(u.replace("", "q", true), 0);
    EXPECT_EQ(u.replace(nullptr, "q", true), 0);
    EXPECT_EQ(u.replace("z", nullptr, true), 1);
    EXPECT_EQ(text(u), "xy");
    EXPECT_EQ(u.replace("xyz", "q", true), 0);

    // The replacement is this string's own text, and the first step moves its buffer.
    ksString self("X123456789abcdefghX");
    EXPECT_EQ(self.replace("X", self.c_str(), true), 2);
    EXPECT_EQ(text(self), "X123456789abcdefghX123456789abcdefghX123456789abcdefghX");
}

TEST(StringBuffer, GetAndReleaseBuffer) {
    ksString s("old text");
    ksString sharer(s);
    char* chars = s.getBuffer(40);
    EXPECT_EQ(s.referenceCount(), 0);
    EXPECT_EQ(s.length(), 0u);
    EXPECT_GE(s.capacity(), 40u);
    EXPECT_EQ(text(sharer), "old text") << "the sharer keeps the old buffer";
    std::memcpy(chars, "new\0junk", 9);
    s.releaseBuffer();
    EXPECT_EQ(s.referenceCount(), 1);
    EXPECT_EQ(text(s), "new");
}

TEST(StringBuffer, UnterminatedWriterStaysInside) {
    ksString s;
    char* chars = s.getBuffer(5);
    std::memset(chars, 'z', s.capacity() + 1); // overwrites the terminator too
    s.releaseBuffer();
    EXPECT_EQ(s.length(), s.capacity());
}

TEST(StringBuffer, ScopedHolderAndCopiesWhileHandedOut) {
    ksString s("abc");
    {
        ksStringBuffer holder(s, 8);
        std::strcpy(holder.chars(), "written");
        ksString copy(s); // nothing to share while the buffer is out
        EXPECT_EQ(copy.referenceCount(), -1);
    }
    EXPECT_EQ(text(s), "written");
    EXPECT_EQ(s.referenceCount(), 1);

    // A string destroyed while its buffer is out still frees it (the sanitizer checks).
    ksString* dropped = new ksString("abc");
    dropped->getBuffer(100);
    delete dropped;
}

TEST(StringFormat, FormatsInPlaceAndGrows) {
    EXPECT_EQ(text(formatted("%s=%d", "port", 12222)), "port=12222");
    EXPECT_EQ(text(formatted("")), "");
    std::string longText(2000, 'q');
    ksString s = formatted("%s", longText.c_str());
    EXPECT_EQ(s.length(), 2000u);
    EXPECT_EQ(text(s), longText);
    for (size_t size : {1023u, 1024u, 1025u}) {
        std::string edge(size, 'e');
        ksString t = formatted("%s", edge.c_str());
        EXPECT_EQ(t.length(), size);
        EXPECT_EQ(text(t), edge);
    }
    ksString f = ksString::format("%d-%s", 7, "seven");
    EXPECT_EQ(text(f), "7-seven");
    EXPECT_EQ(f.referenceCount(), 1);
}

TEST(StringFormat, ReturnsTheNewLength) {
    ksString s("previous");
    EXPECT_EQ(formatInto(s, "%s%s", "ab", "cd"), 4);
    EXPECT_EQ(text(s), "abcd");
    std::string big(5000, 'w');
    EXPECT_EQ(formatInto(s, "%s.", big.c_str()), 5001);
    EXPECT_EQ(text(s), big + ".");
    ksString sharer(s);
    EXPECT_EQ(formatInto(s, "%d", -5), 2);
    EXPECT_EQ(text(sharer), big + ".") << "a sharer keeps its text";
}

TEST(StringAdopt, CopiesAndFreesTheBlock) {
    char* heap = static_cast<char*>(std::malloc(6));
    std::memcpy(heap, "block", 6);
    ksString s = ksString::adopt(heap); // the sanitizer reports a leak if heap stays
    EXPECT_EQ(text(s), "block");
    EXPECT_EQ(ksString::adopt(nullptr).referenceCount(), -1);
}

TEST(StringToUInt, WholeTextOnly) {
    uint32_t value = 0;
    EXPECT_TRUE(ksString("4").toUInt(&value, 10));
    EXPECT_EQ(value, 4u);
    EXPECT_FALSE(ksString("4 ").toUInt(&value, 10));
    EXPECT_FALSE(ksString("").toUInt(&value, 10));
    EXPECT_FALSE(ksString("4294967296").toUInt(&value, 10));
    EXPECT_TRUE(ksString(" 4294967295").toUInt(&value));
    EXPECT_EQ(value, 4294967295u);
    EXPECT_TRUE(ksString("ff").toUInt(&value, 16));
    EXPECT_EQ(value, 255u);
    EXPECT_FALSE(ksString("-1").toUInt(&value, 10));
    EXPECT_FALSE(ksString("1").toUInt(&value, 99));
}
