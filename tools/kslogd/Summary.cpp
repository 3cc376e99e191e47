// One line for the whole, one for the instances forgotten to make room, and one per
// instance still known, in the order instances first appeared.
#include "Summary.h"

#include "FileName.h"
#include "Saturating.h"

namespace {

std::string countsText(const InstanceCounts& counts) {
    return std::to_string(counts.connections) + " connections, " + std::to_string(counts.bytes) +
           " bytes, " + std::to_string(counts.lines) + " lines, " + std::to_string(counts.lost) +
           " lost\n";
}

} // namespace

std::string summaryText(const InstanceStore& store, const ConnectionCounts& connections) {
    const ForgottenInstances& forgotten = store.forgotten();
    std::uint64_t instances = store.instances().size();
    addSaturating(instances, forgotten.instances);
    std::string text = "kslogd: summary: " + std::to_string(instances) + " instances, " +
                       std::to_string(connections.accepted) + " connections, " +
                       std::to_string(connections.displaced) + " displaced, " +
                       std::to_string(connections.rejected) + " rejected, " +
                       std::to_string(store.droppedLines()) + " lines not written\n";
    if (forgotten.instances > 0)
        text += "kslogd: forgotten " + std::to_string(forgotten.instances) +
                " instances: " + countsText(forgotten.counts);
    for (const auto& instance : store.instances())
        text += "kslogd: instance " + instance->shownName + " " + displayText(instance->uuid) +
                ": " + countsText(instance->counts);
    return text;
}
