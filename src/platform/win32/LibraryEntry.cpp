// The DLL's entry point and the unload hook it runs at detach, if the core registered one.
#include "platform/platform.h"
#include <windows.h>
#include <atomic>

namespace {

std::atomic<void (*)()> unloadHook{nullptr};

} // namespace

void ksPlatform::setUnloadHook(void (*hook)()) {
    unloadHook.store(hook, std::memory_order_release);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        // No per-thread state: thread attach and detach notifications are not needed.
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        if (void (*hook)() = unloadHook.load(std::memory_order_acquire))
            hook();
    }
    return TRUE;
}
