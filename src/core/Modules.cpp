// The module table: a name and a default switch for identifiers 0 to 122 and 200,
// the subsystems of the applications that log through the library.
#include "core/Modules.h"

namespace {

struct ModuleEntry {
    const char* name;
    int32_t defaultOn; // traces that flood a log start switched off
};

const ModuleEntry modules[] = {
    {"GENERAL", 1},         // 0
    {"STARTUP", 1},         // 1
    {"SHUTDOWN", 1},        // 2
    {"CONFIG", 1},          // 3
    {"TRACE", 0},           // 4
    {"NETWORK", 1},         // 5
    {"SOCKET", 1},          // 6
    {"HTTP", 1},            // 7
    {"HTTPS", 1},           // 8
    {"TLS", 1},             // 9
    {"DNS", 1},             // 10
    {"PROXY", 1},           // 11
    {"DATABASE", 1},        // 12
    {"SQL", 1},             // 13
    {"CACHE", 1},           // 14
    {"STORAGE", 1},         // 15
    {"FILESYSTEM", 1},      // 16
    {"IMPORT", 1},          // 17
    {"EXPORT", 1},          // 18
    {"SCHEDULER", 1},       // 19
    {"TIMER", 0},           // 20
    {"THREADPOOL", 1},      // 21
    {"MEMORY", 0},          // 22
    {"LICENSE", 1},         // 23
    {"UPDATE", 1},          // 24
    {"INSTALLER", 1},       // 25
    {"SECURITY", 1},        // 26
    {"AUTH", 1},            // 27
    {"SESSION", 1},         // 28
    {"USER", 1},            // 29
    {"PERMISSIONS", 1},     // 30
    {"AUDIT", 1},           // 31
    {"UI", 1},              // 32
    {"WINDOW", 1},          // 33
    {"DIALOG", 1},          // 34
    {"RENDER", 1},          // 35
    {"FONT", 1},            // 36
    {"PRINT", 1},           // 37
    {"CLIPBOARD", 1},       // 38
    {"DRAGDROP", 1},        // 39
    {"AUDIO", 1},           // 40
    {"VIDEO", 1},           // 41
    {"CODEC", 1},           // 42
    {"CAPTURE", 1},         // 43
    {"PLAYBACK", 1},        // 44
    {"STREAMING", 1},       // 45
    {"TRANSCODE", 1},       // 46
    {"METADATA", 1},        // 47
    {"THUMBNAIL", 1},       // 48
    {"SEARCH", 1},          // 49
    {"INDEXER", 1},         // 50
    {"CATALOGUE", 1},       // 51
    {"SYNC", 1},            // 52
    {"PROTOCOL_DUMP", 0},   // 53
    {"PACKET_TRACE", 0},    // 54
    {"LOCK_TRACE", 0},      // 55
    {"ALLOC_TRACE", 0},     // 56
    {"PLUGIN", 1},          // 57
    {"SCRIPTING", 1},       // 58
    {"MACRO", 1},           // 59
    {"REPORTING", 1},       // 60
    {"STATISTICS", 1},      // 61
    {"TELEMETRY", 1},       // 62
    {"CRASH_HANDLER", 1},   // 63
    {"WATCHDOG", 1},        // 64
    {"SERVICE_CONTROL", 1}, // 65
    {"IPC", 1},             // 66
    {"RPC", 1},             // 67
    {"MESSAGE_QUEUE", 1},   // 68
    {"EVENT_BUS", 1},       // 69
    {"NOTIFICATION", 1},    // 70
    {"MAIL", 1},            // 71
    {"SMS", 1},             // 72
    {"PUSH", 1},            // 73
    {"CALENDAR", 1},        // 74
    {"CONTACTS", 1},        // 75
    {"DEVICE", 1},          // 76
    {"USB", 1},             // 77
    {"BLUETOOTH", 1},       // 78
    {"SERIAL", 1},          // 79
    {"PRINTER_SPOOLER", 1}, // 80
    {"SCANNER", 1},         // 81
    {"CAMERA", 1},          // 82
    {"SENSOR", 1},          // 83
    {"GPS", 1},             // 84
    {"POWER", 1},           // 85
    {"BATTERY", 1},         // 86
    {"DISPLAY", 1},         // 87
    {"INPUT", 1},           // 88
    {"KEYBOARD", 1},        // 89
    {"MOUSE", 1},           // 90
    {"TOUCH", 1},           // 91
    {"GESTURE", 1},         // 92
    {"ACCESSIBILITY", 1},   // 93
    {"LOCALIZATION", 1},    // 94
    {"RESOURCES", 1},       // 95
    {"HELP", 1},            // 96
    {"TUTORIAL", 1},        // 97
    {"PREFERENCES", 1},     // 98
    {"PROFILE", 1},         // 99
    {"BACKUP", 1},          // 100
    {"RESTORE", 1},         // 101
    {"ARCHIVE", 1},         // 102
    {"COMPRESSION", 1},     // 103
    {"ENCRYPTION", 1},      // 104
    {"SIGNATURE", 1},       // 105
    {"CERTIFICATE", 1},     // 106
    {"KEYSTORE", 1},        // 107
    {"BILLING", 1},         // 108
    {"LICENSE_SERVER", 1},  // 109
    {"CLOUD", 1},           // 110
    {"UPLOAD", 1},          // 111
    {"DOWNLOAD", 1},        // 112
    {"MIRROR", 1},          // 113
    {"REPLICATION", 1},     // 114
    {"CLUSTER", 1},         // 115
    {"LOAD_BALANCER", 1},   // 116
    {"HEALTH_CHECK", 1},    // 117
    {"DIAGNOSTICS", 1},     // 118
    {"SELF_TEST", 1},       // 119
    {"MAINTENANCE", 1},     // 120
    {"MIGRATION", 1},       // 121
    {"COMPATIBILITY", 1},   // 122
};
static_assert(sizeof modules / sizeof modules[0] == 123, "identifiers 0 to 122");

const ModuleEntry customModule = {"CUSTOM", 1}; // 200: an application's own records

} // namespace

const char* moduleName(uint16_t id, int32_t* defaultOn) {
    const ModuleEntry* entry = nullptr;
    if (id < sizeof modules / sizeof modules[0])
        entry = &modules[id];
    else if (id == 200)
        entry = &customModule;
    if (!entry)
        return nullptr;
    if (defaultOn)
        *defaultOn = entry->defaultOn;
    return entry->name;
}
