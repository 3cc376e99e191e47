// The one message the configuration layer writes: a settings file that exists but is not
// read (not a regular file, or too large), said on the standard error stream once per
// file and process.
#pragma once
#include "config/IniDocument.h"

// Says why the file at path is not read, the first time this process meets it; nothing
// for the results that are not worth a word (loaded, absent, a failed read).
void ksNoteUnreadSettingsFile(const char* path, ksIniLoad result);
