// Settings lookups as a logger makes them, each scenario in a fresh directory holding a
// copy of this program: the child sees that directory as the executable's directory.
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>
#include "config/Config.h"
#include "config/Settings.h"
#include "Scenario.h"
#include "support/Child.h"
#include "support/Target.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

KSLOG_CHILD(settingsLookups) {
    const char* lookups = std::getenv("KSLOG_TEST_LOOKUPS");
    for (const std::string& lookup : split(lookups ? lookups : "", ';')) {
        std::vector<std::string> f = split(lookup, '|');
        if (f.size() != 6)
            return 3;
        const char* section = f[1] == "-" ? nullptr : f[1].c_str();
        bool populate = f[4] == "1";
        bool readFiles = f[5] == "1";
        if (f[0] == "i")
            std::printf("%d\n", ksReadIntSetting(section, f[2].c_str(), std::atoi(f[3].c_str()),
                                                 populate, readFiles));
        else
            std::printf("[%s]\n", ksReadSetting(section, f[2].c_str(), ksString(f[3].c_str()),
                                                populate, readFiles)
                                      .c_str());
    }
    return 0;
}

KSLOG_CHILD(settingsNames) {
    std::printf("%s\n%s\n", applicationName(), settingsFileName().c_str());
    return 0;
}

TEST(Settings, PopulateModeWritesAMissingKeyOnceWithItsSection) {
    Scenario s;
    EXPECT_EQ(s.run("i|ksLogd|Blocking|0|1|1"), "0\n");
    EXPECT_EQ(readFileBytes(s.writeFile()), "[kslogd]\r\nblocking=0\r\n");
    EXPECT_EQ(s.newFiles(), std::set<std::string>{"_ksLog." + s.app() + ".ini"});
    // Found now: nothing is written, so a comment in the file survives.
    writeFileBytes(s.writeFile(), "; kept\r\n[kslogd]\r\nblocking=0\r\n");
    EXPECT_EQ(s.run("i|ksLogd|Blocking|5|1|1"), "0\n");
    EXPECT_EQ(readFileBytes(s.writeFile()), "; kept\r\n[kslogd]\r\nblocking=0\r\n");
    EXPECT_EQ(s.run("s|File|File|stderr|1|1;i|options|max_len_logger|1024|1|1"),
              "[stderr]\n1024\n");
    EXPECT_EQ(readFileBytes(s.writeFile()), "[kslogd]\r\nblocking=0\r\n\r\n[file]\r\n"
                                            "file=stderr\r\n\r\n[options]\r\n"
                                            "max_len_logger=1024\r\n");
}

TEST(Settings, WithoutPopulateOrFilesEveryLookupGivesItsDefault) {
    Scenario s;
    EXPECT_EQ(s.run("i|ksLogd|Blocking|0|0|1;s|options|date|off|0|1;i|-|x|-5|0|1;"
                    "s|File|Target||0|1"),
              "0\n[off]\n-5\n[]\n");
    EXPECT_TRUE(s.newFiles().empty());
    // A logger that reads no settings never touches a file, even in populate mode.
    EXPECT_EQ(s.run("i|Func|Level|4|1|0;s|Func|Name|cb|1|0"), "4\n[cb]\n");
    EXPECT_TRUE(s.newFiles().empty());
}

TEST(Settings, ReadFileKeysAreReturnedAndNeverCopied) {
    Scenario s;
    writeFileBytes(s.readFile(), "[File]\nLevel=7\nTarget=out.log\n");
    EXPECT_EQ(s.run("i|File|Level|2|1|1;s|File|Target|stderr|1|1;i|File|Append|1|1|1"),
              "7\n[out.log]\n1\n");
    EXPECT_EQ(readFileBytes(s.writeFile()), "[file]\r\nappend=1\r\n");
    EXPECT_EQ(readFileBytes(s.readFile()), "[File]\nLevel=7\nTarget=out.log\n");
}

TEST(Settings, TheWriteFileWinsEvenWithAnEmptyValue) {
    Scenario s;
    writeFileBytes(s.readFile(), "[File]\nTarget=fromRead\nLevel=3\nName=r\n");
    writeFileBytes(s.writeFile(), "[File]\nTarget=\nLevel=9\n");
    EXPECT_EQ(s.run("i|File|Level|2|0|1;s|File|Target|dflt|0|1;s|File|Name|n|0|1"),
              "9\n[dflt]\n[r]\n");
    EXPECT_EQ(readFileBytes(s.writeFile()), "[File]\nTarget=\nLevel=9\n");
    EXPECT_EQ(s.run("s|File|Target|dflt|1|1"), "[dflt]\n");
    EXPECT_EQ(readFileBytes(s.writeFile()), "[file]\r\ntarget=dflt\r\nlevel=9\r\n");
}

TEST(Settings, IntegersThatAreNoNumberOrMinusOneCountAsMissing) {
    Scenario s;
    writeFileBytes(s.readFile(), "[s]\na=-1\nb=12abc\nc=0x10\nd=\ne= 42 \n");
    EXPECT_EQ(s.run("i|s|a|5|0|1;i|s|b|5|0|1;i|s|c|5|0|1;i|s|d|5|0|1;i|s|e|5|0|1"),
              "5\n5\n5\n5\n42\n");
    EXPECT_TRUE(s.newFiles().count("_ksLog." + s.app() + ".ini") == 0);
    EXPECT_EQ(s.run("i|s|a|5|1|1;i|s|c|6|1|1"), "5\n6\n");
    EXPECT_EQ(readFileBytes(s.writeFile()), "[s]\r\na=5\r\nc=6\r\n");
    EXPECT_EQ(s.run("i|s|a|0|0|1;i|s|c|0|0|1"), "5\n6\n"); // the write file shadows them
}

TEST(Settings, TheLocatorFileMovesBothFiles) {
    Scenario s;
    writeFileBytes(s.file("ConfigPath.ini"),
                   "ReadPath=conf/read\n[default]\nWritePath=.\\conf\\w\\\n");
    fs::create_directories(s.file("conf/read"));
    writeFileBytes(s.file("conf/read/ksLog." + s.app() + ".ini"), "[a]\nk=fromRead\n");
    EXPECT_EQ(s.run("s|a|k|d|1|1;i|a|n|3|1|1"), "[fromRead]\n3\n");
    EXPECT_EQ(readFileBytes(s.file("conf/w/_ksLog." + s.app() + ".ini")), "[a]\r\nn=3\r\n");
    EXPECT_FALSE(fileExists(s.writeFile()));
}

TEST(Settings, LocatorKeysOutsideTheDefaultSectionAreIgnored) {
    Scenario s;
    writeFileBytes(s.file("ConfigPath.ini"), "[other]\nReadPath=elsewhere\nWritePath=elsewhere\n");
    writeFileBytes(s.readFile(), "k=here\n");
    EXPECT_EQ(s.run("s|-|k|d|1|1;i|-|n|1|1|1"), "[here]\n1\n");
    EXPECT_FALSE(fs::exists(s.file("elsewhere")));
    EXPECT_EQ(readFileBytes(s.writeFile()), "n=1\r\n");
}

TEST(Settings, AnEmptyWritePathMeansNoWriteFile) {
    Scenario s;
    writeFileBytes(s.file("ConfigPath.ini"), "WritePath=\n");
    writeFileBytes(s.readFile(), "[s]\nk=v\n");
    EXPECT_EQ(s.run("s|s|k|d|1|1;i|s|n|8|1|1"), "[v]\n8\n");
    EXPECT_EQ(s.newFiles(), (std::set<std::string>{"ConfigPath.ini", "ksLog." + s.app() + ".ini"}));
}

TEST(Settings, AWriteDirectoryThatCannotBeCreatedFailsQuietly) {
    // Tests may run as root, which ignores permission bits: a path below a regular file
    // can never be created, for any user.
    Scenario s;
    writeFileBytes(s.file("blocker"), "x");
    writeFileBytes(s.file("ConfigPath.ini"), "WritePath=blocker/w\n");
    writeFileBytes(s.readFile(), "[s]\nk=v\n");
    EXPECT_EQ(s.run("s|s|k|d|1|1;i|s|n|8|1|1"), "[v]\n8\n");
    EXPECT_EQ(s.newFiles(),
              (std::set<std::string>{"ConfigPath.ini", "blocker", "ksLog." + s.app() + ".ini"}));
    // A read directory that fails falls back to the executable's directory.
    writeFileBytes(s.file("ConfigPath.ini"), "ReadPath=blocker/r\nWritePath=\n");
    EXPECT_EQ(s.run("s|s|k|d|1|1"), "[v]\n");
}

TEST(Settings, ALongExecutableNameIsCutTo63Bytes) {
    TempDir dir;
    std::string copy = copyTestProgram(dir.path());
    std::string extension = fs::path(copy).extension().string();
    std::string longName = std::string(70, 'n') + extension;
    std::string renamed = dir.file(longName);
    fs::rename(copy, renamed);
    ChildResult r = runChild("settingsNames", {}, renamed);
    std::string cut = longName.substr(0, 63);
    EXPECT_EQ(r.output, cut + "\nksLog." + cut + ".ini\n");
    if (kWindowsTarget)
        return; // the child's command line would carry the name in the ANSI code page
    // The cut never splits a character: a broken sequence would make every path unusable.
    std::string accented = std::string(62, 'n') + "\xC3\xA9" + extension;
    fs::rename(renamed, dir.file(accented));
    r = runChild("settingsNames", {}, dir.file(accented));
    std::string whole = std::string(62, 'n');
    EXPECT_EQ(r.output, whole + "\nksLog." + whole + ".ini\n");
}

TEST(Settings, ComposeFilePathJoinsDirectoryPrefixAndLastComponent) {
    EXPECT_STREQ(composeFilePath("C:\\Apps", "ksLog.a.ini", "_").c_str(), "C:/Apps/_ksLog.a.ini");
    EXPECT_STREQ(composeFilePath("C:/Apps/", "dir\\x.ini", "").c_str(), "C:/Apps/x.ini");
    EXPECT_STREQ(composeFilePath("", "x.ini", nullptr).c_str(), "./x.ini");
    EXPECT_STREQ(composeFilePath(nullptr, "a/b/", "_").c_str(), "./_");
}

TEST(Settings, ANetworkDirectoryIsTakenForARelativeOne) {
    // Unsupported, documented: the backslashes become slashes, and a path beginning with
    // a single "/" is relative on Windows; on POSIX "//server/share" is an absolute path.
    ksString composed = composeFilePath("\\\\server\\share", "x.ini", "_");
    EXPECT_STREQ(composed.c_str(), "//server/share/_x.ini");
}
