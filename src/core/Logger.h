// ksLogger: the base of every sink, and the narrow interface through which the core
// hands a sink a record. The core decides once, when a record begins, which sinks take
// it: each sink whose threshold is above the record's level and whose switch for its
// module is on is asked through begin. When the record ends, each sink that took it
// receives the whole of it in one contiguous span through deliver: the line prefix and
// the text for a sink that starts a line, the text alone otherwise. The span belongs to
// the core and is valid only during the call.
//
// The base keeps what every sink has: its settings section and accessors, its threshold,
// its per-module switches and its link in the registry.
#pragma once
#include <cstddef>
#include <cstdint>
#include "foundation/String.h"
#include "ksLog.h"

// A sink's answer to begin.
enum class ksSinkStart {
    refused, // takes nothing of this record
    text,    // takes the record's text alone: it continues a line, or has no prefix
    line,    // takes the record on a new line: the line prefix, then the text
};

class ksLogger {
  public:
    // Flag bits.
    static constexpr uint32_t noConfig = 1; // every settings lookup yields its default

    // name is the logger's settings section; it is stored, not copied.
    ksLogger(const char* name, bool registerIt);
    virtual ~ksLogger();
    ksLogger(const ksLogger&) = delete;
    ksLogger& operator=(const ksLogger&) = delete;
    // Loggers come from the checked allocator: no exception can leave a constructor call.
    static void* operator new(size_t size);
    static void operator delete(void* block);

    // Looked up once per module and cached for the logger's life.
    bool isModuleEnabled(uint16_t module) {
        if (module >= 256)
            return true; // no switch key
        uint8_t known = moduleSwitches_[module];
        return known & 2 ? (known & 1) != 0 : lookUpModuleSwitch(module);
    }
    // May send opening bytes of the sink's own (a connection's header, a log's first
    // line, a lost report) before it answers.
    virtual ksSinkStart begin(ksLogRecord* record) = 0;
    // The record as one span: bytes[count - 1] is its last byte (count may be 0).
    virtual void deliver(ksLogRecord* record, const char* bytes, uint64_t count) = 0;

    void setThreshold(uint16_t t);
    void setFlags(uint32_t bits) { flags_ |= bits; }

    ksString getSetting(const char* key, const char* section, const char* defaultValue);
    ksString getOwnSetting(const char* key, const char* defaultValue);
    int32_t getIntSetting(const char* key, const char* section, int32_t defaultValue);
    int32_t getOwnIntSetting(const char* key, int32_t defaultValue);

    const char* name() const { return name_; }
    uint16_t threshold() const { return threshold_; }
    uint32_t flags() const { return flags_; }
    // The registry's link.
    ksLogger* next() const { return next_; }
    ksLogger*& nextLink() { return next_; }
    void setNext(ksLogger* next) { next_ = next; }

  private:
    bool lookUpModuleSwitch(uint16_t module);

    const char* name_;
    uint16_t threshold_ = 0;
    ksLogger* next_ = nullptr;
    uint32_t flags_ = 0;
    // Per module below 256: 0 not looked up yet, 2 off, 3 on (bit 1 known, bit 0 on).
    uint8_t moduleSwitches_[256];
};
