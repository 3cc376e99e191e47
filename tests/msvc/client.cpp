// A C++ application of Microsoft's toolchain, without a C runtime: ksLogDuration from
// kslog.dll through kslog.lib (constructor, destructor, assignment, ksLogDuration_F), beside
// the C interface.
#include <stddef.h>
#include "NoRuntime.h"

// The application allocates the object; the library's static_asserts check the same figures.
static_assert(sizeof(ksLogDuration) == 32 && alignof(ksLogDuration) == 8,
              "ksLogDuration takes the storage the library expects");
static_assert(sizeof(ksLogRecord) == 96 && offsetof(ksLogRecord, line) == 16,
              "ksLogRecord is laid out as the library lays it out");

// The constructor under its decorated name, called as a plain function to see what it
// returns: Microsoft's convention is the object's address, which optimised callers use in
// place of the one they passed.
extern "C" __declspec(dllimport) void* constructDuration(
    void* self, uint16_t level, uint16_t module, int kind,
    const char* text) __asm__("??0ksLogDuration@@QEAA@GGHPEBD@Z");

namespace {

constexpr uint16_t module = 1000;

void timedScope() {
    KSLOG_DURATION(KSLOG_LEVEL_INFO, module, KSLOG_LOADING, "catalogue %s", "spring");
    KSLOG_INFO(module, "inside\n");
}

void assignedOperation() {
    ksLogDuration first(KSLOG_LEVEL_INFO, module, KSLOG_STARTING,
                        ksLogDuration::ksLogDuration_F("first"));
    {
        ksLogDuration second(KSLOG_LEVEL_INFO, module, KSLOG_STOPPING,
                             ksLogDuration::ksLogDuration_F("%s #%d", "second", 2));
        first = second; // both end records name the second operation
    }
}

void constructorResult() {
    // Called through a pointer the compiler cannot see through: knowing the convention, it
    // would otherwise take the result to be the address it passed.
    void* (*volatile construct)(void*, uint16_t, uint16_t, int, const char*) = constructDuration;
    alignas(ksLogDuration) unsigned char storage[sizeof(ksLogDuration)];
    void* result = construct(storage, KSLOG_LEVEL_INFO, module, KSLOG_RUNNING,
                             ksLogDuration::ksLogDuration_F("direct"));
    writeText(result == storage ? "constructor returns the object\n"
                                : "constructor returns something else\n");
    reinterpret_cast<ksLogDuration*>(storage)->~ksLogDuration();
}

} // namespace

extern "C" void start() {
    ksLog_SetLogFunc(KSLOG_THRESHOLD_ALL, receive, &expectedUser);
    timedScope();
    { KSLOG_DURATION(KSLOG_LEVEL_WARNING, module, KSLOG_PERFORMING, "backup %d", 3); }
    assignedOperation();
    { ksLogDuration untitled(KSLOG_LEVEL_ERROR, module, KSLOG_UNLOADING, nullptr); }
    constructorResult();
    // Not wanted: the macro formats no text and neither record is written.
    ksLog_SetLogFunc(KSLOG_THRESHOLD_WARNING, receive, &expectedUser);
    { KSLOG_DURATION(KSLOG_LEVEL_INFO, module, KSLOG_STARTING, "%s", "unwanted"); }
    ksLog_Term();
    writeText("done\n");
    ExitProcess(0);
}
