// Windows: the narrow argv is in the ANSI code page, so the arguments are taken from the
// UTF-16 command line; the executable's path comes from the loader.
#include "Host.h"
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>
#include <shellapi.h>

namespace {

std::string utf8(const wchar_t* text, int count) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text, count, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, count, out.data(), size, nullptr, nullptr);
    return out;
}

} // namespace

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(utf8(wide[i], lstrlenW(wide[i])));
    LocalFree(wide);
    return arguments;
}

std::string executablePath() {
    wchar_t path[32768];
    DWORD length = GetModuleFileNameW(nullptr, path, sizeof path / sizeof path[0]);
    if (length == 0 || length >= sizeof path / sizeof path[0])
        return {};
    return utf8(path, static_cast<int>(length));
}

void readInputAsBinary() {
    _setmode(_fileno(stdin), _O_BINARY);
}
