// Size rotation and retention of the per-instance files: a full file is renamed to
// "<stem>.<YYYYMMDD-HHMMSS-mmm><extension>" (local time of the rotation, so the names of one
// instance sort by age) and only the newest rotated files are kept.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

struct RotationLimits {
    std::uint64_t maxSize = 0; // bytes; 0: files grow without limit
    std::size_t keep = 0;      // rotated files kept per instance; 0: all
};

// Decimal digits with an optional K, M or G (1024-based, either case); false otherwise.
bool parseByteSize(std::string_view text, std::uint64_t& bytes);

// The rotated name of fileName (no folder) at the given local time and millisecond.
std::string rotatedFileName(const std::string& fileName, const std::tm& time, int millisecond);

// Whether name is a rotated name of fileName.
bool isRotatedName(const std::string& name, const std::string& fileName);

// Renames folder/fileName to a rotated name that does not exist yet, then deletes the
// oldest rotated files of fileName beyond limits.keep. The stamp is the current time in
// milliseconds since 1970, but always after lastStamp (which it updates): rotations
// within one millisecond still get names in their order. False, with a message in
// error, when the rename failed (the file then simply goes on growing).
bool rotateFile(const std::string& folder, const std::string& fileName,
                const RotationLimits& limits, std::int64_t& lastStamp, std::string& error);
