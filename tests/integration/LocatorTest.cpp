// "ConfigPath.ini" beside the program moves the settings files the loggers use: the read
// file to "ReadPath", the write file to "WritePath", or nowhere when that is empty.
#include <gtest/gtest.h>
#include <filesystem>
#include <set>
#include <string>
#include "AppFolder.h"
#include "support/TempDir.h"

TEST(Locator, PopulateModeWritesIntoTheWritePathSubfolder) {
    AppFolder app;
    writeFileBytes(app.file("ConfigPath.ini"), "ReadPath=conf\r\nWritePath=conf\\written\r\n");
    std::filesystem::create_directories(app.file("conf"));
    const std::string readName = "conf/" + app.readFileName();
    writeFileBytes(app.file(readName), "[options]\r\npopulate=1\r\n[Probe]\r\nLOG_TRACE=1\r\n");
    // A read file beside the program is not the one in use any more.
    writeFileBytes(app.readFile(), "[options]\r\ndate=on\r\n");
    EXPECT_EQ(app.run("logger|Probe|Info;record|3|4|trace;record|3|5|net"),
              "Probe|I TIME|TID|TRACE      trace\n"
              "Probe|I TIME|TID|NETWORK    net\n");
    const std::string writeName = "conf/written/" + app.writeFileName();
    EXPECT_EQ(app.writtenSettings(app.file(writeName)),
              "[options]\r\nmax_len_logger=1024\r\ndate=off\r\n"
              "\r\n[probe]\r\nlevel=Info\r\nlog_network=1\r\n");
    EXPECT_EQ(app.newRegularFiles(),
              (std::set<std::string>{"ConfigPath.ini", app.readFileName(), readName, writeName}));
}

TEST(Locator, AnEmptyWritePathReadsTheSettingsAndWritesNothing) {
    AppFolder app;
    writeFileBytes(app.file("ConfigPath.ini"), "[default]\r\nWritePath=\r\n");
    const std::string settings = "[options]\r\npopulate=1\r\nmax_len_logger=1100\r\n"
                                 "[Probe]\r\nLevel=Warn\r\nLOG_DATABASE=1\r\n";
    writeFileBytes(app.readFile(), settings);
    EXPECT_EQ(app.run("logger|Probe|Info;record|3|12|info;record|2|12|warn;record|2|5|net;"
                      "line|2|12|2000"),
              "refused\n"
              "Probe|W TIME|TID|DATABASE   warn\n"
              "Probe|W TIME|TID|NETWORK    net\n"
              "Probe|W TIME|TID|DATABASE   x{1098}\\n\n");
    EXPECT_EQ(readFileBytes(app.readFile()), settings);
    EXPECT_EQ(app.newFiles(), (std::set<std::string>{"ConfigPath.ini", app.readFileName()}));
}
