// A logger for tests: it keeps every piece handed to its write and counts its phases.
#pragma once
#include <set>
#include <string>
#include <vector>
#include "core/Logger.h"

class CaptureLogger : public ksLogger {
  public:
    // Registered at once; destroyed by the registry (ksLog_Term in the fixture).
    explicit CaptureLogger(uint16_t threshold, bool beginResult = true, bool prefix = false)
        : ksLogger("Capture", true), beginResult_(beginResult), prefix_(prefix) {
        setThreshold(threshold);
    }

    bool isModuleEnabled(uint16_t module) override {
        if (!onlyModules.empty())
            return onlyModules.count(module) != 0;
        return ksLogger::isModuleEnabled(module);
    }
    bool begin(ksLogRecord* record) override {
        log.push_back("begin");
        if (prefix_)
            writePrefix(record);
        return beginResult_;
    }
    void write(ksLogRecord*, const char* bytes, uint64_t count) override {
        pieces.emplace_back(bytes, count);
        text.append(bytes, count);
    }
    void end(ksLogRecord*) override { log.push_back("end"); }

    std::set<uint16_t> onlyModules; // when not empty, the modules switched on
    std::vector<std::string> pieces;
    std::string text;
    std::vector<std::string> log; // "begin" and "end" in the order they came

  private:
    bool beginResult_;
    bool prefix_;
};

// Records the order in which loggers are visited.
inline std::vector<std::string>& visitOrder() {
    static std::vector<std::string> order;
    return order;
}

class NamedLogger : public CaptureLogger {
  public:
    NamedLogger(const char* tag, uint16_t threshold) : CaptureLogger(threshold), tag_(tag) {}
    bool begin(ksLogRecord* record) override {
        visitOrder().push_back(std::string(tag_) + ":begin");
        return CaptureLogger::begin(record);
    }
    void write(ksLogRecord* record, const char* bytes, uint64_t count) override {
        visitOrder().push_back(std::string(tag_) + ":write");
        CaptureLogger::write(record, bytes, count);
    }
    void end(ksLogRecord* record) override {
        visitOrder().push_back(std::string(tag_) + ":end");
        CaptureLogger::end(record);
    }

  private:
    const char* tag_;
};
