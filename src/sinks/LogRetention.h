// Retention: the old files of a log that go once a rotation made a new one. They are
// found by scanning the log's folder for the names of its family, so files left by an
// earlier run, or made by another process of the application, are counted too.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>
#include "foundation/String.h"
#include "sinks/LogFamily.h"
#include "sinks/RotationSettings.h"

struct ksOldLog {
    ksString name; // bare name in the folder
    int64_t modified;
};

// Orders logs newest first (by modification time, then by name, so that rotated names of
// one second sort by their stamp) and returns how many of them to keep: at most keep
// (0: no count limit), none older than maxAgeDays before now (0: no age limit).
size_t orderAndCountKept(std::vector<ksOldLog>* logs, uint32_t keep, uint32_t maxAgeDays,
                         int64_t now);

// Deletes the family's regular files in the folder of current that retention lets go,
// never current itself, nor links, folders or anything else under a matching name.
// Returns how many were deleted.
uint32_t applyRetention(const char* current, const ksLogFamily& family,
                        const ksRotationSettings& settings, int64_t now);
