// Populate mode as a whole process sees it: the first logger writes the options back,
// every logger its "Level" and the switches of the modules it meets, all with their
// defaults, into the write file beside the program; found keys are never written again.
#include <gtest/gtest.h>
#include <set>
#include <string>
#include "AppFolder.h"
#include "support/TempDir.h"

TEST(Populate, LoggersWriteOptionsLevelsAndModuleSwitchesBackWithTheirDefaults) {
    AppFolder app;
    writeFileBytes(app.readFile(), "[options]\r\npopulate=1");
    // Probe reads the options; Other's numeric default 3 is written back by its name.
    EXPECT_EQ(app.run("logger|Probe|Info;logger|Other|3;record|2|5|net;record|2|4|trace;"
                      "record|2|150|unnamed;record|2|300|high;record|2|20|timer;record|2|5|again"),
              "Other|W TIME|TID|NETWORK    net\n"
              "Probe|W TIME|TID|NETWORK    net\n"
              "refused\n"
              "Other|W TIME|TID|0000000150 unnamed\n"
              "Probe|W TIME|TID|0000000150 unnamed\n"
              "Other|W TIME|TID|0000000300 high\n"
              "Probe|W TIME|TID|0000000300 high\n"
              "refused\n"
              "Other|W TIME|TID|NETWORK    again\n"
              "Probe|W TIME|TID|NETWORK    again\n");
    // Each section's keys in the order they were first missed; module 300 has no switch
    // and "populate" itself is never written.
    EXPECT_EQ(app.writtenSettings(),
              "[options]\r\nmax_len_logger=1024\r\ndate=off\r\n"
              "\r\n[probe]\r\nlevel=Info\r\nlog_network=1\r\nlog_trace=0\r\nlog_150=1\r\n"
              "log_timer=0\r\n"
              "\r\n[other]\r\nlevel=Warn\r\nlog_network=1\r\nlog_trace=0\r\nlog_150=1\r\n"
              "log_timer=0\r\n");
    EXPECT_EQ(readFileBytes(app.readFile()), "[options]\r\npopulate=1");
    EXPECT_EQ(app.newRegularFiles(),
              (std::set<std::string>{app.readFileName(), app.writeFileName()}));
}

TEST(Populate, KeysFoundInEitherFileAreNeitherWrittenNorOverridden) {
    AppFolder app;
    writeFileBytes(app.readFile(), "[Options]\r\nPopulate=1\r\ndate=off\r\n"
                                   "[PROBE]\r\nLevel=Debug\r\nLOG_NETWORK=0\r\n");
    EXPECT_EQ(app.run("logger|Probe|Off;record|4|5|net;record|4|4|trace;record|4|7|web"),
              "refused\nrefused\nProbe|D TIME|TID|HTTP       web\n");
    EXPECT_EQ(app.writtenSettings(), "[options]\r\nmax_len_logger=1024\r\n"
                                     "\r\n[probe]\r\nlog_trace=0\r\nlog_http=1\r\n");

    // Someone edits the write file: its value wins over the table's default, and a run
    // that finds every key rewrites nothing (the writer would drop the comment).
    // The default sinks' keys are there too: they read them in every run.
    const std::string edited = "; edited\r\n[options]\r\nmax_len_logger=1024\r\n"
                               "[probe]\r\nlog_trace=1\r\nlog_http=1\r\n"
                               "[file]\r\nlevel=Off\r\nfile=stderr\r\nappend=0\r\n"
                               "[kslogd]\r\nlevel=Info\r\nblocking=0\r\ntarget=%KESTLOG%\r\n";
    writeFileBytes(app.writeFile(), edited);
    EXPECT_EQ(app.run("logger|Probe|Off;record|4|5|net;record|4|4|trace;record|4|7|web"),
              "refused\nProbe|D TIME|TID|TRACE      trace\nProbe|D TIME|TID|HTTP       web\n");
    EXPECT_EQ(readFileBytes(app.writeFile()), edited);
}

TEST(Populate, APopulateValueThatIsNoNumberOrZeroLeavesTheModeOff) {
    AppFolder app;
    for (const char* value : {"yes", "0", "-1", ""}) {
        writeFileBytes(app.readFile(), std::string("[options]\r\npopulate=") + value + "\r\n");
        EXPECT_EQ(app.run("logger|Probe|Info;record|3|150|x;record|3|300|y"),
                  "refused\nProbe|I TIME|TID|0000000300 y\n")
            << value;
        EXPECT_EQ(app.newFiles(), std::set<std::string>{app.readFileName()}) << value;
    }
    // Any other number turns it on.
    writeFileBytes(app.readFile(), "[options]\r\npopulate=2\r\n");
    EXPECT_EQ(app.run("logger|Probe|Info;record|3|150|x"), "Probe|I TIME|TID|0000000150 x\n");
    EXPECT_EQ(app.writtenSettings(), "[options]\r\nmax_len_logger=1024\r\ndate=off\r\n"
                                     "\r\n[probe]\r\nlevel=Info\r\nlog_150=1\r\n");
}

TEST(Populate, TheModeIsReadAfreshAfterTermAndNeverWrittenBack) {
    AppFolder app;
    writeFileBytes(app.readFile(), "[options]\r\npopulate=1\r\n");
    writeFileBytes(app.file("plain.ini"), "[options]\r\n");
    EXPECT_EQ(app.run("logger|Probe|Info;readfile|plain.ini;term;logger|Probe|Info;"
                      "record|3|160|new"),
              "Probe|I TIME|TID|0000000160 new\n");
    // Written by the first logger only: the second found no "populate" and wrote nothing,
    // and a "populate" in the write file would shadow the read file's from then on.
    const std::string written = "[options]\r\nmax_len_logger=1024\r\ndate=off\r\n"
                                "\r\n[probe]\r\nlevel=Info\r\n";
    EXPECT_EQ(app.writtenSettings(), written);
    writeFileBytes(app.readFile(), "[options]\r\npopulate=1\r\n");
    EXPECT_EQ(app.run("logger|Probe|Info;record|3|161|again"),
              "Probe|I TIME|TID|0000000161 again\n");
    EXPECT_EQ(app.writtenSettings(), written + "log_161=1\r\n");
}
