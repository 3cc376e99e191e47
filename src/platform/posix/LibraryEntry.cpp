// The library's unload hook: run when the shared library is unloaded or the process
// exits normally, if the core registered one.
#include "platform/platform.h"
#include <atomic>

namespace {

std::atomic<void (*)()> unloadHook{nullptr};

__attribute__((destructor)) void libraryUnloading() {
    if (void (*hook)() = unloadHook.load(std::memory_order_acquire))
        hook();
}

} // namespace

void ksPlatform::setUnloadHook(void (*hook)()) {
    unloadHook.store(hook, std::memory_order_release);
}
