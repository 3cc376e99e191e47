// The library's unload hook, apart from the rest of the platform layer so that a program
// may link the layer without the core that defines onLibraryUnload.
#include "platform/platform.h"

// Runs when the shared library is unloaded or the process exits normally.
__attribute__((destructor)) static void libraryUnloading() {
    ksPlatform::onLibraryUnload();
}
