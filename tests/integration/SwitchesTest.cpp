// Without populate mode: levels and module switches come from the read file alone, each
// logger from its own section, and the library writes no file at all.
#include <gtest/gtest.h>
#include <set>
#include <string>
#include "AppFolder.h"
#include "support/TempDir.h"

TEST(Switches, OnlyAPositiveValueInTheLoggersOwnSectionTurnsAModuleOn) {
    AppFolder app;
    const std::string settings = "[probe]\r\nLevel=warning\r\nLOG_NETWORK=1\r\nLOG_TRACE=1\r\n"
                                 "LOG_SOCKET=2\r\nLOG_HTTP=0\r\nLOG_DNS=-1\r\nLOG_PROXY=yes\r\n"
                                 "LOG_150=1\r\n"
                                 "[Other]\r\nLevel=all\r\nLOG_DATABASE=1\r\n";
    writeFileBytes(app.readFile(), settings);
    // Network, trace (off by default in the table) and socket are on for Probe; HTTP,
    // DNS (-1 counts as missing), proxy (no number), config (missing, on in the table)
    // and 151 are off; database is Other's alone.
    EXPECT_EQ(app.run("logger|Probe|Off;logger|Other|Off;"
                      "record|2|5|a;record|2|4|b;record|2|6|c;record|2|7|d;record|2|10|e;"
                      "record|2|11|f;record|2|3|g;record|2|150|h;record|2|151|i;record|2|12|j"),
              "Probe|W TIME|TID|NETWORK    a\n"
              "Probe|W TIME|TID|TRACE      b\n"
              "Probe|W TIME|TID|SOCKET     c\n"
              "refused\nrefused\nrefused\nrefused\n"
              "Probe|W TIME|TID|0000000150 h\n"
              "refused\n"
              "Other|W TIME|TID|DATABASE   j\n");
    // Probe's "warning" admits errors and warnings only; Other's "all" everything.
    EXPECT_EQ(app.run("logger|Probe|Off;logger|Other|Off;record|3|5|info;record|1|5|error"),
              "refused\nProbe|E TIME|TID|NETWORK    error\n");
    EXPECT_EQ(app.run("logger|Probe|Off;logger|Other|Off;record|4|12|debug"),
              "Other|D TIME|TID|DATABASE   debug\n");
    EXPECT_EQ(readFileBytes(app.readFile()), settings);
    EXPECT_EQ(app.newFiles(), std::set<std::string>{app.readFileName()});
}

TEST(Switches, WithoutAnyFileOnlyModulesFrom256AreOnAndNothingIsCreated) {
    AppFolder app;
    EXPECT_EQ(app.run("logger|Probe|All;record|3|0|a;record|3|5|b;record|3|200|c;"
                      "record|3|255|d;record|3|256|e;record|3|65535|f;record|65534|300|g"),
              "refused\nrefused\nrefused\nrefused\n"
              "Probe|I TIME|TID|0000000256 e\n"
              "Probe|I TIME|TID|0000065535 f\n"
              "Probe|D TIME|TID|0000000300 g\n");
    // The default level text applies: "Info" refuses debug records.
    EXPECT_EQ(app.run("logger|Probe|Info;record|4|300|debug;record|3|300|info"),
              "refused\nProbe|I TIME|TID|0000000300 info\n");
    EXPECT_TRUE(app.newFiles().empty());
}
