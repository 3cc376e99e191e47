// Windows: the narrow argv is in the ANSI code page, so the arguments are taken from the
// UTF-16 command line.
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

void readInputAsBinary() {
    _setmode(_fileno(stdin), _O_BINARY);
}
