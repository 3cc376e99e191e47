// Thresholds from level texts and the module table.
#include <gtest/gtest.h>
#include <cstring>
#include <set>
#include "core/Level.h"
#include "core/Logger.h"
#include "core/Options.h"
#include "core/Modules.h"

namespace {

// A logger outside the registry; without settings files every lookup yields its default.
struct UnregisteredLogger : ksLogger {
    UnregisteredLogger() : ksLogger("Level", false) {}
    ksSinkStart begin(ksLogRecord*) override { return ksSinkStart::refused; }
    void deliver(ksLogRecord*, const char*, uint64_t) override {}
};

} // namespace

TEST(ParseLevel, NamesInAnyCase) {
    UnregisteredLogger logger;
    EXPECT_EQ(parseLevel(&logger, "INFO"), 4);
    EXPECT_EQ(parseLevel(&logger, "Info"), 4);
    EXPECT_EQ(parseLevel(&logger, "info"), 4);
    EXPECT_EQ(parseLevel(&logger, "Warning"), 3);
    EXPECT_EQ(parseLevel(&logger, "warn"), 3);
    EXPECT_EQ(parseLevel(&logger, "Error"), 2);
    EXPECT_EQ(parseLevel(&logger, "DEBUG"), 0xFFFF);
    EXPECT_EQ(parseLevel(&logger, "All"), 0xFFFF);
    EXPECT_EQ(parseLevel(&logger, "Off"), 0);
}

TEST(ParseLevel, NumbersAndRubbish) {
    UnregisteredLogger logger;
    EXPECT_EQ(parseLevel(&logger, "5"), 5);
    EXPECT_EQ(parseLevel(&logger, " +7"), 7);
    EXPECT_EQ(parseLevel(&logger, "3"), 3); // named "Warn" first
    EXPECT_EQ(parseLevel(&logger, "1"), 0); // named "Off"
    EXPECT_EQ(parseLevel(&logger, "65535"), 0xFFFF);
    EXPECT_EQ(parseLevel(&logger, "70000"), 0xFFFF); // above 0xFFFF: "All"
    EXPECT_EQ(parseLevel(&logger, "2x"), 0);
    EXPECT_EQ(parseLevel(&logger, "verbose"), 0);
    EXPECT_EQ(parseLevel(&logger, ""), 0);
    EXPECT_EQ(parseLevel(&logger, nullptr), 0);
    EXPECT_EQ(parseLevel(&logger, "99999999999"), 0); // overflows 32 bits: not a number
}

TEST(Options, SharedBufferSizeIsClamped) {
    EXPECT_EQ(sharedBufferSize(10), 1024);
    EXPECT_EQ(sharedBufferSize(-1), 1024);
    EXPECT_EQ(sharedBufferSize(1024), 1024);
    EXPECT_EQ(sharedBufferSize(4096), 4096);
    EXPECT_EQ(sharedBufferSize(104857600), 104857600);
    EXPECT_EQ(sharedBufferSize(2000000000), 104857600);
}

TEST(Modules, TableHasTheFixedIdentifiersAndDefaults) {
    const std::set<int> offByDefault = {4, 20, 22, 53, 54, 55, 56};
    int named = 0;
    for (int id = 0; id < 65536; ++id) {
        int32_t flag = 77;
        const char* name = moduleName(static_cast<uint16_t>(id), &flag);
        bool listed = id <= 122 || id == 200;
        ASSERT_EQ(name != nullptr, listed) << id;
        if (!name) {
            EXPECT_EQ(flag, 77) << id; // untouched without an entry
            continue;
        }
        ++named;
        EXPECT_EQ(flag, offByDefault.count(id) ? 0 : 1) << id;
        size_t length = std::strlen(name);
        EXPECT_GT(length, 0u);
        EXPECT_LE(length, 17u) << name;
        for (size_t i = 0; i < length; ++i) {
            char c = name[i];
            EXPECT_TRUE((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_') << name;
        }
    }
    EXPECT_EQ(named, 124);
}

TEST(Modules, SwitchesWithoutPopulateModeAreOffBelow256) {
    ksOptions.populateDefaults = 0;
    UnregisteredLogger logger;
    EXPECT_FALSE(logger.isModuleEnabled(4));
    EXPECT_FALSE(logger.isModuleEnabled(5));
    EXPECT_FALSE(logger.isModuleEnabled(150));
    EXPECT_FALSE(logger.isModuleEnabled(255));
    EXPECT_TRUE(logger.isModuleEnabled(256));
    EXPECT_TRUE(logger.isModuleEnabled(300));
    // Cached for the logger's life: populate mode seen later changes nothing for it.
    ksOptions.populateDefaults = 1;
    EXPECT_FALSE(logger.isModuleEnabled(5));
    ksOptions.populateDefaults = 0;
}

TEST(Modules, SwitchesOncePopulateModeWasSeenFollowTheTable) {
    ksOptions.populateDefaults = 1;
    UnregisteredLogger logger;
    EXPECT_FALSE(logger.isModuleEnabled(4));
    EXPECT_TRUE(logger.isModuleEnabled(5));
    EXPECT_TRUE(logger.isModuleEnabled(150)); // no entry: on
    EXPECT_TRUE(logger.isModuleEnabled(200));
    EXPECT_FALSE(logger.isModuleEnabled(56));
    ksOptions.populateDefaults = 0;
}
