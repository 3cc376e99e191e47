// Which names belong to a log, and which of its old files retention lets go: only
// regular files of exactly the log's names, whatever else the folder holds.
#include <gtest/gtest.h>
#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include "sinks/LogRetention.h"
#include "support/Child.h"
#include "support/Target.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

constexpr int64_t kNow = 1796601600; // 2026-12-07 00:00:00 UTC

std::set<std::string> namesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

void touch(const std::string& path, int64_t secondsSince1970) {
    writeFileBytes(path, "x\n");
    // file_clock's epoch differs between libraries: go through the system clock.
    auto system = std::chrono::system_clock::time_point(std::chrono::seconds(secondsSince1970));
    auto file = fs::file_time_type::clock::now() +
                std::chrono::duration_cast<fs::file_time_type::duration>(
                    system - std::chrono::system_clock::now());
    fs::last_write_time(path, file);
}

} // namespace

TEST(LogFamily, OnlyThePatternsNamesAndTheirRotatedNamesBelong) {
    struct Case {
        const char* pattern;
        const char* application;
        const char* name;
        bool belongs;
    } cases[] = {
        {"logs/app.log", "x", "app.log", true},
        {"logs/app.log", "x", "app.20261207-231500-042.log", true},
        {"logs/app.log", "x", "app.20261207-231500-42.log", false},
        {"logs/app.log", "x", "app.20261207-231500-042.log.bak", false},
        {"logs/app.log", "x", "app.2026120x-231500-042.log", false},
        {"logs/app.log", "x", "app.20261207_231500-042.log", false},
        {"logs/app.log", "x", "xapp.20261207-231500-042.log", false},
        {"logs/app.log", "x", "app.20261207-231500-042.LOG", false},
        {"logs/app.log", "x", "app.log.20261207-231500-042", false},
        {"logs/app.log", "x", "other.log", false},
        {"orders_%y%m%d.log", "x", "orders_20261206.log", true},
        {"orders_%y%m%d.log", "x", "orders_2026126.log", false},
        {"orders_%y%m%d.log", "x", "orders_%y%m%d.log", false},
        {"orders_%y%m%d.log", "x", "orders_20261206.20261206-120000-000.log", true},
        {"%n.log", "player.exe", "player.exe.log", true},
        {"%n.log", "player.exe", "player.exe.20261207-231500-042.log", true},
        {"%n", "player.exe", "player.20261207-231500-042.exe", true},
        {"%n_%d.txt", "my%d", "my%d_07.txt", true}, // the name is taken as it is
        {"%n_%d.txt", "my%d", "my12_07.txt", false},
        {"100%%.log", "x", "100%%.log", true},
        {"app", "x", "app.20261207-231500-042", true},
        {"logs/", "x", "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ksLogFamily(c.pattern, c.application).contains(c.name), c.belongs)
            << c.pattern << " " << c.name;
}

TEST(LogRetention, KeepsTheNewestWithinTheirAge) {
    auto keptOf = [](uint32_t keep, uint32_t maxAgeDays) {
        std::vector<ksOldLog> logs;
        const char* names[] = {"b", "a", "d", "c", "e"};
        const int64_t ages[] = {1, 1, 3, 10, 40}; // days, so a and b share a second
        for (int i = 0; i < 5; ++i)
            logs.push_back(ksOldLog{ksString(names[i]), kNow - ages[i] * 86400});
        size_t kept = orderAndCountKept(&logs, keep, maxAgeDays, kNow);
        std::string order;
        for (size_t i = 0; i < logs.size(); ++i)
            order += std::string(i == kept ? "|" : "") + logs[i].name.c_str();
        return order;
    };
    EXPECT_EQ(keptOf(0, 0), "badce");
    EXPECT_EQ(keptOf(2, 0), "ba|dce");
    EXPECT_EQ(keptOf(0, 10), "badc|e");
    EXPECT_EQ(keptOf(0, 9), "bad|ce");
    EXPECT_EQ(keptOf(4, 2), "ba|dce");
    EXPECT_EQ(keptOf(9, 0), "badce");
}

// Keep 2 of five rotated files; everything else under a similar name stays, and so does
// what a link of a rotated name leads to.
TEST(LogRetention, DeletesOnlyItsOwnRegularFiles) {
    TempDir dir;
    TempDir outside;
    std::string current = dir.file("app.log");
    touch(current, kNow);
    for (int i = 0; i < 5; ++i)
        touch(dir.file("app.2026120" + std::to_string(i + 1) + "-120000-000.log"),
              kNow - (10 - i) * 86400);
    const char* strangers[] = {"app.20261201-120000-000.log.bak", "app.20261201-120000-00.log",
                               "other.20261201-120000-000.log", "app.log.1", "notes.txt"};
    for (const char* name : strangers)
        touch(dir.file(name), kNow - 100 * 86400);
    fs::create_directory(dir.file("app.20261130-120000-000.log"));
    touch(outside.file("precious"), kNow - 100 * 86400);
    std::error_code ec;
    fs::create_symlink(outside.file("precious"), dir.file("app.20261129-120000-000.log"), ec);
    if (!kWindowsTarget) {
        std::string fifo = dir.file("app.20261128-120000-000.log");
        ASSERT_EQ(runProgram("mkfifo", "\"" + fifo + "\"").exitCode, 0);
    }
    std::set<std::string> before = namesIn(dir.path());

    ksRotationSettings settings;
    settings.keep = 2;
    EXPECT_EQ(applyRetention(current.c_str(), ksLogFamily("app.log", "x"), settings, kNow), 3u);

    std::set<std::string> expected = before;
    for (int i = 0; i < 3; ++i)
        expected.erase("app.2026120" + std::to_string(i + 1) + "-120000-000.log");
    EXPECT_EQ(namesIn(dir.path()), expected);
    EXPECT_TRUE(fileExists(outside.file("precious")));
    // A second pass finds nothing more to do.
    EXPECT_EQ(applyRetention(current.c_str(), ksLogFamily("app.log", "x"), settings, kNow), 0u);
}

// Names of the pattern at other times are old files too; MaxAge alone takes them by age.
// A folder of ten thousand names is scanned at one rotation (two thousand under wine,
// where making the files alone takes a minute).
TEST(LogRetention, PatternFilesByAgeInALargeFolder) {
    TempDir dir;
    const int unrelated = kWindowsTarget ? 2000 : 10000;
    for (int i = 0; i < unrelated; ++i)
        writeFileBytes(dir.file("unrelated-" + std::to_string(i) + ".log"), "");
    for (int day = 1; day <= 7; ++day)
        touch(dir.file("orders_2026120" + std::to_string(day) + ".log"),
              kNow - (7 - day) * 86400 - 60);
    ksRotationSettings settings;
    settings.maxAgeDays = 3;
    std::string current = dir.file("orders_20261207.log");
    EXPECT_EQ(applyRetention(current.c_str(), ksLogFamily("orders_%y%m%d.log", "x"), settings,
                             kNow),
              4u);
    std::set<std::string> names = namesIn(dir.path());
    EXPECT_EQ(names.size(), static_cast<size_t>(unrelated) + 3);
    for (int day = 5; day <= 7; ++day)
        EXPECT_TRUE(names.count("orders_2026120" + std::to_string(day) + ".log")) << day;
}
