// The callback sink reads no settings of its own: its module switches are the defaults
// alone, whatever its section says, and it writes nothing back in populate mode. As the
// first logger of the process it still reads the process-wide options, as every first
// logger does.
#include <gtest/gtest.h>
#include <set>
#include <string>
#include "AppFolder.h"
#include "support/TempDir.h"

TEST(Callback, InPopulateModeItsSwitchesFollowTheTableAndNothingIsWritten) {
    AppFolder app;
    // Every option is present, so the only keys populate mode could write are its own.
    writeFileBytes(app.readFile(), "[options]\r\npopulate=1\r\nmax_len_logger=1024\r\ndate=off\r\n"
                                   "[Func]\r\nLevel=Off\r\nLOG_NETWORK=0\r\nLOG_TRACE=1\r\n");
    EXPECT_EQ(app.run("func;record|3|5|net;record|3|4|trace;record|3|150|unnamed;"
                      "record|3|20|timer;record|3|300|high;record|4|12|db"),
              "Func|net\nrefused\nFunc|unnamed\nrefused\nFunc|high\nFunc|db\n");
    // Only the default sinks, which do read settings, may have written their keys.
    EXPECT_EQ(app.writtenSettings(), "");
}

TEST(Callback, AsTheFirstLoggerItWritesOnlyTheMissingOptions) {
    AppFolder app;
    writeFileBytes(app.readFile(), "[options]\r\npopulate=1\r\n");
    EXPECT_EQ(app.run("func;record|3|5|net;record|3|4|trace;line|3|7|1500"),
              "Func|net\nrefused\nFunc|x{1022}\\n\n");
    EXPECT_EQ(app.writtenSettings(), "[options]\r\nmax_len_logger=1024\r\ndate=off\r\n");
}

TEST(Callback, WithoutPopulateModeOnlyModulesFrom256Arrive) {
    AppFolder app;
    writeFileBytes(app.readFile(), "[Func]\r\nLOG_NETWORK=1\r\nLOG_150=1\r\n");
    EXPECT_EQ(app.run("func;record|3|5|net;record|3|150|unnamed;record|3|256|low;"
                      "record|1|65535|top"),
              "refused\nrefused\nFunc|low\nFunc|top\n");
    EXPECT_EQ(app.newFiles(), std::set<std::string>{app.readFileName()});
}
