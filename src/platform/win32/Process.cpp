#include "platform/platform.h"
#include <windows.h>
#include <cstdlib>

namespace ksPlatform {

bool getEnvironment(const char* name, char* buffer, size_t size) {
    if (size == 0 || size > 0xFFFFFFFFu)
        return false;
    DWORD length = GetEnvironmentVariableA(name, buffer, static_cast<DWORD>(size));
    // A value that does not fit returns the size it needs, terminator included.
    return length != 0 && length < size;
}

void exitNow(int status) { _exit(status); }

} // namespace ksPlatform

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        // No per-thread state: thread attach and detach notifications are not needed.
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        ksPlatform::onLibraryUnload();
    }
    return TRUE;
}
