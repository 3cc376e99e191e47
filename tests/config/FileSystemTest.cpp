// The file operations: modes, error codes, the existence test, moves that never replace,
// and the creation of directories with their ancestors.
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include "config/FileSystem.h"
#include "config/Paths.h"
#include "support/Child.h"
#include "support/Target.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

TEST(FileOperations, WriteSeekReadAndAppend) {
    TempDir dir;
    std::string path = dir.file("data.bin");
    ksFile file = ksNoFile;
    ASSERT_EQ(ksFileOpen(path.c_str(), ksOpenRead | ksOpenWrite | ksOpenCreate, &file), 0);
    EXPECT_EQ(ksFileWrite(file, "hello world", 11), 11);
    EXPECT_EQ(ksFileSeek(file, 6, 0), 0);
    char buffer[16] = {};
    EXPECT_EQ(ksFileRead(file, buffer, sizeof buffer), 5);
    EXPECT_STREQ(buffer, "world");
    EXPECT_EQ(ksFileRead(file, buffer, sizeof buffer), 0);
    EXPECT_EQ(ksFileSeek(file, -5, 2), 0);
    EXPECT_EQ(ksFileRead(file, buffer, 2), 2);
    EXPECT_EQ(ksFileFlush(file), 0);
    EXPECT_EQ(ksFileClose(file), 0);

    ASSERT_EQ(ksFileOpen(path.c_str(), ksOpenAppend, &file), 0);
    EXPECT_EQ(ksFileWrite(file, "!", 1), 1);
    EXPECT_EQ(ksFileClose(file), 0);
    EXPECT_EQ(readFileBytes(path), "hello world!");

    ASSERT_EQ(ksFileOpen(path.c_str(), ksOpenWrite | ksOpenCreate | ksOpenTruncate, &file), 0);
    EXPECT_EQ(ksFileClose(file), 0);
    EXPECT_EQ(readFileBytes(path), "");
}

TEST(FileOperations, RefusedModesLeaveTheFileAlone) {
    TempDir dir;
    std::string path = dir.file("keep.txt");
    ASSERT_TRUE(writeFileBytes(path, "content"));
    ksFile file = ksNoFile;
    EXPECT_EQ(ksFileOpen(path.c_str(), ksOpenRead | ksOpenTruncate, &file), -1);
    EXPECT_EQ(ksFileOpen(path.c_str(), ksOpenCreate | ksOpenAppend, &file), -1);
    EXPECT_EQ(ksFileOpen(path.c_str(),
                         ksOpenWrite | ksOpenCreate | ksOpenExclusive | ksOpenTruncate, &file),
              -1);
    EXPECT_EQ(ksFileOpen(path.c_str(), ksOpenWrite | ksOpenExclusive, &file), -1);
    EXPECT_EQ(ksFileOpen(path.c_str(), 0, &file), -1);
    EXPECT_EQ(ksFileOpen(path.c_str(), ksOpenRead, nullptr), -1);
    EXPECT_EQ(ksFileOpen(nullptr, ksOpenRead, &file), -1);
    EXPECT_EQ(file, ksNoFile);
    EXPECT_EQ(readFileBytes(path), "content");
    EXPECT_EQ(ksFileOpen(path.c_str(), ksOpenWrite | ksOpenCreate | ksOpenExclusive, &file), -4);
}

TEST(FileOperations, ErrorCodesForMissingFilesAndFolders) {
    TempDir dir;
    ksFile file = ksNoFile;
    EXPECT_EQ(ksFileOpen(dir.file("absent").c_str(), ksOpenRead, &file), -3);
    EXPECT_EQ(ksFileOpen(dir.file("no/such/file").c_str(), ksOpenWrite | ksOpenCreate, &file), -3);
    EXPECT_EQ(ksFileDelete(dir.file("absent").c_str()), 0);
    EXPECT_EQ(ksFileDelete(dir.file("no/such/file").c_str()), 0);
    EXPECT_EQ(ksFileOpen("<Unknown>/x", ksOpenRead, &file), -1);
    EXPECT_EQ(ksFileDelete("<Unknown>/x"), -1);
}

// Opens each name of KSLOG_TEST_NAMES (separated by "|") for reading and for writing.
KSLOG_CHILD(openNonRegularFiles) {
    const char* names = std::getenv("KSLOG_TEST_NAMES");
    std::string rest = names ? names : "";
    while (!rest.empty()) {
        std::string name = rest.substr(0, rest.find('|'));
        rest.erase(0, name.size() + 1);
        for (uint32_t mode : {uint32_t{ksOpenRead}, ksOpenWrite | ksOpenCreate | ksOpenTruncate,
                              uint32_t{ksOpenAppend}}) {
            ksFile file = ksNoFile;
            CHILD_CHECK(ksFileOpen(name.c_str(), mode, &file) == ksPlatform::kFileNotRegular);
            CHILD_CHECK(file == ksNoFile);
        }
        CHILD_CHECK(!ksFileExists(name.c_str()));
    }
    return 0;
}

// A FIFO without a writer would hold an open for reading for ever: the child runs under
// a time-out.
TEST(FileOperations, OnlyRegularFilesOpenAndNothingWaits) {
    TempDir dir;
    std::string names = dir.path();
    if (!kWindowsTarget) {
        ASSERT_EQ(runProgram("mkfifo", "\"" + dir.file("fifo") + "\"").exitCode, 0);
        fs::create_symlink("/dev/zero", dir.file("zero"));
        fs::create_symlink(dir.file("fifo"), dir.file("link-to-fifo"));
        names += "|" + dir.file("fifo") + "|" + dir.file("zero") + "|" + dir.file("link-to-fifo");
    }
    setEnvironmentVariable("KSLOG_TEST_NAMES", names.c_str());
    const std::string child = "\"" + testProgramPath() + "\" --kslog-child openNonRegularFiles";
    ChildResult result = kWindowsTarget
                             ? runProgram(testProgramPath(), "--kslog-child openNonRegularFiles")
                             : runProgram("timeout", "60 " + child);
    setEnvironmentVariable("KSLOG_TEST_NAMES", nullptr);
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_TRUE(kWindowsTarget || fs::is_fifo(dir.file("fifo")));
}

TEST(FileOperations, ExistsMovesAndDeletes) {
    TempDir dir;
    std::string a = dir.file("a");
    std::string b = dir.file("b");
    ASSERT_TRUE(writeFileBytes(a, "A"));
    ASSERT_TRUE(writeFileBytes(b, "B"));
    EXPECT_TRUE(ksFileExists(a.c_str()));
    EXPECT_FALSE(ksFileExists(dir.path().c_str()));
    EXPECT_FALSE(ksFileExists(dir.file("c").c_str()));
    EXPECT_EQ(ksFileMove(a.c_str(), b.c_str()), -4);
    EXPECT_EQ(readFileBytes(b), "B");
    EXPECT_EQ(ksFileMove(a.c_str(), dir.file("c").c_str()), 0);
    EXPECT_FALSE(ksFileExists(a.c_str()));
    EXPECT_EQ(readFileBytes(dir.file("c")), "A");
    EXPECT_EQ(ksFileMove(a.c_str(), dir.file("d").c_str()), -3);
    EXPECT_EQ(ksFileDelete(b.c_str()), 0);
    EXPECT_FALSE(fileExists(b));
}

TEST(CreateDirectories, CreatesAncestorsAndStopsAtFiles) {
    TempDir dir;
    std::string deep = dir.file("one/two/three");
    EXPECT_TRUE(ksCreateDirectories((deep + "/").c_str()));
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_TRUE(ksCreateDirectories(deep.c_str())); // already there
    ASSERT_TRUE(writeFileBytes(dir.file("plain"), "x"));
    EXPECT_FALSE(ksCreateDirectories(dir.file("plain").c_str()));
    EXPECT_FALSE(ksCreateDirectories(dir.file("plain/sub").c_str()));
    EXPECT_FALSE(fs::exists(dir.file("plain/sub")));
    EXPECT_FALSE(ksCreateDirectories("<Unknown>"));
    ksString root;
    ASSERT_TRUE(ksNormalizePath(dir.path().c_str(), false, 0, nullptr, &root));
    std::string rootText = root.c_str();
    std::string driveRoot = rootText.substr(0, rootText.find('/') + 1);
    EXPECT_TRUE(ksCreateDirectories(driveRoot.c_str())) << driveRoot;
}

TEST(CreateDirectories, WalksPathsWithParentComponents) {
    TempDir dir;
    std::string path = dir.file("a/../b/./c");
    EXPECT_TRUE(ksCreateDirectories(path.c_str()));
    EXPECT_TRUE(fs::is_directory(dir.file("b/c")));
}
