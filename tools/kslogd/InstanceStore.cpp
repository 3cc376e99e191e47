// Instances and their output. Files are opened for appending, so that a reconnection
// of the same instance (same application and identifier) continues its file, and only
// a bounded number stay open at once, so that many instances cannot exhaust the
// collector's file descriptors.
#include "InstanceStore.h"

#include "FileName.h"
#include "JsonText.h"
#include "OutputFile.h"
#include "RecordFields.h"
#include "Saturating.h"
#include "TerminalText.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Enough to make one write out of many lines, small enough to bound what a slow reader holds.
constexpr std::size_t kPendingLimit = 64 * 1024;

void addCounts(InstanceCounts& total, const InstanceCounts& more) {
    addSaturating(total.connections, more.connections);
    addSaturating(total.bytes, more.bytes);
    addSaturating(total.lines, more.lines);
    addSaturating(total.lost, more.lost);
}

} // namespace

InstanceStore::InstanceStore(const OutputSettings& settings, std::FILE* standardOutput)
    : settings_(settings), standardOutput_(standardOutput) {
    if (settings_.maxOpenFiles == 0)
        settings_.maxOpenFiles = 1;
}

InstanceStore::~InstanceStore() {
    flushAll();
    for (Instance* instance : openFiles_)
        std::fclose(instance->file);
}

AttachResult InstanceStore::attach(const StreamHeader& header) {
    std::string key = header.uuid;
    key += '\n'; // cannot occur inside either part, so keys never collide
    key += header.application;
    auto found = byKey_.find(key);
    Instance* instance = found == byKey_.end() ? nullptr : found->second;
    if (!instance) {
        if (instances_.size() >= settings_.maxInstances)
            forgetIdleInstances();
        if (instances_.size() >= settings_.maxInstances)
            return {nullptr, "too many instances"};
        instance = create(header, std::move(key));
    }
    instance->openConnections += 1;
    addSaturating(instance->counts.connections, 1);
    addSaturating(instance->counts.lost, header.lost);
    return {instance, nullptr};
}

Instance* InstanceStore::create(const StreamHeader& header, std::string key) {
    auto created = std::make_unique<Instance>();
    created->key = std::move(key);
    created->uuid = header.uuid;
    created->application = header.application;
    created->shownName = displayText(header.application);
    created->fileName =
        instanceFileName(header.application, header.uuid, settings_.json ? ".jsonl" : ".log");
    Instance* instance = created.get();
    instances_.push_back(std::move(created));
    byKey_.emplace(instance->key, instance);
    return instance;
}

void InstanceStore::detach(Instance& instance) {
    if (instance.openConnections > 0)
        instance.openConnections -= 1;
}

// A forgotten instance that connects again starts new counts and appends to its file.
void InstanceStore::forgetIdleInstances() {
    auto idle =
        std::stable_partition(instances_.begin(), instances_.end(),
                              [](const auto& instance) { return instance->openConnections > 0; });
    for (auto it = idle; it != instances_.end(); ++it) {
        Instance& instance = **it;
        if (instance.file)
            closeFile(instance);
        addSaturating(forgotten_.instances, 1);
        addCounts(forgotten_.counts, instance.counts);
        byKey_.erase(instance.key);
    }
    instances_.erase(idle, instances_.end());
}

void InstanceStore::writePiece(Instance& instance, const LinePiece& piece) {
    if (piece.endsLine)
        addSaturating(instance.counts.lines, 1);
    bool tagged = settings_.json || settings_.folder.empty();
    if (tagged && !piece.startsLine && piece.bytes.empty())
        return; // the end of a line already shown in pieces of its own
    std::FILE* output = outputOf(instance);
    if (!output) {
        addSaturating(droppedLines_, piece.endsLine ? 1 : 0);
        return;
    }
    scratch_.clear();
    if (settings_.json) {
        formatJson(instance, piece);
    } else if (settings_.folder.empty()) {
        appendText(instance, piece);
    } else {
        scratch_ += piece.bytes; // the bytes exactly as received
        if (piece.endsLine)
            scratch_ += '\n';
    }
    output = rotatedIfFull(instance, piece, output);
    if (!output) {
        addSaturating(droppedLines_, piece.endsLine ? 1 : 0);
        return;
    }
    const bool toFile = !settings_.folder.empty();
    PendingOutput& pending = toFile ? instance.pending : standardPending_;
    pending.add(scratch_, piece.endsLine);
    if (pending.size() >= kPendingLimit)
        flush(instance);
}

void InstanceStore::appendText(const Instance& instance, const LinePiece& piece) {
    scratch_ += instance.shownName;
    scratch_ += ": ";
    if (settings_.terminal)
        appendTerminalText(scratch_, piece.bytes);
    else
        scratch_ += piece.bytes;
    scratch_ += '\n';
}

void InstanceStore::formatJson(const Instance& instance, const LinePiece& piece) {
    RecordFields fields;
    if (piece.startsLine)
        splitRecordLine(piece.bytes, fields);
    else
        fields.text = piece.bytes;
    scratch_ += "{\"instance\":";
    appendJsonString(scratch_, instance.uuid);
    scratch_ += ",\"application\":";
    appendJsonString(scratch_, instance.application);
    scratch_ += ",\"level\":";
    appendJsonString(scratch_, fields.level);
    scratch_ += ",\"time\":";
    appendJsonString(scratch_, fields.time);
    scratch_ += ",\"thread\":";
    appendJsonString(scratch_, fields.thread);
    scratch_ += ",\"module\":";
    appendJsonString(scratch_, fields.module);
    scratch_ += ",\"text\":";
    appendJsonString(scratch_, fields.text);
    if (!piece.startsLine)
        scratch_ += ",\"continued\":true";
    scratch_ += "}\n";
}

std::FILE* InstanceStore::outputOf(Instance& instance) {
    if (settings_.folder.empty())
        return standardOutput_;
    instance.lastUse = ++useClock_;
    if (instance.file)
        return instance.file;
    if (openFiles_.size() >= settings_.maxOpenFiles)
        closeLeastRecentlyUsed();
    std::string path = (fs::path(settings_.folder) / instance.fileName).string();
    std::string error;
    instance.file = openOutputFile(path, error);
    if (!instance.file) {
        if (!instance.openFailureReported)
            std::fprintf(stderr, "kslogd: cannot open %s: %s\n", path.c_str(), error.c_str());
        instance.openFailureReported = true;
        return nullptr;
    }
    std::error_code unknown;
    instance.fileSize = fs::file_size(path, unknown);
    if (unknown)
        instance.fileSize = 0;
    openFiles_.push_back(&instance);
    return instance.file;
}

// A record whose first piece would take the file past the limit starts a new one (the
// pieces of one record stay together, so a file passes the limit by at most the rest of
// that record, and holds at least one). A refused rename lets the file grow on.
std::FILE* InstanceStore::rotatedIfFull(Instance& instance, const LinePiece& piece,
                                        std::FILE* output) {
    const RotationLimits& limits = settings_.rotation;
    bool due = limits.maxSize != 0 && !settings_.folder.empty() && piece.startsLine &&
               instance.fileSize > 0 && instance.fileSize + scratch_.size() > limits.maxSize;
    if (due) {
        closeFile(instance);
        std::string error;
        if (!rotateFile(settings_.folder, instance.fileName, limits, lastRotation_, error))
            std::fprintf(stderr, "kslogd: cannot rotate %s: %s\n", instance.fileName.c_str(),
                         error.c_str());
        output = outputOf(instance);
    }
    instance.fileSize += scratch_.size();
    return output;
}

void InstanceStore::closeLeastRecentlyUsed() {
    auto oldest =
        std::min_element(openFiles_.begin(), openFiles_.end(),
                         [](Instance* a, Instance* b) { return a->lastUse < b->lastUse; });
    closeFile(**oldest);
}

void InstanceStore::writeOut(PendingOutput& pending, std::FILE* stream, const std::string& name,
                             bool& failureReported) {
    if (pending.size() == 0)
        return;
    std::string error;
    addSaturating(droppedLines_, pending.writeTo(stream, error));
    if (!error.empty() && !failureReported) {
        std::fprintf(stderr, "kslogd: cannot write %s: %s\n", name.c_str(), error.c_str());
        failureReported = true;
    }
}

void InstanceStore::writePending(Instance& instance) {
    if (!instance.file)
        return;
    const std::string path = (std::filesystem::path(settings_.folder) / instance.fileName).string();
    writeOut(instance.pending, instance.file, path, instance.writeFailureReported);
}

void InstanceStore::closeFile(Instance& instance) {
    writePending(instance);
    std::fclose(instance.file);
    instance.file = nullptr;
    openFiles_.erase(std::find(openFiles_.begin(), openFiles_.end(), &instance));
}

void InstanceStore::closeFiles() {
    for (Instance* instance : openFiles_) {
        writePending(*instance);
        std::fclose(instance->file);
        instance->file = nullptr;
        instance->openFailureReported = false;
        instance->writeFailureReported = false;
    }
    openFiles_.clear();
}

void InstanceStore::flush(Instance& instance) {
    if (settings_.folder.empty())
        writeOut(standardPending_, standardOutput_, "standard output", standardFailureReported_);
    else
        writePending(instance);
}

void InstanceStore::flushAll() {
    writeOut(standardPending_, standardOutput_, "standard output", standardFailureReported_);
    for (Instance* instance : openFiles_)
        writePending(*instance);
}
