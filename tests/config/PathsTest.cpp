// Path normalisation under both platforms' rules, folder tokens and the executable's path.
#include <gtest/gtest.h>
#include <cstdlib>
#include <string>
#include "config/Paths.h"
#include "support/Child.h"
#include "support/Target.h"

namespace {

std::string normalized(ksPathRules rules, const char* path, bool trim, uint32_t flags,
                       const char* base = "C:/Apps/") {
    ksString out;
    if (!ksNormalizePathWith(rules, path, trim, flags, base, &out))
        return "<none>";
    return std::string(out.c_str(), out.length());
}

constexpr ksPathRules kWin = ksPathRules::windows;
constexpr ksPathRules kPosix = ksPathRules::posix;
constexpr uint32_t kPlatform = ksPathPlatformForm;
constexpr uint32_t kLong = ksPathLongPrefix;

} // namespace

TEST(NormalizePath, ResolvesRelativePathsAgainstTheBase) {
    for (const char* path : {"cfg", "./cfg", ".\\cfg"})
        EXPECT_EQ(normalized(kWin, path, false, 0), "C:/Apps/cfg") << path;
    EXPECT_EQ(normalized(kWin, "../cfg", false, 0), "C:/Apps/../cfg");
    EXPECT_EQ(normalized(kWin, "..", false, 0), "C:/Apps/..");
    EXPECT_EQ(normalized(kWin, ".", false, 0), "C:/Apps/");
    EXPECT_EQ(normalized(kWin, "./", false, 0), "C:/Apps/");
    EXPECT_EQ(normalized(kWin, ".hidden", false, 0), "C:/Apps/.hidden");
    // A single leading separator is relative on Windows: the separator doubles.
    EXPECT_EQ(normalized(kWin, "/x", false, 0), "C:/Apps//x");
    EXPECT_EQ(normalized(kWin, "\\x", false, 0), "C:/Apps//x");
    EXPECT_EQ(normalized(kWin, "//server/share", false, 0), "C:/Apps///server/share");
    EXPECT_EQ(normalized(kPosix, "\\x", false, 0, "/opt/app/"), "/opt/app//x");
    EXPECT_EQ(normalized(kPosix, "cfg/a\\b", false, 0, "/opt/app/"), "/opt/app/cfg/a/b");
}

TEST(NormalizePath, KeepsAbsolutePaths) {
    EXPECT_EQ(normalized(kWin, "D:\\Data\\", false, 0), "D:/Data/");
    EXPECT_EQ(normalized(kWin, "C:name", false, 0), "C:name");
    EXPECT_EQ(normalized(kWin, "", false, 0), "");
    EXPECT_EQ(normalized(kWin, "\\\\server\\share/x", false, 0), "\\\\server/share/x");
    EXPECT_EQ(normalized(kWin, "\\\\server\\share/x", false, kPlatform), "\\\\server\\share\\x");
    EXPECT_EQ(normalized(kPosix, "/etc/x\\y/", false, 0, "/opt/"), "/etc/x/y/");
    EXPECT_EQ(normalized(kPosix, "C:/x", false, 0, "/opt/"), "/opt/C:/x");
}

TEST(NormalizePath, PlatformFormTrimmingAndTheLongPathPrefix) {
    EXPECT_EQ(normalized(kWin, "C:/Apps/cfg/", true, kPlatform | kLong), "\\\\?\\C:\\Apps\\cfg");
    EXPECT_EQ(normalized(kWin, "C:/Apps/cfg//\\", true, 0), "C:/Apps/cfg");
    EXPECT_EQ(normalized(kWin, "C:/", true, 0), "C:/");
    EXPECT_EQ(normalized(kWin, "C:\\", true, kPlatform), "C:\\");
    EXPECT_EQ(normalized(kWin, "C:\\", true, kPlatform | kLong), "\\\\?\\C:");
    EXPECT_EQ(normalized(kWin, "\\\\srv\\share\\", true, kPlatform | kLong),
              "\\\\?\\UNC\\srv\\share");
    EXPECT_EQ(normalized(kWin, "\\\\?\\C:/x", false, kPlatform | kLong), "\\\\?\\C:\\x");
    EXPECT_EQ(normalized(kWin, "\\\\?\\C:\\x", false, 0), "//?/C:/x");
    // With the prefix Windows resolves no "." or "..": they are resolved beforehand.
    EXPECT_EQ(normalized(kWin, "../cfg/./x//y/", true, kPlatform | kLong), "\\\\?\\C:\\cfg\\x\\y");
    EXPECT_EQ(normalized(kWin, "C:/../..", true, kPlatform | kLong), "\\\\?\\C:");
    EXPECT_EQ(normalized(kWin, "\\\\s\\sh\\..\\x", false, kPlatform | kLong),
              "\\\\?\\UNC\\s\\sh\\x");
    EXPECT_EQ(normalized(kWin, "../cfg", false, kPlatform), "C:\\Apps\\..\\cfg");
    EXPECT_EQ(normalized(kPosix, "/", true, kPlatform | kLong, "/opt/"), "/");
    EXPECT_EQ(normalized(kPosix, "/a/b//", true, kPlatform | kLong, "/opt/"), "/a/b");
}

TEST(FolderTokens, ExpandFullAndShortenedNamesAndRejectBadTokens) {
    ksString full;
    ksString shortened;
    ASSERT_TRUE(ksExpandFolderTokens("<MyAppData>/x", &full));
    ASSERT_TRUE(ksExpandFolderTokens("<MyApp>/x", &shortened));
    EXPECT_STREQ(full.c_str(), shortened.c_str());
    EXPECT_EQ(std::string(full.c_str()).find('<'), std::string::npos);
    ksString two;
    ASSERT_TRUE(ksExpandFolderTokens("<MyAppData>|<MyAppData>", &two));
    std::string folder(full.c_str(), full.length() - 2);
    EXPECT_EQ(std::string(two.c_str()), folder + "|" + folder);
    ksString out("unchanged");
    for (const char* bad : {"<Nope>/x", "<>/x", "a<MyAppData", "<MyAppDataX>", "<myappdata>"}) {
        EXPECT_FALSE(ksExpandFolderTokens(bad, &out)) << bad;
        EXPECT_FALSE(ksNormalizePath(bad, false, 0, nullptr, &out)) << bad;
    }
    EXPECT_STREQ(out.c_str(), "unchanged");
    ASSERT_TRUE(ksExpandFolderTokens("<My>", &out)); // the first name beginning with "My"
    EXPECT_STREQ(out.c_str(), folder.c_str());
}

TEST(FolderTokens, FollowTheXdgDirectoriesOnPosix) {
    if (kWindowsTarget)
        GTEST_SKIP() << "the shell folders of Windows are not XDG directories";
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    std::string keep = saved ? saved : "";
    setEnvironmentVariable("XDG_CONFIG_HOME", "/cfg/<MyAppData>");
    ksString out;
    ASSERT_TRUE(ksExpandFolderTokens("<MyAppData>/a", &out));
    EXPECT_STREQ(out.c_str(), "/cfg/<MyAppData>/a"); // a "<" in a folder is no token
    setEnvironmentVariable("XDG_CONFIG_HOME", saved ? keep.c_str() : nullptr);
    ASSERT_TRUE(ksExpandFolderTokens("<AllUsersVideos>", &out));
    EXPECT_STREQ(out.c_str(), "/var/lib/ksLog/Videos");
}

TEST(ExecutablePath, NamesTheRunningProgram) {
    ksString path;
    ksString directory;
    ksString name;
    ASSERT_TRUE(ksExecutablePath(&path));
    ASSERT_TRUE(ksExecutableDirectory(&directory));
    ASSERT_TRUE(ksExecutableFileName(&name));
    EXPECT_EQ(std::string(path.c_str()), std::string(directory.c_str()) + name.c_str());
    EXPECT_EQ(std::string(path.c_str()).find('\\'), std::string::npos);
    EXPECT_EQ(directory.lastChar(), '/');
    EXPECT_NE(std::string(name.c_str()).find("kslog_config_tests"), std::string::npos);
    ksString here;
    ASSERT_TRUE(ksNormalizePath(".", false, 0, nullptr, &here));
    EXPECT_STREQ(here.c_str(), directory.c_str());
}
