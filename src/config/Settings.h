// Settings lookups for the loggers. Each lookup is self-contained: it finds the settings
// file pair through "ConfigPath.ini", looks the key up (write file first), writes the
// default back in populate mode, and discards everything. No lookup ever fails.
#pragma once
#include <cstdint>
#include "foundation/String.h"

// readFiles false (a logger that reads no settings) gives the default without touching
// any file. An empty value counts as missing when the default is not empty.
ksString ksReadSetting(const char* section, const char* key, const ksString& defaultValue,
                       bool populate, bool readFiles);
// A stored -1, or a text that is not wholly a signed decimal number, counts as missing.
int32_t ksReadIntSetting(const char* section, const char* key, int32_t defaultValue,
                         bool populate, bool readFiles);

// The executable's file name (cut to 63 bytes), or the process id as "%08x".
const char* applicationName();
