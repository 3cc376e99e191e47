// The process-wide options from the settings file: the shared buffer's size, which cuts
// long records, and the date in the line prefix; both are read again, with every other
// setting, by the first logger after ksLog_Term.
#include <gtest/gtest.h>
#include <ctime>
#include <regex>
#include <set>
#include <string>
#include "AppFolder.h"
#include "support/TempDir.h"

namespace {

// Today's date as the prefix shows it: month, day, year.
std::string localDate() {
    std::time_t now = std::time(nullptr);
    std::tm parts = *std::localtime(&now);
    char text[16];
    std::strftime(text, sizeof text, "%m/%d/%Y", &parts);
    return text;
}

} // namespace

TEST(Options, MaxLenLoggerSizesTheBufferThatCutsLongRecords) {
    AppFolder app;
    writeFileBytes(app.readFile(),
                   "[options]\r\nmax_len_logger=2000\r\n[Probe]\r\nLOG_NETWORK=1\r\n");
    // 1999 bytes are kept; a cut line keeps its newline in the last of them.
    EXPECT_EQ(app.run("logger|Probe|Info;line|3|5|3000;text|3|5|3000;line|3|5|1998;text|3|5|1999"),
              "Probe|I TIME|TID|NETWORK    x{1998}\\n\n"
              "Probe|I TIME|TID|NETWORK    x{1999}\n"
              "Probe|I TIME|TID|NETWORK    x{1998}\\n\n"
              "Probe|I TIME|TID|NETWORK    x{1999}\n");
    // Values below 1024, missing or not a number give 1024 bytes.
    for (const char* value : {"10", "0x800", "-1", ""}) {
        writeFileBytes(app.readFile(), std::string("[options]\r\nmax_len_logger=") + value +
                                           "\r\n[Probe]\r\nLOG_NETWORK=1\r\n");
        EXPECT_EQ(app.run("logger|Probe|Info;line|3|5|3000;text|3|5|1023"),
                  "Probe|I TIME|TID|NETWORK    x{1022}\\n\n"
                  "Probe|I TIME|TID|NETWORK    x{1023}\n")
            << value;
    }
    EXPECT_EQ(app.newFiles(), std::set<std::string>{app.readFileName()});
}

TEST(Options, TheDateAppearsUnlessTheValueIsExactlyOff) {
    AppFolder app;
    const std::string time = "([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]:[0-9]{3}";
    const std::string rest = "\\|[0-9a-f]{8}\\|NETWORK    hello\n";
    for (const char* value : {"on", "Off", "OFF", "1"}) {
        writeFileBytes(app.readFile(), std::string("[options]\r\ndate=") + value +
                                           "\r\n[Probe]\r\nLOG_NETWORK=1\r\n");
        std::string before = localDate();
        std::string output = app.runRaw("logger|Probe|Info;record|3|5|hello");
        std::string after = localDate();
        std::regex withDate("Probe\\|I (" + before + "|" + after + ") " + time + rest);
        EXPECT_TRUE(std::regex_match(output, withDate)) << value << ": " << output;
    }
    // "off", an empty value and a missing key: the time alone.
    for (const char* options : {"date=off\r\n", "date=\r\n", ""}) {
        writeFileBytes(app.readFile(),
                       std::string("[options]\r\n") + options + "[Probe]\r\nLOG_NETWORK=1\r\n");
        std::string output = app.runRaw("logger|Probe|Info;record|3|5|hello");
        EXPECT_TRUE(std::regex_match(output, std::regex("Probe\\|I " + time + rest)))
            << options << ": " << output;
    }
    EXPECT_EQ(app.newFiles(), std::set<std::string>{app.readFileName()});
}

TEST(Options, TermThenANewLoggerRereadsChangedSettings) {
    AppFolder app;
    writeFileBytes(app.readFile(), "[options]\r\nmax_len_logger=1024\r\n"
                                   "[Probe]\r\nLevel=Info\r\nLOG_NETWORK=0\r\nLOG_DATABASE=1\r\n");
    writeFileBytes(app.file("changed.ini"),
                   "[options]\r\nmax_len_logger=2000\r\ndate=on\r\n"
                   "[Probe]\r\nLevel=Warn\r\nLOG_NETWORK=1\r\nLOG_DATABASE=0\r\n");
    EXPECT_EQ(app.run("logger|Probe|Off;record|3|5|a;record|3|12|b;readfile|changed.ini;"
                      // The running logger keeps its level, switches and options.
                      "record|3|5|c;record|3|12|d;line|3|12|3000;term;"
                      // A record alone builds no logger: the library's own sinks
                      // take no records yet.
                      "record|2|5|e;logger|Probe|Off;record|3|5|f;record|2|12|g;"
                      "record|2|5|h;line|2|5|3000"),
              "refused\n"
              "Probe|I TIME|TID|DATABASE   b\n"
              "refused\n"
              "Probe|I TIME|TID|DATABASE   d\n"
              "Probe|I TIME|TID|DATABASE   x{1022}\\n\n"
              "refused\n"
              "refused\nrefused\n"
              "Probe|W DATE TIME|TID|NETWORK    h\n"
              "Probe|W DATE TIME|TID|NETWORK    x{1998}\\n\n");
}

TEST(Options, PopulateModeOnceSeenKeepsTheTableDefaultsAfterTerm) {
    AppFolder app;
    writeFileBytes(app.readFile(), "[options]\r\npopulate=1\r\n");
    writeFileBytes(app.file("quiet.ini"), "[options]\r\npopulate=0\r\n");
    EXPECT_EQ(app.run("logger|Probe|Info;record|3|150|a;readfile|quiet.ini;term;"
                      "logger|Probe|Info;record|3|151|b;record|3|4|c"),
              "Probe|I TIME|TID|0000000150 a\n"
              "Probe|I TIME|TID|0000000151 b\n"
              "refused\n");
    // Only the first logger wrote: after the re-read, populate mode is off.
    EXPECT_EQ(app.writtenSettings(), "[options]\r\nmax_len_logger=1024\r\ndate=off\r\n"
                                     "\r\n[probe]\r\nlevel=Info\r\nlog_150=1\r\n");
}
