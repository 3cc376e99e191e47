// The file sink's system log and debugger destinations in a fresh process beside its
// settings: what it takes and says when the destination is missing, and which keys
// populate mode writes. What reaches a real system log, debugger or JSON reader is tested
// by the scripts beside this file and in tests/collectors.
#include <gtest/gtest.h>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include "config/Scenario.h"
#include "ksLog.h"
#include "platform/platform.h"
#include "support/TempDir.h"

// Three records of module 300; prints how many the library took.
KSLOG_CHILD(threeRecords) {
    if (!std::freopen(std::getenv("KSLOG_TEST_STDERR"), "w", stderr))
        return 4;
    int taken = 0;
    for (int i = 0; i < 3; ++i) {
        if (ksLogRecord* record = ksLog_Begin(3, 300)) {
            ++taken;
            ksLog_Append_F("record %d\n", i);
            ksLog_End(record);
        }
    }
    ksLog_Term();
    std::printf("%d", taken);
    return 0;
}

namespace {

struct Outcome {
    std::string taken, said, written;
};

// The file sink alone (the daemon sink off) with these [File] lines, in populate mode.
Outcome runWith(const std::string& fileSection) {
    Scenario app;
    writeFileBytes(app.readFile(),
                   "[options]\r\npopulate=1\r\n[ksLogd]\r\nLevel=Off\r\n[File]\r\n" + fileSection);
    ChildResult result =
        runChild("threeRecords", {{"KSLOG_TEST_STDERR", app.file("err.txt")}}, app.file(app.app()));
    EXPECT_EQ(result.exitCode, 0) << result.output;
    std::string written = readFileBytes(app.writeFile());
    std::transform(written.begin(), written.end(), written.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::string said = readFileBytes(app.file("err.txt"));
    said.erase(std::remove(said.begin(), said.end(), '\r'), said.end());
    return {result.output, said, written};
}

} // namespace

TEST(Destinations, AMissingDestinationIsSaidOnce) {
    const bool debugger = ksPlatform::hasDebuggerOutput();
    struct Case {
        const char* file;
        std::string taken, said;
    } cases[] = {
        {"syslog:nowhere/log", "3",
         "ksFileLogger: the system log at nowhere/log is unreachable: records are dropped and "
         "counted\nksFileLogger: Closing, 3 records for the system log were lost.\n"},
        {"debugger", debugger ? "3" : "0",
         debugger ? ""
                  : "ksFileLogger: File=debugger needs Windows; the file sink writes nothing\n"},
        {"Debugger", "3", ""}, // a log file of that name
    };
    for (const Case& c : cases) {
        Outcome outcome = runWith(std::string("Level=Info\r\nFile=") + c.file + "\r\n");
        EXPECT_EQ(outcome.taken, c.taken) << c.file;
        EXPECT_EQ(outcome.said, c.said) << c.file;
    }
}

// A settings file without the new keys is written back as before.
TEST(Destinations, PopulateModeWritesFacilityForTheSystemLogOnly) {
    struct Case {
        const char* fileSection;
        bool facility;
    } cases[] = {
        {"Level=Info\r\nFile=syslog:nowhere/log\r\n", true},
        {"Level=Info\r\nFile=log.txt\r\nLayout=json\r\n", false},
        {"Level=Info\r\nFile=log.txt\r\n", false},
    };
    for (const Case& c : cases) {
        std::string written = runWith(c.fileSection).written;
        EXPECT_EQ(written.find("facility=user\r\n") != std::string::npos, c.facility) << written;
        EXPECT_EQ(written.find("layout"), std::string::npos) << written;
    }
}
