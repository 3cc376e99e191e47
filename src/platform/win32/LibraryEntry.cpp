// The DLL's entry point, apart from the rest of the platform layer so that a program may
// link the layer without the core that defines onLibraryUnload.
#include "platform/platform.h"
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        // No per-thread state: thread attach and detach notifications are not needed.
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        ksPlatform::onLibraryUnload();
    }
    return TRUE;
}
