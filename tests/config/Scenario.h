// A scenario of settings lookups: a fresh directory holding a copy of the test program,
// whose children see that directory as the executable's directory.
#pragma once
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>
#include "support/Child.h"
#include "support/TempDir.h"

inline std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, separator))
        parts.push_back(part);
    return parts;
}

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
    std::set<std::string> files() const {
        std::set<std::string> names;
        std::error_code ec;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_.path(), ec))
            names.insert(std::filesystem::relative(entry.path(), dir_.path()).generic_string());
        return names;
    }

    TempDir dir_;
    std::string program_;
    std::string name_;
    std::set<std::string> before_;
};
