// Instances and their output. Files are opened for appending, so that a reconnection
// of the same instance (same application and identifier) continues its file, and only
// a bounded number stay open at once, so that many instances cannot exhaust the
// collector's file descriptors.
#include "InstanceStore.h"

#include "FileName.h"
#include "JsonText.h"
#include "RecordFields.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

InstanceStore::InstanceStore(const OutputSettings& settings, std::FILE* standardOutput)
    : settings_(settings), standardOutput_(standardOutput) {
    if (settings_.maxOpenFiles == 0)
        settings_.maxOpenFiles = 1;
}

InstanceStore::~InstanceStore() {
    for (Instance* instance : openFiles_)
        std::fclose(instance->file);
}

Instance* InstanceStore::attach(const StreamHeader& header) {
    std::string key = header.uuid;
    key += '\n'; // cannot occur inside either part, so keys never collide
    key += header.application;
    auto found = byKey_.find(key);
    Instance* instance = found == byKey_.end() ? nullptr : found->second;
    if (!instance) {
        if (instances_.size() >= settings_.maxInstances)
            return nullptr;
        auto created = std::make_unique<Instance>();
        created->uuid = header.uuid;
        created->application = header.application;
        created->shownName = displayText(header.application);
        created->fileName =
            instanceFileName(header.application, header.uuid, settings_.json ? ".jsonl" : ".log");
        instance = created.get();
        instances_.push_back(std::move(created));
        byKey_.emplace(std::move(key), instance);
    }
    instance->counts.connections += 1;
    instance->counts.lost += header.lost;
    return instance;
}

void InstanceStore::writePiece(Instance& instance, const LinePiece& piece) {
    if (piece.endsLine)
        instance.counts.lines += 1;
    bool tagged = settings_.json || settings_.folder.empty();
    if (tagged && !piece.startsLine && piece.bytes.empty())
        return; // the end of a line already shown in pieces of its own
    std::FILE* output = outputOf(instance);
    if (!output) {
        droppedLines_ += piece.endsLine ? 1 : 0;
        return;
    }
    scratch_.clear();
    if (settings_.json) {
        formatJson(instance, piece);
    } else if (settings_.folder.empty()) {
        scratch_ += instance.shownName;
        scratch_ += ": ";
        scratch_ += piece.bytes;
        scratch_ += '\n';
    } else {
        scratch_ += piece.bytes; // the bytes exactly as received
        if (piece.endsLine)
            scratch_ += '\n';
    }
    if (std::fwrite(scratch_.data(), 1, scratch_.size(), output) != scratch_.size())
        droppedLines_ += 1;
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
    std::filesystem::path path = std::filesystem::path(settings_.folder) / instance.fileName;
    instance.file = std::fopen(path.string().c_str(), "ab");
    if (!instance.file) {
        if (!instance.openFailureReported)
            std::fprintf(stderr, "kslogd: cannot open %s: %s\n", path.string().c_str(),
                         std::strerror(errno));
        instance.openFailureReported = true;
        return nullptr;
    }
    openFiles_.push_back(&instance);
    return instance.file;
}

void InstanceStore::closeLeastRecentlyUsed() {
    auto oldest =
        std::min_element(openFiles_.begin(), openFiles_.end(),
                         [](Instance* a, Instance* b) { return a->lastUse < b->lastUse; });
    std::fclose((*oldest)->file);
    (*oldest)->file = nullptr;
    openFiles_.erase(oldest);
}

void InstanceStore::flush(Instance& instance) {
    std::FILE* output = settings_.folder.empty() ? standardOutput_ : instance.file;
    if (output)
        std::fflush(output);
}

void InstanceStore::flushAll() {
    std::fflush(standardOutput_);
    for (Instance* instance : openFiles_)
        std::fflush(instance->file);
}
