// A scenario of settings lookups: a fresh directory holding a copy of the test program,
// whose children see that directory as the executable's directory.
#pragma once
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>
#include "support/Child.h"
#include "support/Target.h"
#include "support/TempDir.h"

inline std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, separator))
        parts.push_back(part);
    return parts;
}

struct GuardedRun {
    int exitCode;
    std::string output;
    std::string errors; // the child's standard error stream
};

// One directory with a copy of the test program; lookups run in a child of the copy.
class Scenario {
  public:
    Scenario() : program_(copyTestProgram(dir_.path())) {
        name_ = std::filesystem::path(program_).filename().string();
        before_ = files();
    }
    std::string file(const std::string& name) const { return dir_.file(name); }
    const std::string& app() const { return name_; }
    std::string readFile() const { return file("ksLog." + name_ + ".ini"); }
    std::string writeFile() const { return file("_ksLog." + name_ + ".ini"); }

    // Lookups "i|section|key|default|populate|readFiles" or "s|...", separated by ";";
    // a section "-" is none. The output holds one value per line, strings in brackets.
    std::string run(const std::string& lookups) const {
        return runChild("settingsLookups", {{"KSLOG_TEST_LOOKUPS", lookups}}, program_).output;
    }
    // The same, with the standard error stream kept apart, in a child that the system's
    // time-out command ends after a minute where there is one: a lookup that waits for
    // ever fails the test instead of holding it.
    GuardedRun runGuarded(const std::string& lookups) const {
        setEnvironmentVariable("KSLOG_TEST_LOOKUPS", lookups.c_str());
        const std::string arguments = "--kslog-child settingsLookups 2>\"" + errorsFile() + "\"";
        ChildResult result = kWindowsTarget
                                 ? runProgram(program_, arguments)
                                 : runProgram("timeout", "60 \"" + program_ + "\" " + arguments);
        setEnvironmentVariable("KSLOG_TEST_LOOKUPS", nullptr);
        std::string errors = readFileBytes(errorsFile());
        for (size_t at; (at = errors.find("\r\n")) != std::string::npos;)
            errors.erase(at, 1);
        return {result.exitCode, result.output, errors};
    }

    // Files (relative names) that appeared since the program was copied.
    std::set<std::string> newFiles() const {
        std::set<std::string> now = files();
        std::set<std::string> added;
        for (const std::string& name : now) {
            if (!before_.count(name))
                added.insert(name);
        }
        return added;
    }

    // The same, regular files only.
    std::set<std::string> newRegularFiles() const {
        std::set<std::string> added;
        for (const std::string& name : newFiles()) {
            if (std::filesystem::is_regular_file(file(name)))
                added.insert(name);
        }
        return added;
    }

  private:
    std::string errorsFile() const { return errorsDir_.file("errors.txt"); }

    std::set<std::string> files() const {
        std::set<std::string> names;
        std::error_code ec;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_.path(), ec))
            names.insert(std::filesystem::relative(entry.path(), dir_.path()).generic_string());
        return names;
    }

    TempDir dir_;
    TempDir errorsDir_; // apart, so that the scenario's folder holds only what lookups made
    std::string program_;
    std::string name_;
    std::set<std::string> before_;
};
