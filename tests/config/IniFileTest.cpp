// The two-layer settings file: lookup order, the save's exact bytes, recovery of an
// interrupted save, saves that fail part way, and saves killed at random moments.
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include "config/FileSystem.h"
#include "config/IniFile.h"
#include "support/Background.h"
#include "support/Child.h"
#include "support/Target.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

bool exists(const std::string& path) {
    return fs::exists(path);
}

// The platform's write, flush and close of a saved file, or replacements for the life of
// the object (null: the platform's own).
struct FileWriteCalls {
    int64_t (*write)(ksFile file, const void* buffer, uint32_t count);
    int32_t (*flush)(ksFile file);
    int32_t (*close)(ksFile file);
};
class ReplacedWriteCalls {
  public:
    explicit ReplacedWriteCalls(const FileWriteCalls& calls) : saved_(ksPlatform::recordCalls) {
        ksPlatform::RecordCalls& table = ksPlatform::recordCalls;
        table.writeFile = calls.write ? calls.write : table.writeFile;
        table.flushFile = calls.flush ? calls.flush : table.flushFile;
        table.closeFile = calls.close ? calls.close : table.closeFile;
    }
    ~ReplacedWriteCalls() { ksPlatform::recordCalls = saved_; }

  private:
    ksPlatform::RecordCalls saved_;
};

// Writes half of what it is given, then reports a full disk.
int64_t writeHalfThenFail(ksFile file, const void* buffer, uint32_t count) {
    static bool wroteHalf = false;
    if (wroteHalf || count < 2) {
        wroteHalf = false;
        return ksPlatform::kFileDiskFull;
    }
    wroteHalf = true;
    return ksPlatform::writeFile(file, buffer, count / 2);
}
int64_t writeNothing(ksFile, const void*, uint32_t) {
    return 0;
}
int32_t flushFails(ksFile) {
    return ksPlatform::kFileWriteProtected;
}
int32_t closeFails(ksFile file) {
    ksPlatform::closeFile(file);
    return ksPlatform::kFileFailed;
}

int flushes = 0;
int32_t countFlush(ksFile file) {
    ++flushes;
    return ksPlatform::flushFile(file);
}
int32_t closeAfterFlush(ksFile file) {
    if (flushes == 0)
        ADD_FAILURE() << "closed before its content reached the disk";
    return ksPlatform::closeFile(file);
}

const char kOldContent[] = "[s]\r\nk=old\r\n";

// One saved version of the crash test's file: every key holds the version's text.
void fillVersion(ksIniFile& file, int version) {
    std::string text = version ? std::string(40, 'b') : std::string(7, 'a');
    file.setString("s", "version", version ? "B" : "A");
    for (int i = 0; i < 150; ++i)
        file.setString("s", ("key" + std::to_string(i)).c_str(), text.c_str());
}

std::string versionBytes(int version) {
    ksIniDocument document;
    document.setValue("s", "version", version ? "B" : "A");
    std::string text = version ? std::string(40, 'b') : std::string(7, 'a');
    for (int i = 0; i < 150; ++i)
        document.setValue("s", ("key" + std::to_string(i)).c_str(), text.c_str());
    ksString bytes = document.render();
    return std::string(bytes.c_str(), bytes.length());
}

} // namespace

// Saves both versions in turn for ever, opening the file anew each time as a lookup does.
KSLOG_CHILD(saveForEver) {
    const char* path = std::getenv("KSLOG_TEST_SAVE_PATH");
    for (int round = 0;; ++round) {
        ksIniFile file(nullptr, path);
        fillVersion(file, round % 2);
        file.save();
    }
}

TEST(IniFile, WriteLayerWinsEvenWhenEmptyOrNotANumber) {
    TempDir dir;
    std::string readPath = dir.file("r.ini");
    std::string writePath = dir.file("w.ini");
    writeFileBytes(readPath, "[a]\nonly=read\nboth=read\nempty=read\nnum=5\nbad=6\n");
    writeFileBytes(writePath, "[A]\nboth=write\nempty=\nnum=7\nbad=x\n");
    ksIniFile file(readPath.c_str(), writePath.c_str());
    EXPECT_STREQ(file.getString("a", "only", "d"), "read");
    EXPECT_STREQ(file.getString("a", "both", "d"), "write");
    EXPECT_STREQ(file.getString("a", "empty", "d"), "");
    EXPECT_STREQ(file.getString("a", "missing", "d"), "d");
    EXPECT_EQ(file.getInt("a", "num", 1), 7);
    EXPECT_EQ(file.getInt("a", "bad", 1), 1);
}

TEST(IniFile, WithoutAWriteLayerNothingChanges) {
    TempDir dir;
    std::string readPath = dir.file("r.ini");
    writeFileBytes(readPath, "k=v\n");
    ksIniFile file(readPath.c_str(), nullptr);
    EXPECT_FALSE(file.hasWriteLayer());
    EXPECT_FALSE(file.setString("s", "k", "v"));
    EXPECT_FALSE(file.setInt("s", "k", 1));
    EXPECT_FALSE(file.save());
    EXPECT_EQ(readFileBytes(readPath), "k=v\n");
    EXPECT_STREQ(file.getString(nullptr, "k", "d"), "v");
}

TEST(IniFile, SavesTheWriteLayerOnly) {
    TempDir dir;
    std::string readPath = dir.file("r.ini");
    std::string writePath = dir.file("w.ini");
    writeFileBytes(readPath, "[file]\nlevel=info\n");
    writeFileBytes(writePath, "; comment\n[File]\nAppend = 1\n");
    ksIniFile file(readPath.c_str(), writePath.c_str());
    EXPECT_TRUE(file.setString("options", "date", "on"));
    EXPECT_TRUE(file.setInt("File", "Blocking", 0));
    EXPECT_TRUE(file.save());
    EXPECT_EQ(readFileBytes(writePath),
              "[file]\r\nappend=1\r\nblocking=0\r\n\r\n[options]\r\ndate=on\r\n");
    EXPECT_EQ(readFileBytes(readPath), "[file]\nlevel=info\n");
    EXPECT_FALSE(exists(writePath + ".tmp"));
    EXPECT_FALSE(exists(writePath + ".ok"));
}

TEST(IniFile, SaveIntoAMissingDirectoryLeavesNoCompanions) {
    TempDir dir;
    std::string writePath = dir.file("absent/w.ini");
    ksIniFile file(nullptr, writePath.c_str());
    EXPECT_TRUE(file.setString("s", "k", "v"));
    EXPECT_FALSE(file.save());
    EXPECT_TRUE(fs::is_empty(dir.path()));
    ksIniFile unusable(nullptr, "<Unknown>/w.ini");
    EXPECT_TRUE(unusable.hasWriteLayer());
    EXPECT_TRUE(unusable.setString("s", "k", "v"));
    EXPECT_STREQ(unusable.getString("s", "k", "d"), "v");
    EXPECT_FALSE(unusable.save());
}

TEST(IniFileRecovery, CompletesASaveThatReachedTheOkFile) {
    TempDir dir;
    std::string p = dir.file("w.ini");
    writeFileBytes(p, "k=old\n");
    writeFileBytes(p + ".ok", "k=new\n");
    writeFileBytes(p + ".tmp", "k=part");
    ksIniFile file(nullptr, p.c_str());
    EXPECT_STREQ(file.getString(nullptr, "k", "d"), "new");
    EXPECT_EQ(readFileBytes(p), "k=new\n");
    EXPECT_FALSE(exists(p + ".ok"));
    EXPECT_FALSE(exists(p + ".tmp"));
}

TEST(IniFileRecovery, DiscardsATmpFileAndUsesALoneOkFile) {
    TempDir dir;
    std::string p = dir.file("w.ini");
    writeFileBytes(p, "k=old\n");
    writeFileBytes(p + ".tmp", "k=part");
    ksIniFile first(nullptr, p.c_str());
    EXPECT_STREQ(first.getString(nullptr, "k", "d"), "old");
    EXPECT_FALSE(exists(p + ".tmp"));

    std::string q = dir.file("v.ini");
    writeFileBytes(q + ".ok", "k=new\n");
    ksIniFile second(nullptr, q.c_str());
    EXPECT_STREQ(second.getString(nullptr, "k", "d"), "new");
    EXPECT_EQ(readFileBytes(q), "k=new\n");
}

TEST(IniFileRecovery, AWriteFileThatIsADirectoryStaysUntouched) {
    TempDir dir;
    std::string p = dir.file("w.ini");
    fs::create_directory(p);
    ksIniFile file(nullptr, p.c_str());
    EXPECT_STREQ(file.getString("s", "k", "d"), "d");
    file.setString("s", "k", "v");
    EXPECT_FALSE(file.save());
    EXPECT_TRUE(fs::is_directory(p));
    ksIniFile again(nullptr, p.c_str()); // the waiting ".ok" cannot replace a directory
    EXPECT_STREQ(again.getString("s", "k", "d"), "d");
    EXPECT_TRUE(fs::is_directory(p));
}

TEST(IniFileSave, AWriteThatFailsPartWayKeepsTheOldFile) {
    struct Case {
        const char* name;
        FileWriteCalls calls;
    } cases[] = {
        {"short write then disk full", {writeHalfThenFail, nullptr, nullptr}},
        {"write of nothing", {writeNothing, nullptr, nullptr}},
        {"flush fails", {nullptr, flushFails, nullptr}},
        {"close fails", {nullptr, nullptr, closeFails}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        std::string p = dir.file("w.ini");
        writeFileBytes(p, kOldContent);
        ksIniFile file(nullptr, p.c_str());
        file.setString("s", "k", std::string(3000, 'n').c_str());
        {
            ReplacedWriteCalls failing(c.calls);
            EXPECT_FALSE(file.save()) << c.name;
        }
        EXPECT_EQ(readFileBytes(p), kOldContent) << c.name;
        EXPECT_FALSE(exists(p + ".tmp")) << c.name;
        EXPECT_FALSE(exists(p + ".ok")) << c.name;
        EXPECT_TRUE(file.save()) << c.name;
        EXPECT_EQ(readFileBytes(p), "[s]\r\nk=" + std::string(3000, 'n') + "\r\n") << c.name;
    }
}

TEST(IniFileSave, KilledAtRandomMomentsLeavesACompleteFile) {
    // Each start of a process under the Windows emulator is slow: fewer, later kills.
    const int kills = kWindowsTarget ? 6 : 150;
    const int startMicroseconds = kWindowsTarget ? 300000 : 2000;
    TempDir dir;
    std::string p = dir.file("w.ini");
    std::string versions[2] = {versionBytes(0), versionBytes(1)};
    {
        ksIniFile file(nullptr, p.c_str());
        fillVersion(file, 0);
        ASSERT_TRUE(file.save());
    }
    ASSERT_EQ(readFileBytes(p), versions[0]);
    setEnvironmentVariable("KSLOG_TEST_SAVE_PATH", p.c_str());
    std::mt19937 random(12345);
    int seenNew = 0;
    int interrupted = 0; // kills that left a companion file behind
    for (int i = 0; i < kills; ++i) {
        BackgroundChild child;
        ASSERT_TRUE(child.start("saveForEver"));
        // A loaded machine (or a sanitizer) may take longer to start the child than the
        // random wait: wait until its first save is under way, then a random time.
        for (int waited = 0; waited < 5000 && !exists(p + ".tmp") && !exists(p + ".ok"); ++waited)
            sleepMicroseconds(1000);
        sleepMicroseconds(startMicroseconds + static_cast<int>(random() % 20000));
        child.kill();
        interrupted += exists(p + ".tmp") || exists(p + ".ok");
        ksIniFile::recover(p.c_str());
        std::string bytes = readFileBytes(p);
        ASSERT_TRUE(bytes == versions[0] || bytes == versions[1])
            << "kill " << i << ": " << bytes.size() << " bytes";
        EXPECT_FALSE(exists(p + ".tmp"));
        EXPECT_FALSE(exists(p + ".ok"));
        seenNew += bytes == versions[1];
    }
    setEnvironmentVariable("KSLOG_TEST_SAVE_PATH", nullptr);
    EXPECT_GT(seenNew, 0); // the child did save between the kills
    if (!kWindowsTarget) {
        EXPECT_GT(interrupted, 0); // and some kills hit a save part way
    }
}

TEST(IniFileSave, TheNewContentReachesTheDiskBeforeItReplacesTheFile) {
    TempDir dir;
    std::string p = dir.file("w.ini");
    ksIniFile file(nullptr, p.c_str());
    file.setString("s", "k", "v");
    flushes = 0;
    {
        ReplacedWriteCalls counting({nullptr, countFlush, closeAfterFlush});
        EXPECT_TRUE(file.save());
    }
    EXPECT_EQ(flushes, 1);
    EXPECT_EQ(readFileBytes(p), "[s]\r\nk=v\r\n");
}
