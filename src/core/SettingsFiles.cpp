// ksLog_SettingsFiles: where this program's settings files are, for tools that tell
// their users, found by the same steps as every settings lookup.
#include <cstring>
#include "config/Config.h"
#include "config/Settings.h"
#include "core/Library.h"
#include "ksLog.h"

namespace {

int32_t stateOf(ksIniLoad load) {
    switch (load) {
    case ksIniLoad::loaded:
        return KSLOG_LOCATOR_READ;
    case ksIniLoad::notRegular:
        return KSLOG_LOCATOR_NOT_REGULAR;
    case ksIniLoad::tooLarge:
        return KSLOG_LOCATOR_TOO_LARGE;
    case ksIniLoad::unreadable:
        return KSLOG_LOCATOR_UNREADABLE;
    case ksIniLoad::unopened:
        break;
    }
    return KSLOG_LOCATOR_ABSENT;
}

// Copies text with its terminator to the packing position and points field at it.
void pack(const char* text, const char** field, char*& at) {
    size_t size = std::strlen(text) + 1;
    std::memcpy(at, text, size);
    *field = at;
    at += size;
}

} // namespace

uint32_t ksLog_SettingsFiles(ksLogSettingsFiles* files, char* buffer, uint32_t size) {
    // The lock alone, without starting the library: the lookups it guards share the
    // application name and the folders it may create.
    ksLibrary.mutex.lock();
    const ksSettingsFiles found = locateSettingsFiles();
    const char* application = applicationName();
    const char* texts[] = {application, found.locator, found.readFile, found.writeFile};
    uint64_t needed = 0;
    for (const char* text : texts)
        needed += std::strlen(text) + 1;
    if (files && buffer && needed <= size) {
        char* at = buffer;
        pack(application, &files->application, at);
        pack(found.locator, &files->locator, at);
        pack(found.readFile, &files->readFile, at);
        pack(found.writeFile, &files->writeFile, at);
        files->locatorState = stateOf(found.locatorLoad);
    }
    ksLibrary.mutex.unlock();
    return needed > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(needed);
}
