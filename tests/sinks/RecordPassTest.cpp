// One record taken by two sinks: the file sink and the callback receive the same bytes,
// the file sink behind its line prefix.
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include "core/Library.h"
#include "core/Logger.h"
#include "foundation/Format.h"
#include "support/Child.h"
#include "support/DefaultSinks.h"
#include "support/TempDir.h"

namespace {

std::string delivered;

void keep(void*, ksLogRecord*, const char* text, uint64_t length) {
    delivered.assign(text, length);
}

} // namespace

// The file sink writes to the standard error stream (its default), redirected to a file.
KSLOG_CHILD(fileAndCallbackShareOnePass) {
    const char* errors = std::getenv("KSLOG_TEST_STDERR");
    CHILD_CHECK(errors && std::freopen(errors, "w", stderr));
    switchOffDefaultSinks();
    {
        ksLibraryLock lock;
        findLogger("File")->setThreshold(0xFFFF);
    }
    ksLog_SetLogFunc(0xFFFF, keep, nullptr);
    static const char hi[] = "Hi";
    const ksLogUnit wide[] = {0x41, 0xE9};
    ksLogRecord* record = ksLog_Begin(3, 300);
    CHILD_CHECK(record != nullptr);
    ksLog_Append_F("user %s id=%d ", "ann", 7);
    ksLog_Append_FN("took %.3f ms", 1.25);
    ksLog_Append_B(hi, 2);
    ksLog_Append_U(wide, 2);
    ksLog_Append_F("\n");
    ksLog_End(record);
    CHILD_CHECK(delivered.rfind("user ann id=7 took 1.250 ms\nBuffer pointer=", 0) == 0);
    CHILD_CHECK(delivered.find("   48 69 ") != std::string::npos);
    CHILD_CHECK(delivered.size() > 8 && delivered.substr(delivered.size() - 8) == "A\\u00e9\n");
    std::fflush(stderr);
    std::string file = readFileBytes(errors);
    for (size_t at; (at = file.find("\r\n")) != std::string::npos;)
        file.erase(at, 1); // a text stream on Windows
    std::smatch parts;
    CHILD_CHECK(std::regex_match(file, parts,
                                 std::regex("NAME: [^\n]* \\(log started\\)\n"
                                            "I [0-9:]{12}\\|[0-9a-f]{8}\\|0000000300 ([^]*)")));
    CHILD_CHECK(parts[1] == delivered);
    return 0;
}

TEST(RecordPass, FileSinkAndCallbackReceiveTheSameText) {
    TempDir folder;
    ChildResult result =
        runChild("fileAndCallbackShareOnePass", {{"KSLOG_TEST_STDERR", folder.file("errors")}});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(result.output, "");
}
