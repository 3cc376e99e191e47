// The platform's long-lived log files: usable while others rename, delete and lock them.
#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <thread>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif
#include "platform/platform.h"
#include "support/Target.h"
#include "support/TempDir.h"

using namespace ksPlatform;

namespace {

void put(FileHandle file, const std::string& bytes) {
    ASSERT_EQ(writeFile(file, bytes.data(), static_cast<uint32_t>(bytes.size())),
              static_cast<int64_t>(bytes.size()));
}

} // namespace

// The open log can be renamed and deleted (on Windows too: shared for deleting), and its
// identity tells the writer that the path leads elsewhere now.
TEST(LogFiles, TheOpenLogFollowsItsFileAndSeesThePathChange) {
    TempDir dir;
    std::string path = dir.file("app.log");
    writeFileBytes(path, "old\n");
    FileHandle log = kNoFile;
    ASSERT_NE(log = openLogFile(path.c_str(), true), kNoFile);
    put(log, "one\n");
    OpenFileFacts facts{};
    FileIdentity named{};
    ASSERT_TRUE(describeOpenFile(log, &facts));
    EXPECT_EQ(facts.size, 8u);
    EXPECT_FALSE(facts.deleted);
    ASSERT_TRUE(identityOfPath(path.c_str(), &named));
    FileIdentity open = facts.identity;
    EXPECT_TRUE(open == named);

    std::string moved = dir.file("app.1.log");
    ASSERT_EQ(moveFile(path.c_str(), moved.c_str()), 0);
    EXPECT_FALSE(identityOfPath(path.c_str(), &named));
    put(log, "two\n");
    EXPECT_EQ(readFileBytes(moved), "old\none\ntwo\n");

    FileHandle fresh = kNoFile;
    ASSERT_NE(fresh = openLogFile(path.c_str(), false), kNoFile);
    ASSERT_TRUE(identityOfPath(path.c_str(), &named));
    EXPECT_FALSE(open == named);
    closeLogFile(fresh);

    EXPECT_EQ(deleteFile(moved.c_str()), 0);
    ASSERT_TRUE(describeOpenFile(log, &facts));
    if (!kWindowsTarget) { // wine does not report a deletion that waits for the handle
        EXPECT_TRUE(facts.deleted);
    }
    closeLogFile(log);
}

// The rotation lock holds a second handle of the same file until the first lets go,
// while writes go on.
TEST(LogFiles, TheRotationLockExcludesOtherHandles) {
    TempDir dir;
    std::string path = dir.file("app.log");
    FileHandle first = kNoFile, second = kNoFile;
    ASSERT_NE(first = openLogFile(path.c_str(), true), kNoFile);
    ASSERT_NE(second = openLogFile(path.c_str(), true), kNoFile);
    ASSERT_EQ(lockFile(first), 0);
    put(second, "written while locked\n");
    std::atomic<bool> taken{false};
    std::thread other([&] {
        if (lockFile(second) == 0)
            taken = true;
        unlockFile(second);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(taken.load());
    unlockFile(first);
    other.join();
    EXPECT_TRUE(taken.load());
    closeLogFile(first);
    closeLogFile(second);
}

#ifndef _WIN32
// A log line goes out whole with one call; a FIFO whose reader went away takes nothing
// and fails with EPIPE, and the process lives on. A plain log opened beside the FIFO
// stays a plain file, before and after the FIFO closes.
TEST(LogFiles, LinesReachFilesAndAFifoWithoutReaderFailsQuietly) {
    TempDir dir;
    std::string plain = dir.file("app.log"), fifo = dir.file("fifo");
    ASSERT_EQ(std::system(("mkfifo " + fifo).c_str()), 0);
    std::string line = std::string(300, 'x') + "\n";
    int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    FileHandle log = openLogFile(plain.c_str(), false);
    FileHandle pipe = openLogFile(fifo.c_str(), true);
    ASSERT_TRUE(reader >= 0 && log != kNoFile && pipe != kNoFile);
    auto put = [&line](FileHandle file) { return writeLogFile(file, line.data(), line.size()); };
    EXPECT_EQ(put(log), line.size());
    EXPECT_EQ(put(pipe), line.size());
    close(reader);
    errno = 0;
    EXPECT_EQ(put(pipe), 0u);
    EXPECT_EQ(errno, EPIPE);
    EXPECT_EQ(put(log), line.size());
    closeLogFile(pipe);
    EXPECT_EQ(put(log), line.size());
    closeLogFile(log);
    EXPECT_EQ(readFileBytes(plain), line + line + line);
}
#endif
