// The settings lookups behind the loggers' accessors: each opens the settings file pair,
// looks the key up, writes a missing key back in populate mode, and discards everything.
#include "config/Settings.h"
#include "config/Config.h"

namespace {

// -1 is the integer lookups' "missing" marker: a stored -1 behaves like no key.
constexpr int32_t kMissingNumber = -1;

uint32_t loggerFlags(bool readFiles) {
    return readFiles ? 0 : ksLoggerNoConfig;
}

} // namespace

ksString ksReadSetting(const char* section, const char* key, const ksString& defaultValue,
                       bool populate, bool readFiles) {
    ksConfig* config = openConfig(loggerFlags(readFiles));
    if (!config)
        return defaultValue;
    ksString value = config->getString(section, key, "");
    if (value.isEmpty() && !defaultValue.isEmpty()) {
        if (populate && config->setString(section, key, defaultValue))
            config->save(); // a failed save changes nothing: the default is returned
        value = defaultValue;
    }
    delete config;
    return value;
}

int32_t ksReadIntSetting(const char* section, const char* key, int32_t defaultValue, bool populate,
                         bool readFiles) {
    ksConfig* config = openConfig(loggerFlags(readFiles));
    if (!config)
        return defaultValue;
    int32_t value = config->getInt(section, key, kMissingNumber);
    if (value == kMissingNumber) {
        if (populate && config->setInt(section, key, defaultValue))
            config->save();
        value = defaultValue;
    }
    delete config;
    return value;
}
