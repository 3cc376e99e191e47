// One line for the whole and one per instance, in the order instances first appeared.
#include "Summary.h"

#include "FileName.h"

std::string summaryText(const InstanceStore& store, const ConnectionCounts& connections) {
    std::string text = "kslogd: summary: " + std::to_string(store.instances().size()) +
                       " instances, " + std::to_string(connections.accepted) + " connections, " +
                       std::to_string(connections.refused) + " refused, " +
                       std::to_string(connections.rejected) + " rejected, " +
                       std::to_string(store.droppedLines()) + " lines not written\n";
    for (const auto& instance : store.instances()) {
        const InstanceCounts& counts = instance->counts;
        text += "kslogd: instance " + instance->shownName + " " + displayText(instance->uuid) +
                ": " + std::to_string(counts.connections) + " connections, " +
                std::to_string(counts.bytes) + " bytes, " + std::to_string(counts.lines) +
                " lines, " + std::to_string(counts.lost) + " lost\n";
    }
    return text;
}
