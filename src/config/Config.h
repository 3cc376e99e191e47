// Where the settings files live: the locator file "ConfigPath.ini" in the executable's
// directory names the read and write directories ("ReadPath", "WritePath"); the settings
// file pair is "ksLog." + application name + ".ini" there, the write file with a leading
// "_". A ksConfig is the settings file pair of one lookup: opened, used and discarded.
#pragma once
#include <cstddef>
#include <cstdint>
#include "config/IniFile.h"
#include "foundation/String.h"

class ksConfig {
  public:
    // An empty or null write directory means no write layer.
    ksConfig(const char* readDirectory, const char* writeDirectory, const char* fileName);
    virtual ~ksConfig();
    ksConfig(const ksConfig&) = delete;
    ksConfig& operator=(const ksConfig&) = delete;

    // A null or empty section means the implicit section "default".
    ksString getString(const char* section, const char* key, const char* defaultValue) const;
    int32_t getInt(const char* section, const char* key, int32_t defaultValue) const;
    bool setString(const char* section, const char* key, const char* value);
    bool setInt(const char* section, const char* key, int32_t value);
    bool save();

    const ksIniFile& file() const { return file_; }

    // Objects come from the checked allocators: creation never throws.
    static void* operator new(size_t size);
    static void operator delete(void* block);

  private:
    ksIniFile file_;
};

// The locator file: read from the executable's directory only, never written.
class ksConfigPathFile : public ksConfig {
  public:
    explicit ksConfigPathFile(const char* fileName);
    ~ksConfigPathFile() override;

    // "ReadPath" and "WritePath" of the default section (each "./" when missing; an empty
    // "WritePath" means no write file). True when both directories exist or were created.
    bool readPaths(ksString* readDirectory, ksString* writeDirectory) const;
};

// The directory ("./" when empty), "/" unless it ends with one, the prefix, and the file
// name's last component; backslashes become slashes.
ksString composeFilePath(const char* directory, const char* fileName, const char* prefix);

// "ksLog." + applicationName() + ".ini".
ksString settingsFileName();

// Bit 0 of the logger flags: the logger reads no settings.
constexpr uint32_t ksLoggerNoConfig = 0x1;

// The settings file pair for one lookup (the caller deletes it), or null for a logger
// that reads no settings.
ksConfig* openConfig(uint32_t loggerFlags);

// The files the lookups of this process use, found by the same steps as openConfig (so
// the directories the locator names are created, as a lookup creates them). Paths are
// normalised as the lookups open them; an empty path means none, or a path that cannot
// be normalised. For programs that tell where their settings are.
struct ksSettingsFiles {
    ksString locator;
    ksIniLoad locatorLoad; // what became of reading the locator
    ksString readFile;
    ksString writeFile; // empty also when the locator's "WritePath" is empty
};
ksSettingsFiles locateSettingsFiles();
