// ksIniFile: the two-layer settings file. A read file that people edit and the library
// only reads, and an optional write file that the library rewrites: lookups try the write
// layer first, changes go to the write layer only, and save replaces the write file
// crash-safely through two companions, P".tmp" (a save in progress) and P".ok" (a
// complete content waiting to replace P). Every open completes or discards an
// interrupted save before reading P.
//
// Two processes of one application may open and save the same write file at once. The
// recovery with the load, and the save, each run under a lock that all processes share
// for the write file's folder, and a save first reads the file again and applies only
// this object's changes to what it finds: a key that another process wrote meanwhile
// (a person's value, another process's default) is never replaced by an older content.
#pragma once
#include <cstdint>
#include <utility>
#include <vector>
#include "config/IniDocument.h"
#include "foundation/String.h"

class ksIniFile {
  public:
    // Either path may be null. A write path, even one that cannot be normalised, gives a
    // write layer; without a usable path its changes stay in memory and save fails. A
    // file that is not a regular one, or is too large, counts as absent (said once on the
    // standard error stream), and such a write file is never saved over.
    ksIniFile(const char* readPath, const char* writePath);
    ~ksIniFile() = default;
    ksIniFile(const ksIniFile&) = delete;
    ksIniFile& operator=(const ksIniFile&) = delete;

    // A key present in the write layer is final there, even when empty or not a number.
    const char* getString(const char* section, const char* key, const char* defaultValue) const;
    int32_t getInt(const char* section, const char* key, int32_t defaultValue) const;
    // False, changing nothing, without a write layer.
    bool setString(const char* section, const char* key, const char* value);
    bool setInt(const char* section, const char* key, int32_t value);
    bool save();

    bool hasWriteLayer() const { return hasWriteLayer_; }
    const ksIniDocument& readDocument() const { return read_; }
    const ksIniDocument& writeDocument() const { return write_; }
    const ksString& readPath() const { return readPath_; }   // empty: none
    const ksString& writePath() const { return writePath_; } // empty: none
    ksIniLoad readLoad() const { return readLoad_; }         // unopened also without a read path

    // A path as the layers open it: portable form, trailing separators kept; empty when
    // it cannot be normalised.
    static ksString normalizedPath(const char* path);

    // Completes or discards an interrupted save of the write file path.
    static void recover(const char* path);

  private:
    // The write file as it is now, read under the folder's lock; false when what the name
    // stands for may not be saved over.
    bool loadWriteFile(ksIniDocument* document);
    void noteChange(const char* section, const char* key);

    ksString readPath_;
    ksString writePath_;
    bool hasWriteLayer_;
    ksIniLoad readLoad_;
    ksIniDocument read_;
    ksIniDocument write_;
    std::vector<std::pair<ksString, ksString>> changes_; // section and key set since loading
};
