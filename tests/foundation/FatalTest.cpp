#include <gtest/gtest.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include "foundation/Fatal.h"
#include "support/Child.h"

namespace {

// An impossible request whose low 32 bits read 4096.
constexpr size_t kImpossibleSize = (size_t{1} << 62) + 4096;

void reportCallback(const char* tag) {
    std::printf("callback:%s\n", tag ? tag : "(null)");
    std::fflush(stdout);
}

int failWithCallbackText(const char* suffix, bool padTo40) {
    char text[80];
    std::snprintf(text, sizeof text, "0x%llx%s",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&reportCallback)),
                  suffix);
    std::string value = text;
    if (padTo40)
        value = std::string(40 - value.size(), ' ') + value; // leading blanks are allowed
    setEnvironmentVariable(KSLOG_FATAL_CALLBACK, value.c_str());
    ksMalloc(kImpossibleSize);
    return 0;
}

} // namespace

KSLOG_CHILD(mallocFails) {
    ksMalloc(kImpossibleSize);
    return 0;
}
KSLOG_CHILD(reallocFails) {
    void* block = ksMalloc(16);
    ksRealloc(block, (size_t{1} << 62) + 16);
    return 0;
}
KSLOG_CHILD(nullTag) { ksFatalError(nullptr); }
KSLOG_CHILD(assertTag) { ksFatalError("assert", "lock missing"); }
KSLOG_CHILD(otherTag) { ksFatalError("socket", 12345); }
KSLOG_CHILD(callbackHex) { return failWithCallbackText("", false); }
KSLOG_CHILD(callbackTrailingBlank) { return failWithCallbackText(" ", false); }
KSLOG_CHILD(callbackTooLong) { return failWithCallbackText("", true); }
KSLOG_CHILD(callbackBareHexPrefix) {
    setEnvironmentVariable(KSLOG_FATAL_CALLBACK, "0x");
    ksMalloc(kImpossibleSize);
    return 0;
}
KSLOG_CHILD(callbackDecimal) {
    std::string value = std::to_string(reinterpret_cast<uintptr_t>(&reportCallback));
    setEnvironmentVariable(KSLOG_FATAL_CALLBACK, value.c_str());
    ksFatalError("memory:strdup", size_t{7});
}

TEST(FatalError, ReportsMemoryTagWithLow32BitsOfSize) {
    ChildResult r = runChild("mallocFails");
    EXPECT_EQ(r.exitCode, 255);
    EXPECT_EQ(r.output, "ksFatalError\nksFatalError: memory:malloc (size=4096)\n");
    r = runChild("reallocFails");
    EXPECT_EQ(r.exitCode, 255);
    EXPECT_EQ(r.output, "ksFatalError\nksFatalError: memory:realloc (size=16)\n");
}

TEST(FatalError, ReportsOtherTags) {
    EXPECT_EQ(runChild("nullTag").output, "ksFatalError\nksFatalError: unknown reason\n");
    EXPECT_EQ(runChild("assertTag").output,
              "ksFatalError\nksFatalError: assert (reason='lock missing')\n");
    ChildResult r = runChild("otherTag");
    EXPECT_EQ(r.output, "ksFatalError\nksFatalError: socket\n");
    EXPECT_EQ(r.exitCode, 255);
}

TEST(FatalError, CallsThePublishedCallback) {
    ChildResult r = runChild("callbackHex");
    EXPECT_EQ(r.output,
              "ksFatalError\nksFatalError: memory:malloc (size=4096)\ncallback:memory:malloc\n");
    EXPECT_EQ(r.exitCode, 255);
    r = runChild("callbackDecimal");
    EXPECT_EQ(r.output,
              "ksFatalError\nksFatalError: memory:strdup (size=7)\ncallback:memory:strdup\n");
}

TEST(FatalError, IgnoresMalformedCallbackValues) {
    const std::string report = "ksFatalError\nksFatalError: memory:malloc (size=4096)\n";
    for (const char* name : {"callbackTrailingBlank", "callbackTooLong", "callbackBareHexPrefix"}) {
        ChildResult r = runChild(name);
        EXPECT_EQ(r.output, report) << name;
        EXPECT_EQ(r.exitCode, 255) << name;
    }
}

TEST(CheckedAllocation, ZeroSizesAndNullTexts) {
    EXPECT_EQ(ksRealloc(nullptr, 0), nullptr);
    EXPECT_EQ(ksStrdup(nullptr), nullptr);
    void* block = ksRealloc(nullptr, 8);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(ksRealloc(block, 0), nullptr); // freed, not an error
    char* copy = ksStrdup("abc");
    EXPECT_STREQ(copy, "abc");
    std::free(copy);
}
