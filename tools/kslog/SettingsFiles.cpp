#include "SettingsFiles.h"
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Paths travel as UTF-8; a narrow path would be read in the ANSI code page on Windows.
fs::path pathFromUtf8(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string utf8FromPath(const fs::path& path) {
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string lowerCase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

struct LocatorPaths {
    std::string readPath = "./";
    std::string writePath = "./";
};

// The keys of the locator's default section: those before any header and those under
// a header naming "default"; names match without regard to case.
LocatorPaths readLocator(const fs::path& path) {
    LocatorPaths paths;
    std::ifstream file(path);
    std::string line;
    bool inDefault = true;
    while (std::getline(file, line)) {
        line = trimmed(line);
        if (!line.empty() && line[0] == '[') {
            const size_t close = line.find(']');
            inDefault = lowerCase(trimmed(line.substr(1, close - 1))) == "default";
            continue;
        }
        const size_t equals = line.find('=');
        if (!inDefault || equals == std::string::npos)
            continue;
        const std::string key = lowerCase(trimmed(line.substr(0, equals)));
        const std::string value = trimmed(line.substr(equals + 1));
        if (key == "readpath")
            paths.readPath = value.empty() ? "./" : value;
        else if (key == "writepath")
            paths.writePath = value;
    }
    return paths;
}

// A locator directory is relative to the executable's folder unless it is absolute.
std::string inFolder(const fs::path& folder, std::string directory, const std::string& name) {
    for (char& c : directory)
        if (c == '\\')
            c = '/';
    fs::path place = pathFromUtf8(directory);
    if (!place.is_absolute())
        place = folder / place;
    return utf8FromPath((place / pathFromUtf8(name)).lexically_normal());
}

} // namespace

SettingsFiles settingsFilesFor(const std::string& executablePath) {
    const fs::path executable = pathFromUtf8(executablePath);
    const fs::path folder = executable.parent_path();
    const fs::path locator = (folder / "ConfigPath.ini").lexically_normal();
    SettingsFiles files;
    files.application = utf8FromPath(executable.filename()).substr(0, 63);
    const std::string settingsName = "ksLog." + files.application + ".ini";
    files.locator = utf8FromPath(locator);
    std::error_code error;
    files.locatorFound = fs::is_regular_file(locator, error);
    const LocatorPaths paths = files.locatorFound ? readLocator(locator) : LocatorPaths();
    files.readFile = inFolder(folder, paths.readPath, settingsName);
    if (!paths.writePath.empty())
        files.writeFile = inFolder(folder, paths.writePath, "_" + settingsName);
    return files;
}
