// The file sink's destinations besides log files and the standard streams, named by its
// "File" setting: "syslog" (the system log's socket /dev/log), "syslog:" and the path of
// another socket, and "debugger" (the debugger's output, Windows only).
#pragma once
#include "sinks/LogOutput.h"

class ksLogger;

// True when name designates one of these destinations.
bool isDestinationName(const char* name);
// The destination's output, with its own settings ("Facility") read through the sink.
// Release with delete.
ksLogOutput* openDestination(ksLogger* sink, const char* name);
// True, after one line on the standard error stream, when name designates a destination
// that this system does not have: the debugger outside Windows.
bool refuseDestination(const char* name);
