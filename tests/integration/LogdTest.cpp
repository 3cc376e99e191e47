// The daemon sink against real loopback listeners: the header and the records byte for
// byte, the target from "Target" and KESTLOG, a collector that is down, slow, or killed
// and restarted, blocking mode, and targets that cannot work.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>
#include <atomic>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif
#include "AppFolder.h"
#include "config/Settings.h"
#include "ksLog.h"
#include "support/Background.h"
#include "support/Listener.h"
#include "support/Target.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// The library's messages on the standard error stream go to this file beside the program.
std::string errorsFile() {
    return (fs::path(testProgramPath()).parent_path() / "stderr.txt").string();
}
void captureErrors() {
    std::freopen(errorsFile().c_str(), "w", stderr);
}
std::string capturedErrors() {
    std::fflush(stderr);
    std::string text = readFileBytes(errorsFile());
    for (size_t at; (at = text.find('\r')) != std::string::npos;)
        text.erase(at, 1);
    return text;
}

bool logText(uint16_t level, uint16_t module, const std::string& text) {
    ksLogRecord* record = ksLog_Begin(level, module);
    if (!record)
        return false;
    ksLog_Append_F("%s", text.c_str());
    ksLog_End(record);
    return true;
}

// With the daemon sink alone: writes records until it takes one. It is then connected,
// and has reported what it lost on the way.
bool connectSink(int tries = 2000) {
    for (int i = 0; i < tries; ++i) {
        if (logText(3, 300, "connecting\n"))
            return true;
        sleepMilliseconds(1);
    }
    return false;
}

// The count the sink says it lost when it closes (ksLog_Term), 0 when it says nothing.
unsigned lostAtClose() {
    ksLog_Term();
    std::smatch m;
    std::string errors = capturedErrors();
    if (!std::regex_search(errors, m, std::regex("ksLogdLogger: Closing, ([0-9]+) logs")))
        return 0;
    return static_cast<unsigned>(std::stoul(m[1].str()));
}

std::string header(const std::string& uuid, const std::string& app, unsigned lost) {
    std::string n = std::to_string(lost);
    return "\nPROTOCOL: ksLogd-1.0\nUUID: " + uuid + "\nLOST: " + n + "\nNAME: " + app +
           "(log started, " + n + " logs previously lost)\n";
}

// A new connection's first bytes: an optional lost report, then the header; its counts.
const std::regex opening("^(\nLOST: ([0-9]+)\n)?\nPROTOCOL: ksLogd-1\\.0\nUUID: "
                         "[0-9a-f]{8}-[0-9a-f]{4}-1[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}\n"
                         "LOST: ([0-9]+)\nNAME: [^\n]*\\(log started, ([0-9]+) logs previously "
                         "lost\\)\n");

struct Opening {
    bool matched = false;
    std::string report, lost, started;
};
Opening openingOf(const std::string& stream) {
    std::smatch m;
    Opening result;
    if (std::regex_search(stream, m, opening)) {
        result = Opening{true, m[2].str(), m[3].str(), m[4].str()};
    }
    return result;
}

bool hasHeader(const std::vector<std::string>& connections, size_t index) {
    return connections.size() > index &&
           connections[index].find("logs previously lost)\n") != std::string::npos;
}

// Runs a child of a copy of the test program whose read file holds settings.
ChildResult runInFolder(const AppFolder& app, const char* child, const std::string& settings,
                        const ChildEnv& env) {
    writeFileBytes(app.readFile(), settings);
    return runChild(child, env, app.file(app.app()));
}

} // namespace

// Three records to a target named by "Target" and KESTLOG; prints what was accepted,
// the level afterwards and the identifier.
KSLOG_CHILD(logdThreeRecords) {
    captureErrors();
    std::printf("%d", logText(3, 7000, "hello\n"));
    std::printf("%d", logText(2, 300, "open "));
    std::printf("%d", logText(3, 300, "line\n"));
    std::printf(" level=%u\n", static_cast<unsigned>(_ksLog_Level));
    ksLog_Term();
    return 0;
}

TEST(Logd, SendsTheHeaderThenOneBlockPerRecordContinuingAnOpenLine) {
    AppFolder app;
    TestListener listener;
    ASSERT_TRUE(listener.listening());
    ChildResult result = runInFolder(app, "logdThreeRecords", "[ksLogd]\r\nBlocking=1\r\n",
                                     {{"KESTLOG", listener.target()}});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(result.output, "111 level=4\n");
    const std::string records = "I TIME|TID|0000007000 hello\n"
                                "W TIME|TID|0000000300 open line\n";
    listener.waitFor(
        [&](const auto& c) { return !c.empty() && c[0].find("open line\n") != std::string::npos; });
    std::string stream = listener.received();
    std::smatch m;
    ASSERT_TRUE(std::regex_search(stream, m, std::regex("\nUUID: (.{36})\n"))) << stream;
    EXPECT_EQ(withoutTimes(stream), header(m[1].str(), app.app(), 0) + records);
    EXPECT_EQ(readFileBytes(app.file("stderr.txt")), "");
}

TEST(Logd, TakesItsTargetFromTheSettingsAndKestlog) {
    const std::string banner = "#######################################################\n"
                               "# Warning: KESTLOG is deprecated. To change log target,\n"
                               "# edit ksLog.{app}.ini\n"
                               "# or _ksLog.{app}.ini\n"
                               "# Current target: {current}\n"
                               "#######################################################\n";
    struct Case {
        const char* target;  // the "Target" setting, none when null
        const char* kestlog; // "" as unset
        bool streams;
        const char* banner; // the target the banner names, or none
    };
    const Case cases[] = {
        {nullptr, "127.0.0.1:{port}", true, nullptr},     // KESTLOG as the default target
        {"127.0.0.1:%KESTLOG%", "{port}", true, nullptr}, // %KESTLOG% inside a target
        {"127.0.0.1:{port}", "127.0.0.1:1", true, "127.0.0.1:{port}"}, // the setting wins
        {"NULL", "127.0.0.1:{port}", false, "NULL"}, // switched off, as configured
    };
    for (const Case& c : cases) {
        AppFolder app;
        TestListener listener;
        ASSERT_TRUE(listener.listening());
        auto fill = [&](std::string text) {
            for (const auto& [from, to] :
                 {std::pair<std::string, std::string>{"{port}", std::to_string(listener.port())},
                  {"{app}", app.app()}})
                for (size_t at; (at = text.find(from)) != std::string::npos;)
                    text.replace(at, from.size(), to);
            return text;
        };
        std::string settings = "[ksLogd]\r\nBlocking=1\r\n";
        if (c.target)
            settings += "Target=" + fill(c.target) + "\r\n";
        ChildResult result =
            runInFolder(app, "logdThreeRecords", settings, {{"KESTLOG", fill(c.kestlog)}});
        std::string label = std::string(c.target ? c.target : "-") + " / " + c.kestlog;
        ASSERT_EQ(result.exitCode, 0) << label << "\n" << result.output;
        EXPECT_EQ(result.output.substr(0, 11), c.streams ? "111 level=4" : "000 level=0") << label;
        if (c.streams)
            EXPECT_TRUE(listener.waitFor([](const auto& conn) { return hasHeader(conn, 0); }))
                << label;
        else
            EXPECT_EQ(listener.connections().size(), 0u) << label;
        std::string errors = readFileBytes(app.file("stderr.txt"));
        errors.erase(std::remove(errors.begin(), errors.end(), '\r'), errors.end());
        // The banner comes with each resolution: once here, the first record connects.
        std::string expected = banner;
        if (c.banner)
            expected.replace(expected.find("{current}"), 9, c.banner);
        EXPECT_EQ(errors, c.banner ? fill(expected) : "") << label;
    }
}

TEST(Logd, PopulateModeWritesItsKeys) {
    AppFolder app;
    ChildResult result =
        runInFolder(app, "logdThreeRecords", "[options]\r\npopulate=1\r\n", {{"KESTLOG", "null"}});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(readFileBytes(app.writeFile())
                  .find("[kslogd]\r\nlevel=Info\r\nblocking=0\r\ntarget=%KESTLOG%\r\n"),
              std::string::npos)
        << readFileBytes(app.writeFile());
}

// Nothing listens: every record is counted; the collector comes up: a lost report, then
// a header carrying the same count. With a callback beside it, the records the daemon
// sink refused still reach the callback, and nothing of them reaches the collector.
KSLOG_CHILD(logdCollectorComesUp) {
    captureErrors();
    TestListener listener;
    CHILD_CHECK(listener.listening());
    listener.stop();
    setEnvironmentVariable("KESTLOG", listener.target().c_str());
    for (int i = 0; i < 5; ++i)
        CHILD_CHECK(!logText(3, 300, "while down\n"));
    ksLog_SetLogFunc(
        0xFFFF, [](void*, ksLogRecord*, const char*, uint64_t) {}, nullptr);
    const std::string large(5000, 'd');
    for (int i = 0; i < 5; ++i)
        CHILD_CHECK(logText(3, 300, large + "\n")); // the callback takes them
    CHILD_CHECK(listener.restart());
    for (int i = 0; i < 2000 && listener.connections().empty(); ++i) {
        logText(3, 300, "up\n");
        sleepMilliseconds(1);
    }
    CHILD_CHECK(logText(3, 300, "up\n"));
    CHILD_CHECK(listener.waitFor(
        [](const auto& c) { return !c.empty() && c[0].find("up\n") != std::string::npos; }));
    Opening first = openingOf(listener.connections()[0]);
    CHILD_CHECK(first.matched);
    CHILD_CHECK(first.report == first.lost && first.lost == first.started);
    CHILD_CHECK(std::stoul(first.lost) >= 10); // and those lost while it connected
    CHILD_CHECK(listener.received().find("dddd") == std::string::npos);
    CHILD_CHECK(lostAtClose() == 0);
    return 0;
}

TEST(Logd, CountsRecordsWhileTheCollectorIsDownAndReportsThem) {
    ChildResult result = runChild("logdCollectorComesUp");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(result.output, "");
}

// A collector that accepts and never reads: records are lost without the caller
// waiting, the connection stays, and once it reads again the sink says it restarts.
KSLOG_CHILD(logdSlowCollector) {
    captureErrors();
    TestListener listener;
    CHILD_CHECK(listener.listening());
    listener.setReading(false);
    setEnvironmentVariable("KESTLOG", listener.target().c_str());
    const std::string record(2000, 'r');
    CHILD_CHECK(connectSink(500));
    CHILD_CHECK(listener.waitFor([](const auto& c) { return c.size() == 1; }));
    int written = 0;
    while (logText(3, 300, record + "\n") && written < 100000)
        ++written; // until one is refused: the socket is full
    CHILD_CHECK(written < 100000);
    for (int i = 0; i < 100; ++i)
        logText(3, 300, record + "\n"); // still lost: refused or counted, never waited for
    CHILD_CHECK(listener.connections().size() == 1);
    listener.setReading(true);
    for (int i = 0; i < 5000 && capturedErrors().empty(); ++i) {
        sleepMilliseconds(2);
        logText(3, 300, "after\n");
    }
    std::string errors = capturedErrors();
    CHILD_CHECK(std::regex_search(errors, std::regex("^ksLogdLogger: Restarting, [1-9][0-9]* logs "
                                                     "were lost\\.\n")));
    CHILD_CHECK(logText(3, 300, "last\n"));
    CHILD_CHECK(listener.waitFor(
        [](const auto& c) { return c.size() == 1 && c[0].find("last\n") != std::string::npos; }));
    CHILD_CHECK(listener.connections().size() == 1); // the connection was kept
    // No record was cut: each arrived whole (its first 1023 bytes, the shared buffer's
    // size, and no line end) or not at all.
    std::string stream = listener.received();
    size_t letters = 0;
    for (size_t at = 0; (at = stream.find("rrrr", at)) != std::string::npos;) {
        size_t end = std::min(stream.find_first_not_of('r', at), stream.size());
        letters += end - at;
        at = end;
    }
    CHILD_CHECK(letters > 0 && letters % 1023 == 0);
    return 0;
}

TEST(Logd, LosesRecordsToACollectorThatDoesNotReadAndRestartsOnceItDoes) {
    ChildResult result = runChild("logdSlowCollector");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(result.output, "");
}

// Blocking mode: a collector that starts reading late makes the caller wait, and
// nothing is lost.
KSLOG_CHILD(logdBlockingSlowCollector) {
    captureErrors();
    TestListener listener;
    CHILD_CHECK(listener.listening());
    listener.setReading(false);
    setEnvironmentVariable("KESTLOG", listener.target().c_str());
    std::thread reader([&] {
        sleepMilliseconds(300);
        listener.setReading(true);
    });
    const int records = 2000;
    const std::string record(1000, 'b');
    for (int i = 0; i < records; ++i)
        CHILD_CHECK(logText(3, 300, record + "\n"));
    reader.join();
    CHILD_CHECK(listener.waitFor([&](const auto& c) {
        size_t count = 0;
        for (size_t at = 0; !c.empty() && (at = c[0].find(record, at)) != std::string::npos;
             at += record.size())
            ++count;
        return count == static_cast<size_t>(records);
    }));
    CHILD_CHECK(openingOf(listener.received()).lost == "0");
    return 0;
}

TEST(Logd, BlockingModeLosesNothing) {
    AppFolder app;
    ChildResult result =
        runInFolder(app, "logdBlockingSlowCollector", "[ksLogd]\r\nBlocking=1\r\n", {});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(result.output, "");
}

// The collector dies mid-stream and comes back: sends on the dead connection neither
// kill the process nor stop the sink, and the new connection opens with a header.
KSLOG_CHILD(logdCollectorRestarts) {
    TestListener listener;
    CHILD_CHECK(listener.listening());
    setEnvironmentVariable("KESTLOG", listener.target().c_str());
    for (int i = 0; i < 20; ++i)
        logText(3, 300, "before " + std::to_string(i) + "\n");
    CHILD_CHECK(listener.waitFor(
        [](const auto& c) { return !c.empty() && c[0].find("before 19\n") != std::string::npos; }));
    listener.stop();
    for (int i = 0; i < 50; ++i) {
        logText(3, 300, "while dead\n");
        sleepMilliseconds(1);
    }
    CHILD_CHECK(listener.restart());
    bool again = false;
    for (int i = 0; i < 2000 && !again; ++i) {
        logText(3, 300, "after\n");
        sleepMilliseconds(1);
        again = hasHeader(listener.connections(), 1);
    }
    CHILD_CHECK(again);
    CHILD_CHECK(openingOf(listener.connections()[1]).matched);
    CHILD_CHECK(logText(3, 300, "resumed\n"));
    CHILD_CHECK(listener.waitFor([](const auto& c) {
        return c.size() == 2 && c[1].find("resumed\n") != std::string::npos;
    }));
    return 0;
}

TEST(Logd, SurvivesACollectorKilledAndRestartedMidStream) {
    ChildResult result = runChild("logdCollectorRestarts");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(result.output, "");
}

// Targets that cannot work: every record is refused at once and counted, nothing
// crashes; a name that does not resolve is said once.
KSLOG_CHILD(logdBadTarget) {
    captureErrors();
    for (int i = 0; i < 3; ++i)
        CHILD_CHECK(!logText(3, 300, "nowhere\n"));
    unsigned lost = lostAtClose();
    std::string errors = capturedErrors();
    size_t said = 0;
    for (size_t at = 0; (at = errors.find("ksLogdLogger: cannot resolve ", at)) != std::string::npos;
         ++at)
        ++said;
    std::printf("lost=%u said=%zu\n", lost, said);
    return 0;
}

TEST(Logd, RefusesRecordsForTargetsThatCannotWork) {
    TestListener closed;
    closed.stop(); // a port where nothing listens
    const std::string refused = "127.0.0.1:" + std::to_string(closed.port());
    struct Case {
        std::string target;
        const char* lost;
    };
    const Case cases[] = {
        {"127.0.0.1:letters", "lost=3 said=1\n"}, // unresolvable: counted, said once
        {":5000", "lost=3 said=1\n"},             // the whole text as a host name
        {"::1", "lost=3 said=1\n"},               // IPv6 text: host ":" and port 1
        {"no.such.host.invalid:9", "lost=3 said=1\n"},
        {refused, "lost=3 said=0\n"}, // a refused connection counts
    };
    for (const Case& c : cases) {
        ChildResult result = runChild("logdBadTarget", {{"KESTLOG", c.target}});
        EXPECT_EQ(result.exitCode, 0) << c.target << "\n" << result.output;
        EXPECT_EQ(result.output, c.lost) << c.target;
    }
}

// Started with its standard output closed: one record to the file sink's "stdout" and to
// the collector.
KSLOG_CHILD(logdWithStandardOutputClosed) {
    CHILD_CHECK(logText(3, 300, "hello\n"));
    ksLog_Term();
    return 0;
}

// The collector's socket never takes the number of a closed standard stream, so records
// for the standard output do not reach the collector.
TEST(Logd, AClosedStandardOutputLeavesTheCollectorStreamAlone) {
    if (kWindowsTarget)
        GTEST_SKIP() << "sockets are no C runtime descriptors there";
    AppFolder app;
    TestListener listener;
    ASSERT_TRUE(listener.listening());
    writeFileBytes(app.readFile(), "[File]\r\nLevel=Info\r\nFile=stdout\r\n"
                                   "[ksLogd]\r\nBlocking=1\r\nTarget=" + listener.target() +
                                       "\r\n");
    ChildResult result = runProgram(app.file(app.app()),
                                    "--kslog-child logdWithStandardOutputClosed 1>&-");
    EXPECT_EQ(result.exitCode, 0);
    listener.waitFor([](const auto& c) { return !c.empty() && c[0].find("hello\n") != std::string::npos; });
    const std::string received = withoutTimes(listener.received());
    ASSERT_TRUE(openingOf(received).matched) << received;
    EXPECT_EQ(received.substr(received.find("(log started, 0 logs previously lost)\n") + 38),
              "I TIME|TID|0000000300 hello\n");
}

namespace {

// Signals between a child and its test, as files beside the test program.
std::string signalFile(const char* name) {
    return (fs::path(testProgramPath()).parent_path() / name).string();
}
bool waitForFile(const std::string& path, int milliseconds) {
    for (int i = 0; i < milliseconds && !fileExists(path); ++i)
        sleepMilliseconds(1);
    return fileExists(path);
}

// Records "rec <number>" delivered whole, and the lost reports after the connection's header.
struct Tally {
    uint64_t delivered = 0, reported = 0;
};
Tally tallyOf(const std::string& stream) {
    Tally tally;
    size_t body = stream.find("logs previously lost)\n");
    if (body == std::string::npos)
        return tally;
    std::string rest = stream.substr(body);
    const std::string start = "|0000000300 rec ";
    for (size_t at = 0; (at = rest.find(start, at)) != std::string::npos; ++at)
        tally.delivered += at + start.size() + 96 < rest.size() &&
                           rest[at + start.size() + 96] == '\n'; // whole lines only
    std::smatch m;
    for (auto it = rest.cbegin();
         std::regex_search(it, rest.cend(), m, std::regex("\nLOST: ([0-9]+)\n"));
         it = m.suffix().first)
        tally.reported += std::stoul(m[1].str());
    return tally;
}

} // namespace

// Connects, writes KSLOG_TEST_RECORDS records of 100 bytes and a line end, and ends the
// process without ksLog_Term where the exit runs it. With KSLOG_TEST_PAUSE set, it then says
// so ("stalled") and waits until the test has let the collector read.
KSLOG_CHILD(logdRecordsThenExit) {
    captureErrors();
    int records = std::atoi(std::getenv("KSLOG_TEST_RECORDS"));
    bool pause = std::getenv("KSLOG_TEST_PAUSE") != nullptr;
    bool greeted = std::getenv("KSLOG_TEST_GREETED") != nullptr;
    CHILD_CHECK(connectSink());
    if (greeted) {
        // The collector greets once it has accepted: bytes that arrive after the close
        // would reset the connection and throw away what the collector had not read.
        writeFileBytes(signalFile("connected"), "");
        CHILD_CHECK(waitForFile(signalFile("greeted"), 20000));
    }
    int refused = 0;
    for (int i = 0; i < records; ++i) {
        char text[102];
        std::snprintf(text, sizeof text, "rec %096d\n", i);
        refused += !logText(3, 300, text);
    }
    if (pause) {
        CHILD_CHECK(refused > 0);
        writeFileBytes(signalFile("stalled"), "");
        CHILD_CHECK(waitForFile(signalFile("reading"), 20000));
        sleepMilliseconds(200); // the system hands the collector what it holds
    }
    // Windows tells only a DLL of the process's end: this program links the library.
    if (kWindowsTarget)
        ksLog_Term();
    return 0;
}

// However the collector behaves, what the process wrote is delivered or reported, on the
// connection or, when the socket takes nothing more at the end, on the standard error
// stream; and bytes the collector sends do not turn the close into a reset.
TEST(Logd, EveryRecordIsDeliveredOrReportedUpToTheEnd) {
    struct Case {
        const char* name;
        int records;
        bool reads;     // the collector reads from the start
        bool pause;     // it reads again before the process ends
        bool greeting;  // it writes to the connection
        bool errorLine; // the last count goes to the standard error stream
    };
    const Case cases[] = {
        {"stops reading", 20001, false, false, false, true},
        {"reads again before the end", 20001, false, true, false, false},
        {"writes to the connection", 1001, true, false, true, false},
    };
    for (const Case& c : cases) {
        std::remove(signalFile("stalled").c_str());
        std::remove(signalFile("reading").c_str());
        std::remove(signalFile("connected").c_str());
        std::remove(signalFile("greeted").c_str());
        TestListener listener;
        ASSERT_TRUE(listener.listening());
        listener.setReading(c.reads);
        if (c.greeting)
            listener.setGreeting(std::string(1000, 'j'));
        std::thread helper([&] {
            if (c.greeting && waitForFile(signalFile("connected"), 60000) &&
                listener.waitFor([](const auto& conn) { return conn.size() == 1; }))
                writeFileBytes(signalFile("greeted"), "");
            if (c.pause && waitForFile(signalFile("stalled"), 60000)) {
                listener.setReading(true);
                writeFileBytes(signalFile("reading"), "");
            }
        });
        ChildEnv env = {{"KESTLOG", listener.target()},
                        {"KSLOG_TEST_RECORDS", std::to_string(c.records)}};
        if (c.pause)
            env.push_back({"KSLOG_TEST_PAUSE", "1"});
        if (c.greeting)
            env.push_back({"KSLOG_TEST_GREETED", "1"});
        ChildResult result = runChild("logdRecordsThenExit", env);
        helper.join();
        ASSERT_EQ(result.exitCode, 0) << c.name << "\n" << result.output;
        listener.setReading(true);
        EXPECT_TRUE(listener.waitFor([&](const auto&) { return listener.ended() == 1; }, 30000))
            << c.name;
        Tally tally = tallyOf(listener.received());
        std::string errors = readFileBytes(errorsFile());
        std::smatch m;
        uint64_t printed = 0;
        if (std::regex_search(errors, m,
                              std::regex("ksLogdLogger: Closing, ([0-9]+) logs were lost\\.\r?\n")))
            printed = std::stoul(m[1].str());
        EXPECT_EQ(tally.delivered + tally.reported + printed, static_cast<uint64_t>(c.records))
            << c.name << ": delivered " << tally.delivered << ", reported " << tally.reported
            << ", printed " << printed;
        EXPECT_EQ(printed > 0, c.errorLine) << c.name << "\n" << errors;
        if (c.greeting) {
            EXPECT_EQ(tally.delivered, static_cast<uint64_t>(c.records)) << c.name;
        }
        std::printf("%s: %d written, %llu delivered, %llu reported on the connection, %llu on "
                    "the standard error stream\n",
                    c.name, c.records, static_cast<unsigned long long>(tally.delivered),
                    static_cast<unsigned long long>(tally.reported),
                    static_cast<unsigned long long>(printed));
    }
}

// Bursts of ten records of the same 100 bytes as above; after each burst the test hangs
// up the connection, and the next burst begins once it has.
KSLOG_CHILD(logdBursts) {
    captureErrors();
    const std::string signals = std::getenv("KSLOG_TEST_SIGNALS");
    for (int burst = 0; burst < 20; ++burst) {
        for (int i = 0; i < 10; ++i) {
            char text[102];
            std::snprintf(text, sizeof text, "rec %096d\n", burst * 10 + i);
            logText(3, 300, text);
        }
        writeFileBytes(signals + "/burst" + std::to_string(burst), "");
        CHILD_CHECK(waitForFile(signals + "/hung" + std::to_string(burst), 20000));
    }
    ksLog_Term();
    return 0;
}

// A collector that reads everything and hangs up while the process is between records:
// every record written is delivered, reported on a later connection, or said lost on the
// standard error stream.
TEST(Logd, ACollectorThatHangsUpLosesNoRecordUncounted) {
    for (const char* blocking : {"0", "1"}) {
        AppFolder app;
        TestListener listener;
        ASSERT_TRUE(listener.listening());
        const std::string signals = app.file("");
        std::thread collector([&] {
            for (int burst = 0; burst < 20; ++burst) {
                if (!waitForFile(signals + "/burst" + std::to_string(burst), 20000))
                    return;
                sleepMilliseconds(20); // the burst arrives
                listener.hangUp();
                sleepMilliseconds(5); // the process's system learns of it
                writeFileBytes(signals + "/hung" + std::to_string(burst), "");
            }
        });
        ChildResult result = runInFolder(
            app, "logdBursts", std::string("[ksLogd]\r\nBlocking=") + blocking + "\r\n",
            {{"KESTLOG", listener.target()}, {"KSLOG_TEST_SIGNALS", signals}});
        collector.join();
        ASSERT_EQ(result.exitCode, 0) << result.output;
        listener.hangUp();
        uint64_t delivered = 0, reported = 0, printed = 0;
        for (const std::string& connection : listener.connections()) {
            Tally tally = tallyOf(connection);
            Opening opening = openingOf(connection);
            delivered += tally.delivered;
            // The header's count, and the reports after it (one before it repeats it).
            reported += tally.reported + (opening.matched ? std::stoul(opening.lost) : 0);
        }
        std::string errors = readFileBytes(app.file("stderr.txt"));
        std::smatch m;
        for (auto it = errors.cbegin();
             std::regex_search(it, errors.cend(), m,
                               std::regex("ksLogdLogger: [A-Za-z]+, ([0-9]+) logs were lost"));
             it = m.suffix().first)
            printed += std::stoul(m[1].str());
        EXPECT_EQ(delivered + reported + printed, 200u)
            << "Blocking=" << blocking << ": delivered " << delivered << ", reported "
            << reported << ", printed " << printed << ", connections "
            << listener.connections().size();
    }
}

// Twenty records while the process has no descriptor left, then twenty more (POSIX).
KSLOG_CHILD(logdNoDescriptors) {
    captureErrors();
    ksLog_Init();
#ifndef _WIN32
    std::vector<int> held;
    for (int descriptor; (descriptor = dup(0)) >= 0;)
        held.push_back(descriptor);
    for (int i = 0; i < 20; ++i)
        logText(3, 300, "rec " + std::string(95, '0') + std::to_string(i % 10) + "\n");
    for (int descriptor : held)
        close(descriptor);
#endif
    CHILD_CHECK(connectSink());
    ksLog_Term();
    return 0;
}

// Records that find no descriptor for the connection are counted like any record the
// collector did not get.
TEST(Logd, RecordsWithoutADescriptorAreCounted) {
    if (kWindowsTarget)
        GTEST_SKIP() << "descriptors are a POSIX matter";
    AppFolder app;
    TestListener listener;
    ASSERT_TRUE(listener.listening());
    ChildResult result = runInFolder(app, "logdNoDescriptors", "[ksLogd]\r\nBlocking=1\r\n",
                                     {{"KESTLOG", listener.target()}});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    listener.waitFor([&](const auto&) { return listener.ended() == 1; });
    const std::string received = listener.received();
    Opening opening = openingOf(received);
    ASSERT_TRUE(opening.matched) << received;
    EXPECT_EQ(opening.lost, "20");
    EXPECT_EQ(received.find(std::string(95, '0')), std::string::npos);
}

// Forks five children, each writing one record and exiting; the parent writes one after
// each child ended (POSIX).
KSLOG_CHILD(logdForks) {
    captureErrors();
    CHILD_CHECK(connectSink());
#ifndef _WIN32
    for (int i = 0; i < 5; ++i) {
        pid_t child = fork();
        if (child == 0) {
            logText(3, 300, "child\n");
            std::exit(0);
        }
        int status = 0;
        CHILD_CHECK(waitpid(child, &status, 0) == child && WIFEXITED(status));
        CHILD_CHECK(logText(3, 300, "parent " + std::to_string(i) + "\n"));
    }
#endif
    ksLog_Term();
    return 0;
}

// A forked child is an instance of its own on a connection of its own; the parent's
// connection carries on untouched.
TEST(Logd, AForkedChildConnectsAsAnInstanceOfItsOwn) {
    if (kWindowsTarget)
        GTEST_SKIP() << "no fork";
    AppFolder app;
    TestListener listener;
    ASSERT_TRUE(listener.listening());
    ChildResult result = runInFolder(app, "logdForks", "[ksLogd]\r\nBlocking=1\r\n",
                                     {{"KESTLOG", listener.target()}});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    listener.waitFor([&](const auto&) { return listener.ended() == 6; });
    std::vector<std::string> connections = listener.connections();
    ASSERT_EQ(connections.size(), 6u);
    std::set<std::string> identifiers;
    for (const std::string& connection : connections) {
        std::smatch m;
        ASSERT_TRUE(std::regex_search(connection, m, std::regex("UUID: ([-0-9a-f]{36})\n")));
        identifiers.insert(m[1].str());
    }
    EXPECT_EQ(identifiers.size(), 6u);
    std::string parent = withoutTimes(connections[0]);
    EXPECT_EQ(parent.substr(parent.find("previously lost)\n") + 17),
              "I TIME|TID|0000000300 connecting\n"
              "I TIME|TID|0000000300 parent 0\nI TIME|TID|0000000300 parent 1\n"
              "I TIME|TID|0000000300 parent 2\nI TIME|TID|0000000300 parent 3\n"
              "I TIME|TID|0000000300 parent 4\n");
    for (size_t i = 1; i < connections.size(); ++i) {
        std::string child = withoutTimes(connections[i]);
        EXPECT_EQ(child.substr(child.find("previously lost)\n") + 17),
                  "I TIME|TID|0000000300 child\n");
    }
}
