// Settings files that exist but must not be read: a FIFO (opening it would wait for a
// writer for ever), a link to an endless device, a folder, a file beyond the size limit.
// Each counts as absent, is named once on the standard error stream, and populate mode
// never writes through its name. The lookups run in a child with a time-out.
#include <gtest/gtest.h>
#include <filesystem>
#include <string>
#include "Scenario.h"
#include "config/IniDocument.h"
#include "support/Child.h"
#include "support/Target.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

enum class Kind { fifo, linkToZero, folder, oversize };
enum class Role { readFile, writeFile, locator };

const char* describe(Kind kind) {
    switch (kind) {
    case Kind::fifo:
        return "a FIFO";
    case Kind::linkToZero:
        return "a link to /dev/zero";
    case Kind::folder:
        return "a folder";
    case Kind::oversize:
        return "an oversized file";
    }
    return "";
}

std::string oversizeContent() {
    return "[File]\nLevel=7\n" + std::string(ksIniDocument::kFileSizeLimit, ';');
}

// False when this system cannot make such a thing (Windows has no FIFOs nor /dev/zero).
bool make(Kind kind, const std::string& path) {
    std::error_code ec;
    switch (kind) {
    case Kind::fifo:
        return !kWindowsTarget && runProgram("mkfifo", "\"" + path + "\"").exitCode == 0;
    case Kind::linkToZero:
        return kLinuxTarget && (fs::create_symlink("/dev/zero", path, ec), !ec);
    case Kind::folder:
        return fs::create_directory(path, ec);
    case Kind::oversize:
        return writeFileBytes(path, oversizeContent());
    }
    return false;
}

bool unchanged(Kind kind, const std::string& path) {
    std::error_code ec;
    switch (kind) {
    case Kind::fifo:
        return fs::is_fifo(fs::symlink_status(path, ec));
    case Kind::linkToZero:
        return fs::is_symlink(fs::symlink_status(path, ec)) &&
               fs::read_symlink(path, ec) == "/dev/zero";
    case Kind::folder:
        return fs::is_directory(path, ec) && fs::is_empty(path, ec);
    case Kind::oversize:
        return readFileBytes(path) == oversizeContent();
    }
    return false;
}

size_t count(const std::string& text, const std::string& part) {
    size_t found = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++found;
    return found;
}

} // namespace

TEST(UnusableSettingsFiles, CountAsAbsentAreNamedOnceAndAreNeverWritten) {
    const Kind kinds[] = {Kind::fifo, Kind::linkToZero, Kind::folder, Kind::oversize};
    const Role roles[] = {Role::readFile, Role::writeFile, Role::locator};
    for (Kind kind : kinds) {
        for (Role role : roles) {
            Scenario s;
            const std::string path = role == Role::readFile    ? s.readFile()
                                     : role == Role::writeFile ? s.writeFile()
                                                               : s.file("ConfigPath.ini");
            if (!make(kind, path))
                continue;
            const std::string name = fs::path(path).filename().string();
            const std::string what = std::string(describe(kind)) + " as " + name;
            if (role != Role::readFile)
                writeFileBytes(s.readFile(), "[File]\nLevel=6\n");
            // Level is read (or defaulted); Missing is missing everywhere, so that populate
            // mode saves the write file, twice.
            const GuardedRun run =
                s.runGuarded("i|File|Level|4|1|1;i|File|Missing|9|1|1;i|File|Other|8|1|1");
            EXPECT_EQ(run.exitCode, 0) << what;
            EXPECT_EQ(run.output, role == Role::readFile ? "4\n9\n8\n" : "6\n9\n8\n") << what;
            const std::string message =
                kind == Kind::oversize
                    ? "/" + name + " is larger than 1048576 bytes: it is ignored\n"
                    : "/" + name + " is not a regular file: it is ignored\n";
            EXPECT_EQ(count(run.errors, "ksConfig: "), 1u) << what << ": " << run.errors;
            EXPECT_EQ(count(run.errors, message), 1u) << what << ": " << run.errors;
            EXPECT_TRUE(unchanged(kind, path)) << what;
            if (role == Role::writeFile) {
                EXPECT_FALSE(fileExists(path + ".tmp")) << what;
                EXPECT_FALSE(fileExists(path + ".ok")) << what;
            } else {
                EXPECT_EQ(readFileBytes(s.writeFile()),
                          std::string("[file]\r\n") +
                              (role == Role::readFile ? "level=4\r\n" : "") +
                              "missing=9\r\nother=8\r\n")
                    << what;
            }
        }
    }
}

TEST(IniDocument, ReadsAFileUpToTheSizeLimitAndNothingBeyond) {
    TempDir dir;
    const std::string path = dir.file("s.ini");
    const std::string head = "[s]\nk=v\n";
    const struct {
        size_t size;
        ksIniLoad result;
        const char* value;
    } cases[] = {
        {ksIniDocument::kFileSizeLimit, ksIniLoad::loaded, "v"},
        {ksIniDocument::kFileSizeLimit + 1, ksIniLoad::tooLarge, "none"},
        {3 * ksIniDocument::kFileSizeLimit, ksIniLoad::tooLarge, "none"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(writeFileBytes(path, head + std::string(c.size - head.size(), '#')));
        ksIniDocument document;
        EXPECT_EQ(document.load(path.c_str()), c.result) << c.size;
        EXPECT_STREQ(document.get("s", "k", "none", nullptr), c.value) << c.size;
    }
}
