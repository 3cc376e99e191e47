// The logging instances the collector has heard from, their counts, and where their
// lines go: one file per instance in an output folder, or standard output.
#pragma once
#include "StreamParser.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct InstanceCounts {
    std::uint64_t connections = 0;
    std::uint64_t bytes = 0; // everything received on the instance's connections
    std::uint64_t lines = 0; // record lines
    std::uint64_t lost = 0;  // records the instance reported lost
};

struct Instance {
    std::string uuid;
    std::string application;
    std::string shownName; // the application as it may appear on a terminal
    std::string fileName;
    InstanceCounts counts;
    std::FILE* file = nullptr;
    std::uint64_t lastUse = 0;
    bool openFailureReported = false;
};

struct OutputSettings {
    std::string folder; // empty: standard output, each line tagged with the application
    bool json = false;
    std::size_t maxOpenFiles = 64;
    std::size_t maxInstances = 65536;
};

class InstanceStore {
  public:
    InstanceStore(const OutputSettings& settings, std::FILE* standardOutput);
    ~InstanceStore();
    InstanceStore(const InstanceStore&) = delete;
    InstanceStore& operator=(const InstanceStore&) = delete;

    // The instance a header names, created on first sight; null when the store is full.
    // Counts the connection and the header's lost records.
    Instance* attach(const StreamHeader& header);
    void writePiece(Instance& instance, const LinePiece& piece);
    // Pushes what was written for the instance out of the buffers.
    void flush(Instance& instance);
    void flushAll();

    const std::vector<std::unique_ptr<Instance>>& instances() const { return instances_; }
    std::uint64_t droppedLines() const { return droppedLines_; }

  private:
    std::FILE* outputOf(Instance& instance);
    void closeLeastRecentlyUsed();
    void formatJson(const Instance& instance, const LinePiece& piece);

    OutputSettings settings_;
    std::FILE* standardOutput_;
    std::vector<std::unique_ptr<Instance>> instances_;
    std::unordered_map<std::string, Instance*> byKey_;
    std::vector<Instance*> openFiles_;
    std::uint64_t useClock_ = 0;
    std::uint64_t droppedLines_ = 0;
    std::string scratch_;
};
