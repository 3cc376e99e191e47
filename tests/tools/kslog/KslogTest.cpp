// kslog, the command-line client, run as a process: a copy of the program in a fresh
// folder, with its settings files written beside it.
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include "config/Paths.h"
#include "support/Child.h"
#include "support/Target.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

const std::string kProgramName = kWindowsTarget ? "kslog.exe" : "kslog";

// Settings that send every record of level info and above to the standard output and
// keep the collector stream off, so that what kslog writes can be read back.
const std::string kPrintInfo = "[File]\r\nLevel=Info\r\nFile=stdout\r\nLOG_GENERAL=1\r\n"
                               "LOG_NETWORK=1\r\n[ksLogd]\r\nLevel=Off\r\nTarget=null\r\n";
const std::string kAllOff = "[File]\r\nLevel=Off\r\n[ksLogd]\r\nLevel=Off\r\nTarget=null\r\n";

struct KslogRun {
    int exitCode;
    std::string output; // standard output, line prefixes' time and thread as TIME and TID
    std::string errors; // standard error
};

class KslogFolder {
  public:
    KslogFolder() {
        const fs::path built = fs::path(testProgramPath()).parent_path();
        fs::copy_file(built / kProgramName, fs::path(dir_.path()) / kProgramName);
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(built, ec))
            if (entry.path().extension() == ".dll")
                fs::copy_file(entry.path(), fs::path(dir_.path()) / entry.path().filename(), ec);
    }

    void writeSettings(const std::string& bytes) const {
        ASSERT_TRUE(writeFileBytes(file("ksLog." + kProgramName + ".ini"), bytes));
    }
    void writeFile(const std::string& name, const std::string& bytes) const {
        ASSERT_TRUE(writeFileBytes(file(name), bytes));
    }
    std::string file(const std::string& name) const { return dir_.file(name); }
    // A path as kslog prints it: the folder's real path with forward slashes.
    std::string shown(const std::string& name) const {
        return (fs::weakly_canonical(dir_.path()) / name).lexically_normal().generic_string();
    }

    KslogRun run(const std::string& arguments, const std::string& input = {}) const {
        writeFileBytes(file("input.txt"), input);
        const ChildResult result =
            runProgram(file(kProgramName), arguments + " <\"" + file("input.txt") + "\" 2>\"" +
                                               file("errors.txt") + "\"");
        std::string errors = readFileBytes(file("errors.txt"));
        for (size_t at; (at = errors.find("\r\n")) != std::string::npos;)
            errors.erase(at, 1);
        return {result.exitCode, withoutTimes(result.output), errors};
    }

  private:
    static std::string withoutTimes(const std::string& text) {
        static const std::regex prefix("([EWID]) [0-9:]{12}\\|[0-9a-f]{8}\\|");
        return std::regex_replace(text, prefix, "$1 TIME|TID|");
    }

    TempDir dir_;
};

std::string usageError(const std::string& text) {
    return "kslog: " + text + "\nTry 'kslog --help'.\n";
}

TEST(Kslog, RefusesABadCommandLineWithStatusTwoAndSaysWhy) {
    const std::string badLevel = "' (use error, warning, info, debug or a number from 0 to 65535)";
    const std::string badModule = "' (use a number from 0 to 65535)";
    const struct {
        const char* arguments;
        std::string errors;
    } cases[] = {
        {"--level", usageError("option '--level' needs a value")},
        {"--module", usageError("option '--module' needs a value")},
        {"--level loud hello", usageError("invalid level 'loud" + badLevel)},
        {"--level 65536 hello", usageError("invalid level '65536" + badLevel)},
        {"--level=-1 hello", usageError("invalid level '-1" + badLevel)},
        {"--level \" 3\" hello", usageError("invalid level ' 3" + badLevel)},
        {"--module x hello", usageError("invalid module 'x" + badModule)},
        {"--module 70000 hello", usageError("invalid module '70000" + badModule)},
        {"--module= hello", usageError("invalid module '" + badModule)},
        {"--verbose hello", usageError("unknown option '--verbose'")},
        {"-x hello", usageError("unknown option '-x'")},
        {"--hex --levels=2 hello", usageError("unknown option '--levels=2'")},
    };
    KslogFolder folder;
    folder.writeSettings(kPrintInfo);
    for (const auto& c : cases) {
        const KslogRun run = folder.run(c.arguments);
        EXPECT_EQ(run.exitCode, 2) << c.arguments;
        EXPECT_EQ(run.errors, c.errors) << c.arguments;
        EXPECT_EQ(run.output, "") << c.arguments;
    }
}

TEST(Kslog, HelpNamesTheSettingsFilesOfTheActualProgram) {
    const std::string settings = "ksLog." + kProgramName + ".ini";
    const struct {
        const char* locator; // null: no ConfigPath.ini
        std::string readFile, writeFile, locatorState;
    } cases[] = {
        {nullptr, settings, "_" + settings, "absent"},
        {"ReadPath=conf\r\nWritePath=state/\r\n", "conf/" + settings, "state/_" + settings,
         "present"},
        {"[default]\r\nreadpath=conf\r\nWRITEPATH=\r\n", "conf/" + settings, "", "present"},
        {"[other]\r\nReadPath=conf\r\n", settings, "_" + settings, "present"},
    };
    for (const auto& c : cases) {
        KslogFolder folder;
        if (c.locator)
            folder.writeFile("ConfigPath.ini", c.locator);
        const KslogRun run = folder.run("--help");
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.errors, "");
        const std::string& out = run.output;
        EXPECT_EQ(out.rfind("Usage: kslog [--level error|warning|info|debug|N] [--module N] "
                            "[--hex] [--] [MESSAGE...]\n",
                            0),
                  0u)
            << out;
        EXPECT_NE(out.find("(application " + kProgramName + ")"), std::string::npos) << out;
        EXPECT_NE(
            out.find("  locator     " + folder.shown("ConfigPath.ini") + " (" + c.locatorState),
            std::string::npos)
            << out;
        EXPECT_NE(out.find("  read file   " + folder.shown(c.readFile) + "\n"), std::string::npos)
            << out;
        const std::string writeLine = c.writeFile.empty()
                                          ? "  write file  none"
                                          : "  write file  " + folder.shown(c.writeFile);
        EXPECT_NE(out.find(writeLine), std::string::npos) << out;
    }
}

// The locator's folder token is expanded as the library expands it (on POSIX, <MyAppData>
// is $XDG_CONFIG_HOME), never shown as a folder of that name beside the program.
TEST(Kslog, HelpNamesTheFilesOfALocatorThatUsesAFolderToken) {
    TempDir appData;
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string savedValue = saved ? saved : "";
    setEnvironmentVariable("XDG_CONFIG_HOME", appData.path().c_str());
    const std::string sub = "kslog-help-" + fs::path(appData.path()).filename().string();
    const std::string settings = "ksLog." + kProgramName + ".ini";
    KslogFolder folder;
    folder.writeFile("ConfigPath.ini", "ReadPath=<MyAppData>/" + sub + "/orders\r\n" +
                                           "WritePath=<MyAp>\\" + sub + "\\state\r\n");
    const KslogRun run = folder.run("--help");
    ksString readFile;
    ksString writeFile;
    ksString base;
    ASSERT_TRUE(ksNormalizePath(("<MyAppData>/" + sub + "/orders/" + settings).c_str(), false, 0,
                                nullptr, &readFile));
    ASSERT_TRUE(ksNormalizePath(("<MyAppData>/" + sub + "/state/_" + settings).c_str(), false, 0,
                                nullptr, &writeFile));
    ASSERT_TRUE(ksExpandFolderTokens(("<MyAppData>/" + sub).c_str(), &base));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.errors, "");
    EXPECT_NE(run.output.find("  read file   " + std::string(readFile.c_str()) + "\n"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("  write file  " + std::string(writeFile.c_str()) + " ("),
              std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("<My"), std::string::npos) << run.output;
    std::error_code ec;
    fs::remove_all(fs::path(std::string(base.c_str())), ec); // under wine, the prefix's own
    setEnvironmentVariable("XDG_CONFIG_HOME", saved ? savedValue.c_str() : nullptr);
}

// These need the file sink: with File=stdout the records come back on standard output.
TEST(Kslog, ExitStatusSaysWhetherTheRecordsWereAccepted) {
    const std::string started = "NAME: " + kProgramName + " (log started)\n";
    const struct {
        const std::string& settings;
        const char* arguments;
        std::string input;
        int exitCode;
        std::string output;
    } cases[] = {
        {kAllOff, "hello", "", 1, ""},
        {kPrintInfo, "hello world", "", 0, started + "I TIME|TID|GENERAL    hello world\n"},
        {kPrintInfo, "--level error -- --not-an-option 100%", "", 0,
         started + "E TIME|TID|GENERAL    --not-an-option 100%\n"},
        {kPrintInfo, "--level=warning --module 5 net", "", 0,
         started + "W TIME|TID|NETWORK    net\n"},
        {kPrintInfo, "--level debug hidden", "", 1, ""},
        {kPrintInfo, "--level 4 hidden", "", 1, ""},
        {kPrintInfo, "--module 12 switched off by default", "", 1, ""},
        {kPrintInfo, "--module 256 always on", "", 0,
         started + "I TIME|TID|0000000256 always on\n"},
        {kPrintInfo, "hello --level debug", "", 0,
         started + "I TIME|TID|GENERAL    hello --level debug\n"},
        {kPrintInfo, "", "one\ntwo\r\n\nthree", 0,
         started + "I TIME|TID|GENERAL    one\nI TIME|TID|GENERAL    two\n"
                   "I TIME|TID|GENERAL    \nI TIME|TID|GENERAL    three\n"},
        {kPrintInfo, "--level debug", "one\ntwo\n", 1, ""},
        // Bytes that are not UTF-8, and zero bytes, are written escaped; the line ends.
        {kPrintInfo, "--level error", std::string("caf\xe9\n\xc3\xa9\xed\xa0\x80 z\0z\n", 15),
         0,
         started + "E TIME|TID|GENERAL    caf\\xe9\n"
                   "E TIME|TID|GENERAL    \xc3\xa9\\xed\\xa0\\x80 z\\x00z\n"},
        {kPrintInfo, "", "", 0, ""},
    };
    for (const auto& c : cases) {
        KslogFolder folder;
        folder.writeSettings(c.settings);
        const KslogRun run = folder.run(c.arguments, c.input);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments;
        EXPECT_EQ(run.output, c.output) << c.arguments;
        EXPECT_EQ(run.errors, "") << c.arguments;
    }
}

TEST(Kslog, HexWritesTheMessageOrTheWholeInputAsOneDump) {
    const struct {
        const char* arguments;
        const char* input;
        const char* dump; // the dump's lines after the header line
    } cases[] = {
        {"--hex AB", "", "41 42 "},
        {"--hex", "A\nB\n", "41 0A 42 0A "},
    };
    for (const auto& c : cases) {
        KslogFolder folder;
        folder.writeSettings(kPrintInfo);
        const KslogRun run = folder.run(c.arguments, c.input);
        EXPECT_EQ(run.exitCode, 0) << c.arguments;
        EXPECT_NE(run.output.find("Buffer pointer="), std::string::npos) << run.output;
        EXPECT_NE(run.output.find(std::string("   ") + c.dump), std::string::npos) << run.output;
    }
}

} // namespace
