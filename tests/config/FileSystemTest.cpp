// The file operations: modes, error codes, the existence test, moves that never replace,
// and the creation of directories with their ancestors.
#include <gtest/gtest.h>
#include <filesystem>
#include <string>
#include "config/FileSystem.h"
#include "config/Paths.h"
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
    EXPECT_EQ(ksFileOpen(dir.path().c_str(), ksOpenRead, &file), -1); // a directory
    EXPECT_EQ(ksFileDelete(dir.file("absent").c_str()), 0);
    EXPECT_EQ(ksFileDelete(dir.file("no/such/file").c_str()), 0);
    EXPECT_EQ(ksFileOpen("<Unknown>/x", ksOpenRead, &file), -1);
    EXPECT_EQ(ksFileDelete("<Unknown>/x"), -1);
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
