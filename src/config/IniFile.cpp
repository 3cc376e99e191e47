// The two-layer settings file: lookup order, recovery of an interrupted save at every
// open, and the four-step save that never leaves a partial file in place of the old one.
#include "config/IniFile.h"
#include <cstring>
#include "config/FileSystem.h"
#include "config/Paths.h"
#include "config/SettingsNotice.h"

namespace {

ksString withSuffix(const ksString& path, const char* suffix) {
    ksString result(path);
    result.append(suffix, std::strlen(suffix));
    return result;
}

} // namespace

ksString ksIniFile::normalizedPath(const char* path) {
    ksString normalized;
    if (path && !ksNormalizePath(path, false, 0, nullptr, &normalized))
        normalized = "";
    return normalized;
}

ksIniFile::ksIniFile(const char* readPath, const char* writePath)
    : readPath_(normalizedPath(readPath)), writePath_(normalizedPath(writePath)),
      hasWriteLayer_(writePath != nullptr), readLoad_(ksIniLoad::unopened) {
    if (!readPath_.isEmpty()) {
        readLoad_ = read_.load(readPath_);
        ksNoteUnreadSettingsFile(readPath_, readLoad_);
    }
    if (!writePath_.isEmpty()) {
        ksFolderLock lock(writePath_);
        if (!loadWriteFile(&write_))
            writePath_ = "";
    }
}

bool ksIniFile::loadWriteFile(ksIniDocument* document) {
    recover(writePath_);
    ksIniLoad result = document->load(writePath_);
    ksNoteUnreadSettingsFile(writePath_, result);
    // A save would replace what the name stands for (a FIFO, a link to a device, a file
    // of someone else's) by a few keys: such a write file is never written.
    return result != ksIniLoad::notRegular && result != ksIniLoad::tooLarge;
}

void ksIniFile::recover(const char* path) {
    ksString target(path);
    ksString temporary = withSuffix(target, ".tmp");
    ksString complete = withSuffix(target, ".ok");
    bool hasTarget = ksFileExists(target);
    bool hasTemporary = ksFileExists(temporary);
    bool hasComplete = ksFileExists(complete);
    // A ".tmp" file was cut short by the interruption: its content is not to be trusted.
    if (hasTemporary)
        ksFileDelete(temporary);
    // An ".ok" file is a whole new content whose final rename did not happen.
    if (hasComplete && (!hasTarget || ksFileDelete(target) == 0))
        ksFileMove(complete, target);
}

const char* ksIniFile::getString(const char* section, const char* key,
                                 const char* defaultValue) const {
    bool found = false;
    if (hasWriteLayer_) {
        const char* value = write_.get(section, key, defaultValue, &found);
        if (found)
            return value;
    }
    return read_.get(section, key, defaultValue, &found);
}

int32_t ksIniFile::getInt(const char* section, const char* key, int32_t defaultValue) const {
    bool found = false;
    if (hasWriteLayer_) {
        int32_t value = write_.getInt(section, key, defaultValue, &found);
        if (found)
            return value;
    }
    return read_.getInt(section, key, defaultValue, &found);
}

bool ksIniFile::setString(const char* section, const char* key, const char* value) {
    if (!hasWriteLayer_)
        return false;
    write_.setValue(section, key, value);
    noteChange(section, key);
    return true;
}

bool ksIniFile::setInt(const char* section, const char* key, int32_t value) {
    if (!hasWriteLayer_)
        return false;
    write_.setInt(section, key, value);
    noteChange(section, key);
    return true;
}

void ksIniFile::noteChange(const char* section, const char* key) {
    changes_.emplace_back(ksString(section ? section : ""), ksString(key ? key : ""));
}

bool ksIniFile::save() {
    if (!hasWriteLayer_ || writePath_.isEmpty())
        return false;
    ksFolderLock lock(writePath_);
    // What another process saved since this object loaded, with this object's changes on
    // top: the single-process result is the same document.
    ksIniDocument current;
    if (!loadWriteFile(&current))
        return false;
    for (const auto& [section, key] : changes_) {
        bool found = false;
        const char* value = write_.get(section, key, "", &found);
        if (found)
            current.setValue(section, key, value);
    }
    ksString temporary = withSuffix(writePath_, ".tmp");
    ksString complete = withSuffix(writePath_, ".ok");
    // The ".tmp" name belongs to the save, which holds the lock: whatever holds it now (a
    // leftover, a planted link) goes, and the file is created anew, never through a link.
    ksFileDelete(temporary);
    if (!current.write(temporary)) {
        // Never leave a partial content behind, not even as a ".tmp" file.
        ksFileDelete(temporary);
        return false;
    }
    ksFileDelete(complete);
    if (ksFileMove(temporary, complete) != 0) {
        ksFileDelete(temporary);
        return false;
    }
    ksFileDelete(writePath_);
    if (ksFileMove(complete, writePath_) != 0)
        return false; // the ".ok" file waits for the next open
    ksFileFlushFolderOf(writePath_);
    write_.swap(current);
    changes_.clear();
    return true;
}
