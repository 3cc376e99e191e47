// ksLog_SettingsFiles: the texts' room, and that asking does not start the library.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "config/Settings.h"
#include "core/Library.h"
#include "support/Child.h"

KSLOG_CHILD(settingsFilesWithoutStarting) {
    ksLogSettingsFiles files{};
    const uint32_t needed = ksLog_SettingsFiles(&files, nullptr, 0);
    std::string room(needed - 1, '#');
    // One byte short: nothing is filled in or written.
    if (ksLog_SettingsFiles(&files, room.data(), needed - 1) != needed || files.application ||
        room != std::string(needed - 1, '#'))
        return 1;
    room.assign(needed, '#');
    if (ksLog_SettingsFiles(&files, room.data(), needed) != needed)
        return 2;
    if (std::strcmp(files.application, applicationName()) != 0 ||
        files.locatorState != KSLOG_LOCATOR_ABSENT)
        return 3;
    const std::string locator = files.locator;
    if (locator.size() < 14 || locator.substr(locator.size() - 14) != "ConfigPath.ini")
        return 4;
    const std::string readName = std::string("ksLog.") + applicationName() + ".ini";
    if (std::string(files.readFile).find(readName) == std::string::npos ||
        std::string(files.writeFile).find("_" + readName) == std::string::npos)
        return 5;
    return ksLibrary.initStarted.load() == 0 ? 0 : 6;
}

TEST(SettingsFiles, FillsOnlyWhenTheTextsFitAndLeavesTheLibraryUnstarted) {
    ChildResult result = runChild("settingsFilesWithoutStarting");
    EXPECT_EQ(result.exitCode, 0) << result.output;
}
