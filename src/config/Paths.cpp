// Path normalisation: folder tokens, relative paths against the executable's directory,
// separators, trailing separators and the long-path prefix. Portable: the platform only
// supplies the executable path, the folders and which rules apply.
#include "config/Paths.h"
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include "platform/platform.h"

namespace {

struct FolderToken {
    const char* name;
    ksPlatform::Folder folder;
};

// Searched in this order: a shortened token takes the first name that begins with it.
constexpr FolderToken kFolderTokens[] = {
    {"MyAppData", ksPlatform::Folder::myAppData},
    {"MyMusic", ksPlatform::Folder::myMusic},
    {"MyPictures", ksPlatform::Folder::myPictures},
    {"MyVideos", ksPlatform::Folder::myVideos},
    {"AllUsersMusic", ksPlatform::Folder::allUsersMusic},
    {"AllUsersPictures", ksPlatform::Folder::allUsersPictures},
    {"AllUsersVideos", ksPlatform::Folder::allUsersVideos},
};

constexpr char kLongPrefix[] = "\\\\?\\";
constexpr char kLongUncPrefix[] = "\\\\?\\UNC\\";

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

// Takes ownership of a heap C string from the platform.
bool adopt(char* heapText, std::string* text) {
    if (!heapText)
        return false;
    *text = heapText;
    std::free(heapText);
    return true;
}

bool folderOfToken(const std::string& token, std::string* folder) {
    for (const FolderToken& entry : kFolderTokens) {
        if (std::strncmp(token.c_str(), entry.name, token.size()) == 0)
            return adopt(ksPlatform::folderPath(entry.folder), folder);
    }
    return false;
}

bool isAbsolute(ksPathRules rules, const std::string& path) {
    if (path.empty())
        return true;
    if (rules == ksPathRules::posix)
        return path[0] == '/';
    return path[0] != '.' && (path.size() > 1 && (path[1] == ':' || startsWith(path, "\\\\")));
}

// "." and a leading "./" add nothing to the base; ".." stays as a component.
std::string relativePart(const std::string& path) {
    if (path == ".")
        return {};
    if (path.size() >= 2 && path[0] == '.' && isSeparator(path[1]))
        return path.substr(2);
    return path;
}

// Where the components below a Windows root begin: after "C:/" or "\\\\server\\share";
// 0 for any other path.
size_t windowsRootLength(const std::string& path) {
    if (path.size() >= 3 && path[1] == ':' && isSeparator(path[2]))
        return 3;
    if (!startsWith(path, "\\\\"))
        return 0;
    size_t server = path.find_first_of("/\\", 2);
    if (server == std::string::npos)
        return 0;
    size_t share = path.find_first_of("/\\", server + 1);
    return share == std::string::npos ? 0 : share + 1;
}

// The long-path prefix turns off Windows' own resolution of "." and ".." components and
// of doubled separators, so that "C:/Apps/../cfg" would name no folder: resolve them here.
std::string withoutDotComponents(const std::string& path) {
    size_t root = windowsRootLength(path);
    if (root == 0)
        return path;
    std::vector<std::string> parts;
    size_t from = root;
    while (from <= path.size()) {
        size_t end = path.find_first_of("/\\", from);
        if (end == std::string::npos)
            end = path.size();
        std::string part = path.substr(from, end - from);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        from = end + 1;
    }
    std::string result = path.substr(0, root);
    for (size_t i = 0; i < parts.size(); ++i)
        result += (i ? "\\" : "") + parts[i];
    if (!parts.empty() && isSeparator(path.back()))
        result += '\\';
    return result;
}

// Adds the long-path prefix where asked for; returns where separator conversion starts.
size_t addLongPrefix(ksPathRules rules, uint32_t flags, std::string* path) {
    bool hasLongPrefix = startsWith(*path, kLongPrefix);
    if (rules == ksPathRules::windows && (flags & ksPathLongPrefix) && !hasLongPrefix) {
        *path = withoutDotComponents(*path);
        if (startsWith(*path, "\\\\")) {
            *path = kLongUncPrefix + path->substr(2);
            return std::strlen(kLongUncPrefix);
        }
        *path = kLongPrefix + *path;
        return std::strlen(kLongPrefix);
    }
    if (rules == ksPathRules::windows && !hasLongPrefix && startsWith(*path, "\\\\"))
        return 2; // a network path keeps its two leading backslashes
    return 0;
}

void convertSeparators(ksPathRules rules, uint32_t flags, size_t from, std::string* path) {
    bool backslashes = rules == ksPathRules::windows && (flags & ksPathPlatformForm);
    char from_ = backslashes ? '/' : '\\';
    char to = backslashes ? '\\' : '/';
    for (size_t i = from; i < path->size(); ++i) {
        if ((*path)[i] == from_)
            (*path)[i] = to;
    }
}

// Keeps "/" alone and, on Windows, a drive root such as "C:/".
void trimSeparators(ksPathRules rules, std::string* path) {
    while (path->size() > 1 && isSeparator(path->back())) {
        if (rules == ksPathRules::windows && path->size() == 3 && (*path)[1] == ':')
            return;
        path->pop_back();
    }
}

} // namespace

ksPathRules ksPlatformPathRules() {
    return ksPlatform::usesWindowsPaths() ? ksPathRules::windows : ksPathRules::posix;
}

bool ksExecutablePath(ksString* path) {
    std::string text;
    if (!adopt(ksPlatform::executablePath(), &text))
        return false;
    for (char& c : text) {
        if (c == '\\')
            c = '/';
    }
    path->assign(text.data(), text.size());
    return true;
}

namespace {

// The executable's path and the index of its last "/", or false without either.
bool splitExecutablePath(ksString* executable, int64_t* slash) {
    if (!ksExecutablePath(executable))
        return false;
    *slash = executable->findChar('/', true);
    return *slash >= 0;
}

} // namespace

bool ksExecutableDirectory(ksString* path) {
    ksString executable;
    int64_t slash;
    if (!splitExecutablePath(&executable, &slash))
        return false;
    path->assign(executable.c_str(), static_cast<uint64_t>(slash) + 1);
    return true;
}

bool ksExecutableFileName(ksString* name) {
    ksString executable;
    int64_t slash;
    if (!splitExecutablePath(&executable, &slash))
        return false;
    name->assign(executable.c_str() + slash + 1);
    return true;
}

bool ksExpandFolderTokens(const char* path, ksString* expanded) {
    if (!path)
        return false;
    std::string text = path;
    size_t searchFrom = 0;
    for (;;) {
        size_t open = text.find('<', searchFrom);
        if (open == std::string::npos)
            break;
        size_t close = text.find('>', open + 1);
        if (close == std::string::npos || close == open + 1)
            return false;
        std::string folder;
        if (!folderOfToken(text.substr(open + 1, close - open - 1), &folder))
            return false;
        text.replace(open, close - open + 1, folder);
        // Continue after the folder: a "<" inside a folder's path is no token.
        searchFrom = open + folder.size();
    }
    expanded->assign(text.data(), text.size());
    return true;
}

bool ksNormalizePathWith(ksPathRules rules, const char* path, bool trim, uint32_t flags,
                         const char* base, ksString* normalized) {
    ksString expanded;
    if (!ksExpandFolderTokens(path, &expanded))
        return false;
    std::string text(expanded.c_str(), expanded.length());
    if (!isAbsolute(rules, text)) {
        ksString directory;
        if (base)
            directory = base;
        else if (!ksExecutableDirectory(&directory))
            return false;
        text = std::string(directory.c_str(), directory.length()) + relativePart(text);
    }
    size_t convertFrom = addLongPrefix(rules, flags, &text);
    convertSeparators(rules, flags, convertFrom, &text);
    if (trim)
        trimSeparators(rules, &text);
    normalized->assign(text.data(), text.size());
    return true;
}

bool ksNormalizePath(const char* path, bool trim, uint32_t flags, const char* base,
                     ksString* normalized) {
    return ksNormalizePathWith(ksPlatformPathRules(), path, trim, flags, base, normalized);
}
