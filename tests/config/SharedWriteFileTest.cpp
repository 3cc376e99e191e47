// One write file shared by processes that open, populate and save it at the same time, and
// a save's temporary name taken by something planted in the write folder.
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>
#include "config/IniFile.h"
#include "platform/platform.h"
#include "support/Child.h"
#include "support/Target.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

constexpr int kProcesses = 4;
constexpr int kKeysEach = 40;

size_t occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

} // namespace

// Each key as one accessor call does it: open, look up, set the missing key, save, close.
// The person's value must be there at every open.
KSLOG_CHILD(populateSharedWriteFile) {
    const char* path = std::getenv("KSLOG_TEST_WRITE_FILE");
    CHILD_CHECK(path != nullptr);
    std::string section = "p" + std::to_string(ksPlatform::currentProcessId());
    for (int i = 0; i < kKeysEach; ++i) {
        ksIniFile file(nullptr, path);
        CHILD_CHECK(std::string(file.getString("user", "value", "")) == "mine");
        std::string key = "key" + std::to_string(i);
        CHILD_CHECK(file.getInt(section.c_str(), key.c_str(), -1) == -1);
        CHILD_CHECK(file.setInt(section.c_str(), key.c_str(), i));
        CHILD_CHECK(file.save());
    }
    return 0;
}

TEST(SharedWriteFile, ConcurrentPopulatingProcessesKeepEveryValue) {
    TempDir dir;
    const std::string path = dir.file("_ksLog.app.ini");
    writeFileBytes(path, "[user]\r\nvalue=mine\r\n");
    setEnvironmentVariable("KSLOG_TEST_WRITE_FILE", path.c_str());
    std::vector<ChildResult> results(kProcesses);
    std::vector<std::thread> starts;
    for (ChildResult& result : results)
        starts.emplace_back([&result] { result = runChild("populateSharedWriteFile"); });
    for (std::thread& start : starts)
        start.join();
    setEnvironmentVariable("KSLOG_TEST_WRITE_FILE", nullptr);
    for (const ChildResult& result : results)
        EXPECT_EQ(result.exitCode, 0) << result.output;
    std::string written = readFileBytes(path);
    EXPECT_EQ(occurrences(written, "value=mine\r\n"), 1u);
    EXPECT_EQ(occurrences(written, "\r\nkey"), static_cast<size_t>(kProcesses * kKeysEach));
    EXPECT_FALSE(fs::exists(path + ".tmp"));
    EXPECT_FALSE(fs::exists(path + ".ok"));
}

// Whatever holds the temporary name is replaced by a new file of the save's own; nothing
// outside the write folder is created or changed.
TEST(SharedWriteFile, ASaveNeverWritesThroughWhatHoldsItsTemporaryName) {
    if (kWindowsTarget)
        GTEST_SKIP() << "links need a privilege there";
    struct Case {
        const char* name;
        const char* target; // null: a file in another folder
        bool targetExists;
    } cases[] = {{"dangling link", nullptr, false},
                 {"link to a file", nullptr, true},
                 {"link to a full device", "/dev/full", true}};
    for (const Case& c : cases) {
        TempDir writeFolder;
        TempDir elsewhere;
        const std::string path = writeFolder.file("_ksLog.app.ini");
        const std::string target = c.target ? c.target : elsewhere.file("victim");
        if (c.targetExists && !c.target)
            writeFileBytes(target, "theirs");
        fs::create_symlink(target, path + ".tmp");
        ksIniFile file(nullptr, path.c_str());
        ASSERT_TRUE(file.setString("s", "k", "v")) << c.name;
        EXPECT_TRUE(file.save()) << c.name;
        EXPECT_EQ(readFileBytes(path), "[s]\r\nk=v\r\n") << c.name;
        EXPECT_EQ(fs::exists(target), c.targetExists) << c.name;
        if (c.targetExists && !c.target) {
            EXPECT_EQ(readFileBytes(target), "theirs") << c.name;
        }
        EXPECT_FALSE(fs::exists(fs::symlink_status(path + ".tmp"))) << c.name;
        EXPECT_FALSE(fs::exists(path + ".ok")) << c.name;
    }
}
