// The process-wide options and the shared format buffer.
#include "core/Options.h"
#include <cstdlib>
#include "config/Settings.h"
#include "core/Library.h"

ksLoggerOptions ksOptions;

namespace {

constexpr int32_t minimumBufferSize = 1024;
constexpr int32_t maximumBufferSize = 0x6400000; // 100 MiB

} // namespace

// Populate mode is set before the other options are read, so that in populate mode
// their defaults are written back. "populate" itself is read with the mode off, also
// when a run before ksLog_Term left it on: written back, it would shadow the read
// file's value for good.
void loadOptions() {
    ksOptions.populate = false;
    ksOptions.populate = ksReadIntSetting("options", "populate", 0, false, true) != 0;
    if (ksOptions.populate)
        ksOptions.populateDefaults = 1;
    int32_t configured =
        ksReadIntSetting("options", "max_len_logger", minimumBufferSize, ksOptions.populate, true);
    int32_t size = sharedBufferSize(configured);
    // Plain malloc: without a buffer the library still runs, formatted text is dropped.
    ksTheRecord.buffer = static_cast<char*>(std::malloc(static_cast<size_t>(size)));
    ksTheRecord.bufferSize = ksTheRecord.buffer ? size : 0;
    ksString date = ksReadSetting("options", "date", ksString("off"), ksOptions.populate, true);
    ksOptions.showDate = date.compare("off") == 0 ? 0 : 1;
    ksOptions.loaded = 1;
}

int32_t sharedBufferSize(int32_t configured) {
    if (configured > maximumBufferSize)
        return maximumBufferSize;
    return configured < minimumBufferSize ? minimumBufferSize : configured;
}

void releaseSharedBuffer() {
    if (!ksOptions.loaded || !ksTheRecord.buffer)
        return;
    ksOptions.loaded = 0;
    std::free(ksTheRecord.buffer);
    ksTheRecord.buffer = nullptr;
}
