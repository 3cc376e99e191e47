// The system's error of the latest failed file call as one of the small negative codes
// (never 0): defined beside the file operations, the one place where errors are translated.
#pragma once
#include <cstdint>

namespace ksPlatform {

int32_t lastFileCode();

} // namespace ksPlatform
