// Once per file and process, because every settings lookup opens the files again: a
// logger's construction alone makes a dozen lookups, and the records look up module
// switches, so a message per lookup would bury the standard error stream.
//
// The paths already reported live in a small table that is never freed. Callers hold the
// process-wide lock (the library) or are alone (a tool), so the table needs no lock.
#include "config/SettingsNotice.h"
#include <cstdio>
#include <cstring>
#include "foundation/Fatal.h"
#include "config/Message.h"

namespace {

// Settings lookups meet three files at a time; a locator that keeps changing could make
// more. Past this many, further files are not reported, so that memory stays bounded.
constexpr size_t kRememberedFiles = 32;
char* reported[kRememberedFiles];
size_t reportedCount;

// True the first time path is seen (and remembered).
bool firstTime(const char* path) {
    for (size_t i = 0; i < reportedCount; ++i) {
        if (std::strcmp(reported[i], path) == 0)
            return false;
    }
    if (reportedCount == kRememberedFiles)
        return false;
    reported[reportedCount++] = ksStrdup(path);
    return true;
}

} // namespace

void ksNoteUnreadSettingsFile(const char* path, ksIniLoad result) {
    if (result != ksIniLoad::notRegular && result != ksIniLoad::tooLarge)
        return;
    if (!firstTime(path))
        return;
    if (result == ksIniLoad::notRegular)
        ksSayOnStandardError("ksConfig: %s is not a regular file: it is ignored\n", path);
    else
        ksSayOnStandardError("ksConfig: %s is larger than %u bytes: it is ignored\n", path,
                             static_cast<unsigned>(ksIniDocument::kFileSizeLimit));
}
