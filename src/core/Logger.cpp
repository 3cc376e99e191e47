// ksLogger: settings, threshold and module switches of every sink.
#include "core/Logger.h"
#include <cstdlib>
#include <cstring>
#include "config/Settings.h"
#include "core/Library.h"
#include "core/Modules.h"
#include "core/Options.h"
#include "foundation/Fatal.h"
#include "foundation/Format.h"

ksLogger::ksLogger(const char* name, bool registerIt) : name_(name) {
    if (!ksOptions.loaded)
        loadOptions();
    std::memset(moduleSwitches_, 0, sizeof moduleSwitches_);
    if (registerIt)
        addLogger(this);
}

ksLogger::~ksLogger() {
    removeLogger(this);
}

void* ksLogger::operator new(size_t size) {
    return ksMalloc(size);
}
void ksLogger::operator delete(void* block) {
    std::free(block);
}

void ksLogger::setThreshold(uint16_t t) {
    if (t == threshold_)
        return;
    threshold_ = t;
    updateGlobalLevel(t);
}

ksString ksLogger::getSetting(const char* key, const char* section, const char* defaultValue) {
    return ksReadSetting(section, key, ksString(defaultValue), ksOptions.populate,
                         !(flags_ & noConfig));
}

ksString ksLogger::getOwnSetting(const char* key, const char* defaultValue) {
    return getSetting(key, name_, defaultValue);
}

int32_t ksLogger::getIntSetting(const char* key, const char* section, int32_t defaultValue) {
    return ksReadIntSetting(section, key, defaultValue, ksOptions.populate, !(flags_ & noConfig));
}

int32_t ksLogger::getOwnIntSetting(const char* key, int32_t defaultValue) {
    return getIntSetting(key, name_, defaultValue);
}

bool ksLogger::lookUpModuleSwitch(uint16_t module) {
    int32_t tableDefault = ksOptions.populateDefaults;
    const char* moduleText = moduleName(module, &tableDefault);
    char key[64];
    if (moduleText)
        ksFormatBuffer(key, sizeof key, "LOG_%s", moduleText);
    else
        ksFormatBuffer(key, sizeof key, "LOG_%d", static_cast<int>(module));
    int32_t defaultValue = ksOptions.populateDefaults == 1 ? tableDefault : 0;
    bool on = getOwnIntSetting(key, defaultValue) > 0;
    moduleSwitches_[module] = on ? 3 : 2;
    return on;
}
