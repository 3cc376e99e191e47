// The table through which the sinks and the settings files' saving reach the system: the same on every platform, filled
// with the platform's own calls.
#include <cstdio>
#include "platform/platform.h"

namespace ksPlatform {

RecordCalls recordCalls = {writeLogFile,          writeStandardStream, flushStandardStream,
                           sendBytes,             wallClockMicroseconds, writeFile,
                           flushFile,             closeFile};

} // namespace ksPlatform
