// The process-wide options ("populate", "max_len_logger", "date" in section "options"),
// read by the first logger constructed after load or after ksLog_Term, and the shared
// format buffer they size, which the record carries.
#pragma once
#include <cstdint>

struct ksLoggerOptions {
    uint16_t loaded;          // read by the first logger; cleared when the buffer is freed
    bool populate;            // write missing keys back with their defaults
    int32_t populateDefaults; // populate mode was seen once: module switches default on
    uint16_t showDate;        // timestamps carry the date
};
extern ksLoggerOptions ksOptions;

// Reads the options and allocates the shared buffer into the record.
void loadOptions();

// The shared buffer's size for a "max_len_logger" value: clamped to 1024 ... 104857600.
int32_t sharedBufferSize(int32_t configured);

// ksLog_Term's part: frees the shared buffer so that the next logger reads the options
// and allocates again. Does nothing when the buffer was never allocated.
void releaseSharedBuffer();
