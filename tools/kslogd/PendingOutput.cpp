#include "PendingOutput.h"

#include "SystemSetup.h"

#include <algorithm>

void PendingOutput::add(const std::string& bytes, bool endsLine) {
    bytes_ += bytes;
    if (endsLine)
        lineEnds_.push_back(bytes_.size());
}

std::uint64_t PendingOutput::writeTo(std::FILE* stream, std::string& error) {
    const std::size_t written = writeWhole(stream, bytes_.data(), bytes_.size(), error);
    // A line counts as written only when its last byte reached the destination.
    const auto firstLost = std::upper_bound(lineEnds_.begin(), lineEnds_.end(), written);
    const std::uint64_t lost = static_cast<std::uint64_t>(lineEnds_.end() - firstLost);
    bytes_.clear();
    lineEnds_.clear();
    return lost;
}

std::uint64_t PendingOutput::discard() {
    const std::uint64_t lost = lineEnds_.size();
    bytes_.clear();
    lineEnds_.clear();
    return lost;
}
