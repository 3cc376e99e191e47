// POSIX executable path, folder tokens and process id: /proc/self/exe and the XDG
// directories stand in for the Windows shell folders.
#include "platform/platform.h"
#include <pthread.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <string>
#include <unistd.h>

namespace ksPlatform {

namespace {

char* heapCopy(const std::string& text) {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy)
        std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

bool homeFolder(std::string* home) {
    const char* variable = std::getenv("HOME");
    if (variable && *variable) {
        *home = variable;
        return true;
    }
    struct passwd entry;
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) != 0 || !found ||
        !found->pw_dir)
        return false;
    *home = found->pw_dir;
    return true;
}

bool configFolder(const std::string& home, std::string* folder) {
    const char* variable = std::getenv("XDG_CONFIG_HOME");
    *folder = (variable && *variable == '/') ? std::string(variable) : home + "/.config";
    return true;
}

// Reads XDG_<name>_DIR="$HOME/..." or "/..." from user-dirs.dirs, as xdg-user-dirs writes it.
bool userDirsEntry(const std::string& home, const char* name, std::string* folder) {
    std::string config;
    configFolder(home, &config);
    FILE* file = std::fopen((config + "/user-dirs.dirs").c_str(), "re");
    if (!file)
        return false;
    std::string prefix = std::string("XDG_") + name + "_DIR=\"";
    char line[4096];
    bool found = false;
    while (!found && std::fgets(line, sizeof line, file)) {
        std::string text(line);
        if (text.compare(0, prefix.size(), prefix) != 0)
            continue;
        size_t close = text.find('"', prefix.size());
        if (close == std::string::npos)
            continue;
        std::string value = text.substr(prefix.size(), close - prefix.size());
        if (value.compare(0, 5, "$HOME") == 0)
            value = home + value.substr(5);
        if (!value.empty() && value[0] == '/') {
            *folder = value;
            found = true;
        }
    }
    std::fclose(file);
    return found;
}

bool userFolder(const char* xdgName, const char* fallback, std::string* folder) {
    std::string home;
    if (!homeFolder(&home))
        return false;
    if (!userDirsEntry(home, xdgName, folder))
        *folder = home + "/" + fallback;
    return true;
}

} // namespace

char* executablePath() {
    std::string buffer(256, '\0');
    for (;;) {
        ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length <= 0)
            return nullptr;
        if (static_cast<size_t>(length) < buffer.size()) {
            buffer.resize(static_cast<size_t>(length));
            return heapCopy(buffer);
        }
        if (buffer.size() > (size_t{1} << 20))
            return nullptr;
        buffer.resize(buffer.size() * 2);
    }
}

char* folderPath(Folder folder) {
    std::string path;
    std::string home;
    bool known = false;
    switch (folder) {
    case Folder::myAppData: {
        const char* variable = std::getenv("XDG_CONFIG_HOME");
        if (variable && *variable == '/') {
            path = variable;
            known = true;
        } else {
            known = homeFolder(&home) && configFolder(home, &path);
        }
        break;
    }
    case Folder::myMusic:
        known = userFolder("MUSIC", "Music", &path);
        break;
    case Folder::myPictures:
        known = userFolder("PICTURES", "Pictures", &path);
        break;
    case Folder::myVideos:
        known = userFolder("VIDEOS", "Videos", &path);
        break;
    case Folder::allUsersMusic:
        path = "/var/lib/ksLog/Music";
        known = true;
        break;
    case Folder::allUsersPictures:
        path = "/var/lib/ksLog/Pictures";
        known = true;
        break;
    case Folder::allUsersVideos:
        path = "/var/lib/ksLog/Videos";
        known = true;
        break;
    }
    return known ? heapCopy(path) : nullptr;
}

namespace {

// getpid() is a system call, and the system log and JSON layouts name the process in every
// record: the id is kept, and forgotten in a child made by fork().
std::atomic<uint32_t> cachedProcessId{0};

void forgetProcessIdInChild() {
    cachedProcessId.store(0, std::memory_order_relaxed);
}

const bool processForkHandlerInstalled = [] {
    pthread_atfork(nullptr, nullptr, forgetProcessIdInChild);
    return true;
}();

} // namespace

uint32_t currentProcessId() {
    (void)processForkHandlerInstalled;
    uint32_t id = cachedProcessId.load(std::memory_order_relaxed);
    if (id == 0) {
        id = static_cast<uint32_t>(getpid());
        cachedProcessId.store(id, std::memory_order_relaxed);
    }
    return id;
}

} // namespace ksPlatform
