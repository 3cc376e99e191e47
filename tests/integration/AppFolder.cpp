// The child side of the application-folder scenarios: a probe logger that reads its
// settings like a sink, and the interpreter of the logging steps.
#include "AppFolder.h"
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>
#include "config/Settings.h"
#include "core/Level.h"
#include "core/Logger.h"
#include "ksLog.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// Lines printed by the scenario's loggers for the record being written.
int deliveries = 0;

// Printable text as it is, control characters escaped, long runs of one character
// shortened so that a cut record of thousands of bytes stays readable.
std::string escaped(const std::string& text) {
    std::string out;
    for (size_t at = 0; at < text.size();) {
        size_t run = 1;
        while (at + run < text.size() && text[at + run] == text[at])
            ++run;
        unsigned char c = static_cast<unsigned char>(text[at]);
        std::string one;
        if (c == '\n')
            one = "\\n";
        else if (c == '\\')
            one = "\\\\";
        else if (c < 32 || c == 127) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            one = hex;
        } else
            one = std::string(1, static_cast<char>(c));
        if (run >= 8) {
            out += one + "{" + std::to_string(run) + "}";
        } else {
            for (size_t i = 0; i < run; ++i)
                out += one;
        }
        at += run;
    }
    return out;
}

// A logger as a sink would be: it reads its "Level" when constructed, starts each record
// on a line of its own, and prints the line it receives.
class ProbeLogger : public ksLogger {
  public:
    ProbeLogger(const char* section, const char* levelText) : ksLogger(section, true) {
        setThreshold(parseLevel(this, levelText));
    }
    ksSinkStart begin(ksLogRecord*) override { return ksSinkStart::line; }
    void deliver(ksLogRecord*, const char* bytes, uint64_t count) override {
        std::printf("%s|%s\n", name(), escaped(std::string(bytes, count)).c_str());
        ++deliveries;
    }
};

void printDelivered(void*, ksLogRecord*, const char* text, uint64_t length) {
    std::printf("Func|%s\n", escaped(std::string(text ? text : "", text ? length : 0)).c_str());
    ++deliveries;
}

// Section names must outlive their loggers.
const char* keptName(const std::string& name) {
    static std::deque<std::string> names;
    names.push_back(name);
    return names.back().c_str();
}

void writeRecord(const std::string& level, const std::string& module, const char* format,
                 const std::string& text) {
    deliveries = 0;
    ksLogRecord* record = ksLog_Begin(static_cast<uint16_t>(std::stoul(level)),
                                      static_cast<uint16_t>(std::stoul(module)));
    if (record) {
        ksLog_Append_F(format, text.c_str());
        ksLog_End(record);
    }
    if (deliveries == 0)
        std::printf("refused\n");
}

// The executable's directory: the test program was started through its copy's path.
fs::path programFolder() {
    return fs::path(testProgramPath()).parent_path();
}

bool runStep(const std::vector<std::string>& f) {
    if (f[0] == "logger" && f.size() == 3) {
        new ProbeLogger(keptName(f[1]), f[2].c_str()); // owned by the registry
    } else if (f[0] == "func" && f.size() == 1) {
        ksLog_SetLogFunc(0xFFFF, printDelivered, nullptr);
    } else if (f[0] == "record" && f.size() == 4) {
        writeRecord(f[1], f[2], "%s", f[3]);
    } else if ((f[0] == "line" || f[0] == "text") && f.size() == 4) {
        writeRecord(f[1], f[2], f[0] == "line" ? "%s\n" : "%s", std::string(std::stoul(f[3]), 'x'));
    } else if (f[0] == "readfile" && f.size() == 2) {
        // Bytes copied by hand: the Windows runtime's copy refuses to overwrite a file.
        fs::path folder = programFolder();
        std::string readFile =
            (folder / (std::string("ksLog.") + applicationName() + ".ini")).string();
        return fileExists((folder / f[1]).string()) &&
               writeFileBytes(readFile, readFileBytes((folder / f[1]).string()));
    } else if (f[0] == "term" && f.size() == 1) {
        ksLog_Term();
    } else {
        return false;
    }
    return true;
}

} // namespace

int runStepsFromEnvironment(bool (*runOne)(const std::vector<std::string>& fields)) {
    const char* steps = std::getenv("KSLOG_TEST_STEPS");
    for (const std::string& step : split(steps ? steps : "", ';')) {
        if (!runOne(split(step, '|'))) {
            std::printf("bad step: %s\n", step.c_str());
            return 3;
        }
    }
    ksLog_Term();
    return 0;
}

KSLOG_CHILD(loggingSteps) {
    return runStepsFromEnvironment(runStep);
}

std::string withoutTimes(const std::string& text) {
    static const std::regex prefixTimes("([EWID]) ([0-9]{2}/[0-9]{2}/[0-9]{4} "
                                        ")?[0-9]{2}:[0-9]{2}:[0-9]{2}:[0-9]{3}\\|[0-9a-f]{8}\\|");
    std::string out;
    std::sregex_iterator end;
    size_t copied = 0;
    for (std::sregex_iterator m(text.begin(), text.end(), prefixTimes); m != end; ++m) {
        out.append(text, copied, static_cast<size_t>(m->position()) - copied);
        out += (*m)[1].str() + " " + ((*m)[2].matched ? "DATE " : "") + "TIME|TID|";
        copied = static_cast<size_t>(m->position() + m->length());
    }
    out.append(text, copied, std::string::npos);
    return out;
}

std::string AppFolder::writtenSettings(const std::string& path) const {
    // Sections are written as "[name]" lines, each after the first preceded by a blank line.
    const std::string bytes = readFileBytes(path.empty() ? writeFile() : path);
    const std::string separator = "\r\n\r\n[";
    std::vector<std::string> sections;
    size_t start = 0;
    for (size_t at; (at = bytes.find(separator, start)) != std::string::npos;) {
        sections.push_back(bytes.substr(start, at + 4 - start));
        start = at + 4;
    }
    sections.push_back(bytes.substr(start));
    std::string kept;
    for (const std::string& section : sections) {
        if (section.rfind("[file]\r\n", 0) != 0 && section.rfind("[kslogd]\r\n", 0) != 0)
            kept += section;
    }
    if (kept.size() >= 4 && kept.compare(kept.size() - 4, 4, "\r\n\r\n") == 0)
        kept.resize(kept.size() - 2); // the dropped last section's separating blank line
    return kept;
}

std::string AppFolder::runRaw(const std::string& steps) const {
    ChildResult result = runChild("loggingSteps", {{"KSLOG_TEST_STEPS", steps}}, file(app()));
    EXPECT_EQ(result.exitCode, 0) << steps << "\n" << result.output;
    return result.output;
}

std::string AppFolder::run(const std::string& steps) const {
    return withoutTimes(runRaw(steps));
}
