// The debugger's output: OutputDebugStringW, which takes UTF-16.
#include <cstdlib>
#include <windows.h>
#include "platform/platform.h"

namespace ksPlatform {

bool hasDebuggerOutput() {
    return true;
}

// Short texts are converted on the stack; a longer one in a heap block of its size.
void writeDebuggerOutput(const char* text, size_t length) {
    if (length == 0 || length > 0x7FFFFFFF)
        return;
    int count = static_cast<int>(length);
    wchar_t onStack[1024];
    wchar_t* wide = onStack;
    int needed = MultiByteToWideChar(CP_UTF8, 0, text, count, nullptr, 0);
    if (needed <= 0)
        return;
    if (static_cast<size_t>(needed) >= sizeof onStack / sizeof onStack[0]) {
        wide = static_cast<wchar_t*>(std::malloc((static_cast<size_t>(needed) + 1) * sizeof *wide));
        if (!wide)
            return;
    }
    int converted = MultiByteToWideChar(CP_UTF8, 0, text, count, wide, needed);
    wide[converted > 0 ? converted : 0] = L'\0';
    OutputDebugStringW(wide);
    if (wide != onStack)
        std::free(wide);
}

} // namespace ksPlatform
