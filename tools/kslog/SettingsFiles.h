// Where the library looks for this program's settings, worked out the way the library
// does it, so that --help can name the actual files.
#pragma once
#include <string>

struct SettingsFiles {
    std::string application; // the executable's file name, which names the settings files
    std::string locator;     // ConfigPath.ini in the executable's folder
    bool locatorFound = false;
    std::string readFile;
    std::string writeFile; // empty when the locator's WritePath is empty: no write file
};

// From the executable's full path; the locator, when present, is read for its
// ReadPath and WritePath.
SettingsFiles settingsFilesFor(const std::string& executablePath);
