// Choosing the system log or the debugger from the "File" setting.
#include "sinks/Destinations.h"
#include <cstdio>
#include <cstring>
#include "core/Logger.h"
#include "core/SyslogMessage.h"
#include "platform/platform.h"
#include "sinks/DebuggerOutput.h"
#include "sinks/SyslogOutput.h"

namespace {

constexpr char kSyslogName[] = "syslog";
constexpr char kSyslogPrefix[] = "syslog:";
constexpr char kDebuggerName[] = "debugger";

bool startsWith(const char* name, const char* prefix) {
    return std::strncmp(name, prefix, std::strlen(prefix)) == 0;
}

} // namespace

bool isDestinationName(const char* name) {
    return std::strcmp(name, kSyslogName) == 0 || startsWith(name, kSyslogPrefix) ||
           std::strcmp(name, kDebuggerName) == 0;
}

ksLogOutput* openDestination(ksLogger* sink, const char* name) {
    if (std::strcmp(name, kDebuggerName) == 0)
        return new ksDebuggerOutput;
    const char* path =
        startsWith(name, kSyslogPrefix) ? name + std::strlen(kSyslogPrefix) : kSystemLogSocket;
    int32_t facility = syslogFacility(sink->getOwnSetting("Facility", "user"));
    return new ksSyslogOutput(path, facility >= 0 ? facility : kSyslogFacilityUser);
}

bool refuseDestination(const char* name) {
    if (std::strcmp(name, kDebuggerName) != 0 || ksPlatform::hasDebuggerOutput())
        return false;
    std::fputs("ksFileLogger: File=debugger needs Windows; the file sink writes nothing\n", stderr);
    return true;
}
