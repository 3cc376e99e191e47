// Settings files and locator files that are broken in every way a disk or a person can
// break them: every lookup still returns a value, nothing crashes, and nothing but the
// write file and its companions is ever written.
#include <gtest/gtest.h>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include "Scenario.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

std::string garbage(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() % 7 == 0 ? "\n\r\0[]=\"'\\;#"[random() % 11]
                                                : static_cast<int>(random() % 256));
    return bytes;
}

// The files a lookup may write: the write file and its two companions.
bool onlyWriteFiles(const Scenario& s, const std::set<std::string>& allowedBefore) {
    std::string write = fs::path(s.writeFile()).filename().string();
    for (const std::string& path : s.newRegularFiles()) {
        std::string name = fs::path(path).filename().string(); // in any write directory
        if (!allowedBefore.count(path) && name != write && name != write + ".tmp" &&
            name != write + ".ok")
            return false;
    }
    return true;
}

const char kLookups[] = "i|File|Level|4|1|1;s|File|Target|stderr|1|1;i|options|populate|0|1|1;"
                        "s|options|date|off|1|1;i|ksLogd|LOG_CORE|1|1|1";

} // namespace

TEST(BadInput, BinaryGarbageInBothFiles) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
        Scenario s;
        std::string readBytes = garbage(65536, seed);
        writeFileBytes(s.readFile(), readBytes);
        writeFileBytes(s.writeFile(), garbage(8192, seed + 100));
        std::string output = s.run(kLookups);
        EXPECT_EQ(split(output, '\n').size(), 5u) << output;
        EXPECT_EQ(readFileBytes(s.readFile()), readBytes);
        std::string read = fs::path(s.readFile()).filename().string();
        EXPECT_TRUE(onlyWriteFiles(s, {read})) << seed;
    }
}

TEST(BadInput, HugeLinesNulBytesUnterminatedQuotesAndAStrayByteOrderMark) {
    Scenario s;
    std::string text = "[File]\nTarget=" + std::string(1 << 16, 'x') + "\nLevel=5\n" +
                       std::string("Name=a\0b\n", 9) + "Quote=\"open ; end\n" +
                       "\xEF\xBB\xBFLevel=9\n";
    writeFileBytes(s.readFile(), text);
    EXPECT_EQ(s.run("i|File|Level|1|0|1;s|File|Name|n|0|1;s|File|Quote|q|0|1;"
                    "s|File|Target|t|0|1"),
              "5\n[a]\n[open ; end]\n[" + std::string(1023 - 7, 'x') + "]\n");
}

TEST(BadInput, TenThousandSectionsInTheWriteFile) {
    Scenario s;
    std::string text;
    for (int i = 0; i < 10000; ++i)
        text += "[s" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
    writeFileBytes(s.writeFile(), text);
    EXPECT_EQ(s.run("i|s9999|k|0|1|1;i|new|key|7|1|1"), "9999\n7\n");
    std::string saved = readFileBytes(s.writeFile());
    EXPECT_EQ(saved.substr(0, 13), "[s0]\r\nk=0\r\n\r\n");
    EXPECT_EQ(saved.substr(saved.size() - 16), "\r\n[new]\r\nkey=7\r\n");
}

TEST(BadInput, LocatorFilesThatNameUnusableDirectories) {
    using namespace std::string_literals;
    const std::string locators[] = {
        "ReadPath=blocker/r\nWritePath=blocker/w\n",
        "ReadPath=.\nWritePath=blocker/w\n",
        "ReadPath=<Nope>/r\nWritePath=<MyAppData\n",
        "ReadPath=<>\nWritePath=<>\n",
        "ReadPath=<My\xFF>\nWritePath=\xC3\n",
        // Bytes that are not UTF-8 name a directory on POSIX and nothing on Windows.
        "ReadPath=\xFF\xFE\nWritePath=\xC3\n",
        "WritePath=ksLog.dir\n",
        "ReadPath=.\0b\nWritePath=\"unterminated\n"s,
    };
    for (const std::string& locator : locators) {
        Scenario s;
        writeFileBytes(s.file("blocker"), "x");
        writeFileBytes(s.file("ConfigPath.ini"), locator);
        writeFileBytes(s.readFile(), "[File]\nLevel=6\n");
        std::string output = s.run("i|File|Level|2|1|1;s|File|Target|stderr|1|1");
        if (locator[9] == '\xFF')
            EXPECT_TRUE(output == "6\n[stderr]\n" || output == "2\n[stderr]\n") << output;
        else
            EXPECT_EQ(output, "6\n[stderr]\n") << locator;
        EXPECT_TRUE(onlyWriteFiles(
            s, {"blocker", "ConfigPath.ini", fs::path(s.readFile()).filename().string()}))
            << locator;
    }
}

TEST(BadInput, AWriteFileThatIsADirectory) {
    Scenario s;
    fs::create_directory(s.writeFile());
    writeFileBytes(s.readFile(), "[File]\nLevel=6\n");
    EXPECT_EQ(s.run(kLookups), "6\n[stderr]\n0\n[off]\n1\n");
    EXPECT_EQ(s.run(kLookups), "6\n[stderr]\n0\n[off]\n1\n");
    EXPECT_TRUE(fs::is_directory(s.writeFile()));
    std::string read = fs::path(s.readFile()).filename().string();
    EXPECT_TRUE(onlyWriteFiles(s, {read}));
}
