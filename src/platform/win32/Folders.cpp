// Win32 executable path, shell folders behind the path tokens, and the process id.
#include "platform/platform.h"
#include <windows.h>
#include <shlobj.h>
#include "platform/win32/Utf16.h"

namespace ksPlatform {

namespace {

// The executable path buffer: a path that fills it counts as not obtained.
constexpr DWORD kExecutablePathUnits = 1040;

int csidlOf(Folder folder) {
    switch (folder) {
    case Folder::myAppData:
        return 26;
    case Folder::myMusic:
        return 13;
    case Folder::myPictures:
        return 39;
    case Folder::myVideos:
        return 14;
    case Folder::allUsersMusic:
        return 53;
    case Folder::allUsersPictures:
        return 54;
    case Folder::allUsersVideos:
        return 55;
    }
    return -1;
}

} // namespace

char* executablePath() {
    wchar_t buffer[kExecutablePathUnits];
    DWORD length = GetModuleFileNameW(nullptr, buffer, kExecutablePathUnits);
    if (length == 0 || length >= kExecutablePathUnits)
        return nullptr;
    buffer[length] = L'\0';
    return utf8FromUtf16(buffer);
}

char* folderPath(Folder folder) {
    int csidl = csidlOf(folder);
    if (csidl < 0)
        return nullptr;
    // SHGetFolderPathW writes at most MAX_PATH units by its contract.
    wchar_t buffer[MAX_PATH + 1] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, buffer)))
        return nullptr;
    buffer[MAX_PATH] = L'\0';
    return utf8FromUtf16(buffer);
}

uint32_t currentProcessId() {
    return GetCurrentProcessId();
}

} // namespace ksPlatform
