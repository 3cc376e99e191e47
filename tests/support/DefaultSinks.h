// The first initialisation builds the default sinks (file and daemon). Tests about the
// dispatcher, the level or the callback sink switch them off, so that what they measure
// is the loggers they make themselves.
#pragma once
#include <cstring>
#include "core/Library.h"
#include "core/Logger.h"

// Initialises the library and sets the default sinks' thresholds to 0; _ksLog_Level then
// follows the remaining loggers (0 when there are none).
inline void switchOffDefaultSinks() {
    ksLog_Init();
    ksLibraryLock lock;
    for (ksLogger* logger = firstLogger(); logger; logger = logger->next()) {
        if (std::strcmp(logger->name(), "File") == 0 || std::strcmp(logger->name(), "ksLogd") == 0)
            logger->setThreshold(0);
    }
}

// The number of registered loggers with this settings section.
inline int registeredLoggers(const char* section) {
    ksLibraryLock lock;
    int count = 0;
    for (ksLogger* logger = firstLogger(); logger; logger = logger->next())
        count += std::strcmp(logger->name(), section) == 0;
    return count;
}

// The registered logger with this settings section, or null.
inline ksLogger* findLogger(const char* section) {
    ksLibraryLock lock;
    for (ksLogger* logger = firstLogger(); logger; logger = logger->next())
        if (std::strcmp(logger->name(), section) == 0)
            return logger;
    return nullptr;
}
