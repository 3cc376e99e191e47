// A log file that lives for months: rotated by size, cleared by retention, kept when a
// rename is refused, shared by several processes that rotate it once.
#include <gtest/gtest.h>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>
#include "sinks/LogFileName.h"
#include "sinks/RotatingLog.h"
#include "support/Background.h"
#include "support/Child.h"
#include "support/Target.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kSecond = 1000000;
const uint64_t kStart = 1796601600 * kSecond + 12 * 3600 * kSecond; // 2026-12-07 midday

const char kFirst[] = "NAME: app (log started)\n";

// A file's text as written: Windows ends log lines with "\r\n".
std::string textOf(const std::string& path) {
    std::string bytes = readFileBytes(path);
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i)
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n'))
            text += bytes[i];
    return text;
}

std::string localName(const char* pattern, uint64_t now) {
    ksPlatform::LocalTime local;
    EXPECT_TRUE(ksPlatform::localTimeAt(secondOf(now), &local));
    return logFileName(pattern, &local, "app").c_str();
}

void startLog(ksRotatingLog& log, const std::string& pattern, bool append, uint64_t now) {
    log.setFirstLine(kFirst, sizeof kFirst - 1);
    ASSERT_TRUE(log.open(localName(pattern.c_str(), now).c_str(), append, now));
    ASSERT_EQ(log.write(kFirst, sizeof kFirst - 1, true, now), sizeof kFirst - 1);
}

void writeLine(ksRotatingLog& log, const std::string& line, uint64_t now) {
    ASSERT_EQ(log.write(line.data(), line.size(), true, now), line.size()) << line;
}

// The files of the folder whose names begin with stem, oldest name first.
std::vector<std::string> filesOf(const std::string& folder, const std::string& stem) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (name.compare(0, stem.size(), stem) == 0)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

// Every line arrives once, in order, never split; no rotated file passes the limit; a
// line longer than the limit gets a file of its own.
TEST(RotatingLog, SizeRotationRenamesFullFilesInOrder) {
    TempDir dir;
    std::string path = dir.file("app.log");
    ksRotationSettings settings;
    settings.maxSize = 100;
    ksRotatingLog log(path.c_str(), "app", settings);
    startLog(log, path, false, kStart);
    std::string all;
    for (int i = 0; i < 30; ++i) {
        std::string line = "line " + std::to_string(i) + std::string(static_cast<size_t>(i % 9), '.') + "\n";
        if (i == 20)
            line = std::string(150, 'L') + "\n";
        writeLine(log, line, kStart + static_cast<uint64_t>(i) * 1000); // a millisecond apart
        all += line;
    }
    std::vector<std::string> files = filesOf(dir.path(), "app.");
    ASSERT_GT(files.size(), 5u);
    ASSERT_EQ(files.back(), "app.log");
    std::string joined;
    for (const std::string& name : files) {
        std::string bytes = textOf(dir.file(name));
        ASSERT_EQ(bytes.compare(0, sizeof kFirst - 1, kFirst), 0) << name;
        if (name != "app.log" && bytes.find(std::string(150, 'L')) == std::string::npos) {
            EXPECT_LE(bytes.size(), 100u) << name;
        }
        joined += bytes.substr(sizeof kFirst - 1);
    }
    EXPECT_EQ(joined, all);
}

// A restarted service finds rotated files of earlier runs: Keep counts them too.
TEST(RotatingLog, RetentionAfterARestartCountsEarlierFiles) {
    TempDir dir;
    std::string path = dir.file("app.log");
    writeFileBytes(path, "earlier run\n");
    for (int day = 1; day <= 5; ++day)
        writeFileBytes(dir.file("app.2026110" + std::to_string(day) + "-120000-000.log"), "old\n");
    ksRotationSettings settings;
    settings.maxSize = 64;
    settings.keep = 2;
    ksRotatingLog log(path.c_str(), "app", settings);
    startLog(log, path, true, kStart);
    writeLine(log, std::string(60, 'x') + "\n", kStart);
    std::vector<std::string> files = filesOf(dir.path(), "app.");
    EXPECT_EQ(files.size(), 3u);
    EXPECT_EQ(textOf(path), std::string(kFirst) + std::string(60, 'x') + "\n");
    EXPECT_EQ(textOf(dir.file(files[1])), std::string("earlier run\n") + kFirst);
}

// Another program holds the log without sharing it for deletion (Windows refuses the
// rename then): records go on into the same file, and the rotation happens at a record
// a second after the file was let go.
TEST(RotatingLog, ARefusedRenameKeepsEveryRecord) {
    TempDir dir;
    std::string path = dir.file("app.log");
    ksRotationSettings settings;
    settings.maxSize = 64;
    ksRotatingLog log(path.c_str(), "app", settings);
    startLog(log, path, false, kStart);
    ksPlatform::FileHandle holder = ksPlatform::kNoFile;
    ksPlatform::OpenRequest reading{true, false, false, ksPlatform::OpenDisposition::openExisting};
    ASSERT_EQ(ksPlatform::openFile(path.c_str(), reading, &holder), 0);
    std::string all;
    for (int i = 0; i < 6; ++i) {
        std::string line = std::string(30, static_cast<char>('a' + i)) + "\n";
        writeLine(log, line, kStart);
        all += line;
    }
    size_t whileHeld = filesOf(dir.path(), "app.").size();
    if (kWindowsTarget) {
        EXPECT_EQ(whileHeld, 1u);
    }
    ksPlatform::closeFile(holder);
    writeLine(log, "after\n", kStart + kSecond);
    all += "after\n";
    std::vector<std::string> files = filesOf(dir.path(), "app.");
    EXPECT_GT(files.size(), 1u);
    std::string joined;
    for (const std::string& name : files) {
        std::string bytes = textOf(dir.file(name));
        size_t at;
        while ((at = bytes.find(kFirst)) != std::string::npos)
            bytes.erase(at, sizeof kFirst - 1);
        joined += bytes;
    }
    EXPECT_EQ(joined, all);
}

KSLOG_CHILD(rotatingWriter) {
    const char* folder = std::getenv("KSLOG_TEST_FOLDER");
    const char* keep = std::getenv("KSLOG_TEST_KEEP");
    CHILD_CHECK(folder && keep);
    std::string path = std::string(folder) + "/app.log";
    ksRotationSettings settings;
    settings.maxSize = 8192;
    settings.keep = static_cast<uint32_t>(std::atoi(keep));
    ksRotatingLog log(path.c_str(), "app", settings);
    log.setFirstLine(kFirst, sizeof kFirst - 1);
    uint64_t now = ksPlatform::wallClockMicroseconds();
    CHILD_CHECK(log.open(path.c_str(), true, now));
    const std::string writer = "w" + std::to_string(ksPlatform::currentProcessId());
    for (int i = 0; i < 3000; ++i) {
        std::string line = writer + " " + std::to_string(i) + " " +
                           std::string(static_cast<size_t>(i % 40), '.') + "\n";
        now = ksPlatform::wallClockMicroseconds();
        CHILD_CHECK(log.write(line.data(), line.size(), true, now) == line.size());
    }
    writeFileBytes(std::string(folder) + "/done-" + writer, "");
    return 0;
}

// Four processes append to one file that rotates every few hundred lines: each rotation
// happens once, every line arrives once and whole, and Keep holds.
TEST(RotatingLog, FourWritersRotateOneFileTogether) {
    for (int keep : {0, 3}) {
        TempDir dir;
        setEnvironmentVariable("KSLOG_TEST_FOLDER", dir.path().c_str());
        setEnvironmentVariable("KSLOG_TEST_KEEP", std::to_string(keep).c_str());
        std::vector<std::unique_ptr<BackgroundChild>> writers;
        for (int i = 0; i < 4; ++i) {
            writers.push_back(std::make_unique<BackgroundChild>());
            ASSERT_TRUE(writers.back()->start("rotatingWriter"));
        }
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (filesOf(dir.path(), "done-").size() < 4 &&
               std::chrono::steady_clock::now() < deadline)
            sleepMilliseconds(20);
        writers.clear();
        setEnvironmentVariable("KSLOG_TEST_FOLDER", nullptr);
        setEnvironmentVariable("KSLOG_TEST_KEEP", nullptr);
        ASSERT_EQ(filesOf(dir.path(), "done-").size(), 4u) << "keep " << keep;

        std::map<std::string, std::vector<int>> seen;
        std::vector<std::string> files = filesOf(dir.path(), "app.");
        for (const std::string& name : files) {
            std::istringstream lines(textOf(dir.file(name)));
            std::string line;
            while (std::getline(lines, line)) {
                if (line + "\n" == kFirst)
                    continue;
                std::istringstream fields(line);
                std::string writer, dots;
                int number = -1;
                fields >> writer >> number >> dots;
                ASSERT_TRUE(writer.size() > 1 && writer[0] == 'w' && number >= 0 &&
                            dots == std::string(static_cast<size_t>(number % 40), '.') &&
                            fields.eof())
                    << "torn line in " << name << ": " << line;
                seen[writer].push_back(number);
            }
        }
        if (keep == 0) {
            EXPECT_GT(files.size(), 5u);
            ASSERT_EQ(seen.size(), 4u);
            for (auto& [writer, numbers] : seen) {
                std::sort(numbers.begin(), numbers.end());
                ASSERT_EQ(numbers.size(), 3000u) << writer;
                for (int i = 0; i < 3000; ++i)
                    ASSERT_EQ(numbers[static_cast<size_t>(i)], i) << writer;
            }
        } else {
            EXPECT_EQ(files.size(), 4u) << "the file in use and three rotated ones";
            for (auto& [writer, numbers] : seen) {
                std::set<int> unique(numbers.begin(), numbers.end());
                EXPECT_EQ(unique.size(), numbers.size()) << "a line twice from " << writer;
            }
        }
    }
}
