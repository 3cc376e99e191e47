// Stand-in until the settings files are read: every lookup yields its default.
#include "config/Settings.h"

ksString ksReadSetting(const char*, const char*, const ksString& defaultValue, bool, bool) {
    return defaultValue;
}

int32_t ksReadIntSetting(const char*, const char*, int32_t defaultValue, bool, bool) {
    return defaultValue;
}

const char* applicationName() { return "ksLog"; }
