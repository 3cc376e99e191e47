// A logger for tests: it keeps the bytes delivered to it and logs its phases.
#pragma once
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

    ksSinkStart begin(ksLogRecord*) override {
        log.push_back("begin");
        if (!beginResult_)
            return ksSinkStart::refused;
        return prefix_ ? ksSinkStart::line : ksSinkStart::text;
    }
    void deliver(ksLogRecord*, const char* bytes, uint64_t count) override {
        log.push_back("deliver");
        text.append(bytes, count);
    }

    std::string text;
    std::vector<std::string> log; // "begin" and "deliver" in the order they came

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
    ksSinkStart begin(ksLogRecord* record) override {
        visitOrder().push_back(std::string(tag_) + ":begin");
        return CaptureLogger::begin(record);
    }
    void deliver(ksLogRecord* record, const char* bytes, uint64_t count) override {
        visitOrder().push_back(std::string(tag_) + ":deliver");
        CaptureLogger::deliver(record, bytes, count);
    }

  private:
    const char* tag_;
};
