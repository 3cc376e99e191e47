// The report the collector prints when it stops.
#pragma once
#include "InstanceStore.h"

#include <cstdint>
#include <string>

// What happened to connections as a whole, beside the per-instance counts.
struct ConnectionCounts {
    std::uint64_t accepted = 0;
    std::uint64_t displaced = 0; // closed, quiet longest, to make room for a new connection
    std::uint64_t rejected = 0;  // closed for a malformed, late or oversized header
};

std::string summaryText(const InstanceStore& store, const ConnectionCounts& connections);
