// The logging instances the collector has heard from, their counts, and where their
// lines go: one file per instance in an output folder, or standard output.
#pragma once
#include "FileRotation.h"
#include "PendingOutput.h"
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
    std::string key; // identifier and application, as the store finds the instance
    std::string uuid;
    std::string application;
    std::string shownName; // the application as it may appear on a terminal
    std::string fileName;
    InstanceCounts counts;
    std::FILE* file = nullptr;
    std::uint64_t fileSize = 0; // bytes in the open file, for size rotation
    std::uint64_t lastUse = 0;
    std::uint64_t openConnections = 0;
    bool openFailureReported = false;
    bool writeFailureReported = false;
    PendingOutput pending; // for the file; lines for standard output wait in the store
};

// The instances forgotten to make room for new ones, counted together for the summary.
struct ForgottenInstances {
    std::uint64_t instances = 0;
    InstanceCounts counts;
};

// An instance for a header, or why there is none.
struct AttachResult {
    Instance* instance = nullptr;
    const char* refusal = nullptr;
};

struct OutputSettings {
    std::string folder; // empty: standard output, each line tagged with the application
    bool json = false;
    bool terminal = false; // standard output is a terminal: control characters escaped
    std::size_t maxOpenFiles = 64;
    std::size_t maxInstances = 65536;
    RotationLimits rotation;
};

class InstanceStore {
  public:
    InstanceStore(const OutputSettings& settings, std::FILE* standardOutput);
    ~InstanceStore();
    InstanceStore(const InstanceStore&) = delete;
    InstanceStore& operator=(const InstanceStore&) = delete;

    // The instance a header names, created on first sight, for one more open connection.
    // Counts the connection and the header's lost records. When the store is full, the
    // instances without an open connection are forgotten first.
    AttachResult attach(const StreamHeader& header);
    // One connection of the instance has ended.
    void detach(Instance& instance);
    // Lines wait in memory until the instance's flush, or until enough have gathered;
    // a line that could not be stored is counted in droppedLines, and the first failing
    // write of each destination says why on standard error.
    void writePiece(Instance& instance, const LinePiece& piece);
    // Pushes what was written for the instance out of the buffers.
    void flush(Instance& instance);
    void flushAll();
    // Closes every output file; each is opened again, under its name, at its next line
    // (after a log rotation renamed it, a new file).
    void closeFiles();

    const std::vector<std::unique_ptr<Instance>>& instances() const { return instances_; }
    const ForgottenInstances& forgotten() const { return forgotten_; }
    std::uint64_t droppedLines() const { return droppedLines_; }

  private:
    Instance* create(const StreamHeader& header, std::string key);
    void forgetIdleInstances();
    std::FILE* outputOf(Instance& instance);
    std::FILE* rotatedIfFull(Instance& instance, const LinePiece& piece, std::FILE* output);
    void closeFile(Instance& instance);
    void writePending(Instance& instance);
    void writeOut(PendingOutput& pending, std::FILE* stream, const std::string& name,
                  bool& failureReported);
    void closeLeastRecentlyUsed();
    void appendText(const Instance& instance, const LinePiece& piece);
    void formatJson(const Instance& instance, const LinePiece& piece);

    OutputSettings settings_;
    std::FILE* standardOutput_;
    std::vector<std::unique_ptr<Instance>> instances_;
    std::unordered_map<std::string, Instance*> byKey_;
    std::vector<Instance*> openFiles_;
    ForgottenInstances forgotten_;
    std::uint64_t useClock_ = 0;
    std::int64_t lastRotation_ = 0; // the stamp of the latest rotated name
    std::uint64_t droppedLines_ = 0;
    std::string scratch_;
    PendingOutput standardPending_;
    bool standardFailureReported_ = false;
};
