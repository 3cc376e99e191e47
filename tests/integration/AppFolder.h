// An application folder for process-level scenarios: a fresh directory holding a copy of
// the test program, whose child sees that directory as the executable's directory and
// runs a list of logging steps against the library.
//
// Steps are separated by ";", their fields by "|":
//   logger|<section>|<level default>   a probe logger registered with the core; it writes
//                                      the line prefix and reads its "Level" like a sink
//   func                               ksLog_SetLogFunc at 0xFFFF with a printing function
//   record|<level>|<module>|<text>     one record whose text is appended through "%s"
//   line|<level>|<module>|<count>      one record of count 'x' appended through "%s\n"
//   text|<level>|<module>|<count>      the same without the newline
//   readfile|<name>                    copies the file name of the folder over the read file
//   term                               ksLog_Term
// Each logger prints "<section>|<text>" at the end of every record it takes part in
// ("Func|<text>" for the callback sink); a record that none of them took prints
// "refused". Control characters print escaped, a run of 8 or more equal characters as
// "c{count}".
#pragma once
#include <set>
#include <string>
#include <vector>
#include "config/Scenario.h"
#include "support/Child.h"

class AppFolder : public Scenario {
  public:
    // The child's output with each line prefix's time and thread id replaced by "TIME"
    // and "TID" (and a date by "DATE "); a failing child is reported as a test failure.
    std::string run(const std::string& steps) const;
    // The same output as the child printed it.
    std::string runRaw(const std::string& steps) const;

    // The write file's bytes without the sections of the library's own file and daemon
    // sinks, which the initialisation creates beside the loggers a scenario builds.
    // path names another write file (the default is the one beside the program).
    std::string writtenSettings(const std::string& path = {}) const;

    std::string readFileName() const { return "ksLog." + app() + ".ini"; }
    std::string writeFileName() const { return "_ksLog." + app() + ".ini"; }
};

// In a child: runs each step of KSLOG_TEST_STEPS (";" between steps, "|" between fields)
// through runOne, then ksLog_Term. 0, or 3 after the first step runOne does not know.
int runStepsFromEnvironment(bool (*runOne)(const std::vector<std::string>& fields));

// Replaces the time and thread parts of every line prefix in text by placeholders.
std::string withoutTimes(const std::string& text);
