// The settings file location: the locator file, the directory pair, the file names and
// the application name that is part of them.
#include "config/Config.h"
#include <cstdlib>
#include <cstring>
#include "config/FileSystem.h"
#include "config/Paths.h"
#include "config/Settings.h"
#include "foundation/Fatal.h"
#include "foundation/Format.h"
#include "platform/platform.h"

namespace {

constexpr char kLocatorFileName[] = "ConfigPath.ini";
constexpr char kHere[] = "./";
constexpr size_t kApplicationNameSize = 64;

char applicationNameBuffer[kApplicationNameSize];

ksString withSlashes(const char* text) {
    ksString result(text ? text : "");
    result.replace("\\", "/", true);
    return result;
}

// The longest start of text that fits in limit bytes without splitting a UTF-8 sequence.
size_t cutAtCharacter(const char* text, size_t limit) {
    size_t length = strnlen(text, limit + 1);
    if (length <= limit)
        return length;
    length = limit;
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        --length;
    return length;
}

ksString readFileIn(const char* directory, const char* fileName) {
    return composeFilePath(directory, fileName, "");
}

// Empty without a write directory: no write file.
ksString writeFileIn(const char* directory, const char* fileName) {
    return directory && *directory ? composeFilePath(directory, fileName, "_") : ksString();
}

// The read and write directories that the locator names; the read directory falls back to
// the executable's own when the directories cannot be made.
void settingsDirectories(const ksConfigPathFile& locator, ksString* readDirectory,
                         ksString* writeDirectory) {
    if (!locator.readPaths(readDirectory, writeDirectory))
        *readDirectory = kHere;
}

} // namespace

ksConfig::ksConfig(const char* readDirectory, const char* writeDirectory, const char* fileName)
    : file_(readFileIn(readDirectory, fileName), writeDirectory && *writeDirectory
                                                     ? writeFileIn(writeDirectory, fileName).c_str()
                                                     : nullptr) {}

ksConfig::~ksConfig() = default;

void* ksConfig::operator new(size_t size) {
    return ksMalloc(size);
}
void ksConfig::operator delete(void* block) {
    std::free(block);
}

ksString ksConfig::getString(const char* section, const char* key, const char* defaultValue) const {
    return ksString(file_.getString(section, key, defaultValue));
}

int32_t ksConfig::getInt(const char* section, const char* key, int32_t defaultValue) const {
    return file_.getInt(section, key, defaultValue);
}

bool ksConfig::setString(const char* section, const char* key, const char* value) {
    return file_.setString(section, key, value);
}

bool ksConfig::setInt(const char* section, const char* key, int32_t value) {
    return file_.setInt(section, key, value);
}

bool ksConfig::save() {
    return file_.save();
}

ksConfigPathFile::ksConfigPathFile(const char* fileName) : ksConfig(kHere, nullptr, fileName) {}

ksConfigPathFile::~ksConfigPathFile() = default;

bool ksConfigPathFile::readPaths(ksString* readDirectory, ksString* writeDirectory) const {
    *readDirectory = getString(nullptr, "ReadPath", kHere);
    *writeDirectory = getString(nullptr, "WritePath", kHere);
    // An empty "ReadPath" means the executable's directory.
    if (readDirectory->isEmpty())
        *readDirectory = kHere;
    if (!ksCreateDirectories(*readDirectory))
        return false;
    return writeDirectory->isEmpty() || ksCreateDirectories(*writeDirectory);
}

// A network directory ("\\server\share") comes out as "//server/share/...", which the
// path rules then take for a relative path below the executable's directory: network
// directories are not supported as "ReadPath" or "WritePath".
ksString composeFilePath(const char* directory, const char* fileName, const char* prefix) {
    ksString result = withSlashes(directory && *directory ? directory : kHere);
    ksString name = withSlashes(fileName);
    int64_t slash = name.findChar('/', true);
    const char* lastComponent = name.c_str() + (slash < 0 ? 0 : slash + 1);
    if (result.lastChar() != '/')
        result.append("/", 1);
    if (prefix)
        result.append(prefix, std::strlen(prefix));
    result.append(lastComponent, std::strlen(lastComponent));
    return result;
}

const char* applicationName() {
    if (applicationNameBuffer[0])
        return applicationNameBuffer;
    ksString fileName;
    if (ksExecutableFileName(&fileName)) {
        // A cut inside a UTF-8 sequence would make every settings path unusable.
        size_t length = cutAtCharacter(fileName, kApplicationNameSize - 1);
        std::memcpy(applicationNameBuffer, fileName.c_str(), length);
        applicationNameBuffer[length] = '\0';
    }
    if (!applicationNameBuffer[0])
        ksFormatBuffer(applicationNameBuffer, sizeof applicationNameBuffer, "%08x",
                       static_cast<unsigned>(ksPlatform::currentProcessId()));
    return applicationNameBuffer;
}

ksString settingsFileName() {
    const char* name = applicationName();
    ksString result("ksLog.");
    result.append(name, std::strlen(name));
    result.append(".ini", 4);
    return result;
}

ksConfig* openConfig(uint32_t loggerFlags) {
    if (loggerFlags & ksLoggerNoConfig)
        return nullptr;
    ksString readDirectory;
    ksString writeDirectory;
    {
        ksConfigPathFile locator(kLocatorFileName);
        settingsDirectories(locator, &readDirectory, &writeDirectory);
    }
    return new ksConfig(readDirectory, writeDirectory, settingsFileName());
}

ksSettingsFiles locateSettingsFiles() {
    ksSettingsFiles files;
    ksConfigPathFile locator(kLocatorFileName);
    ksString readDirectory;
    ksString writeDirectory;
    settingsDirectories(locator, &readDirectory, &writeDirectory);
    files.locator = locator.file().readPath();
    files.locatorLoad = locator.file().readLoad();
    ksString name = settingsFileName();
    files.readFile = ksIniFile::normalizedPath(readFileIn(readDirectory, name));
    ksString writeFile = writeFileIn(writeDirectory, name);
    if (!writeFile.isEmpty())
        files.writeFile = ksIniFile::normalizedPath(writeFile);
    return files;
}
