// Module identifiers: names for the line's module column and the "LOG_" switch keys.
#pragma once
#include <cstdint>

// The module's name, or null for an identifier without an entry (123 to 199, 201 up).
// defaultOn is written only when there is an entry, so callers preset it.
const char* moduleName(uint16_t id, int32_t* defaultOn);
