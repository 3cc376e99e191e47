// Windows side of opening output files: FILE_FLAG_OPEN_REPARSE_POINT opens a link itself
// instead of its target, and the file's attributes then show it so that it is refused.
#include "../OutputFile.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

namespace {

HANDLE openHandle(const std::string& path, DWORD disposition) {
    return CreateFileA(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

std::string systemMessage(DWORD code) {
    char text[256] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n'))
        text[--length] = '\0';
    return length ? text : "error " + std::to_string(code);
}

bool isPlainFile(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION information{};
    return GetFileType(handle) == FILE_TYPE_DISK &&
           GetFileInformationByHandle(handle, &information) &&
           !(information.dwFileAttributes &
             (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY));
}

} // namespace

std::FILE* openOutputFile(const std::string& path, std::string& error) {
    HANDLE handle = openHandle(path, CREATE_NEW);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS)
        handle = openHandle(path, OPEN_EXISTING);
    if (handle == INVALID_HANDLE_VALUE) {
        error = systemMessage(GetLastError());
        return nullptr;
    }
    if (!isPlainFile(handle)) {
        CloseHandle(handle);
        error = "not a regular file";
        return nullptr;
    }
    int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_APPEND | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        error = "no descriptor left";
        return nullptr;
    }
    std::FILE* file = _fdopen(descriptor, "ab");
    if (!file) {
        _close(descriptor);
        error = "cannot open a stream";
    }
    return file;
}
