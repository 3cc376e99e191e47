// A tour of the record interface, for a program whose settings file turns the sinks on:
// records at every level and in several modules, a record built from several appends,
// a hex dump, wide text and timed operations. Where the records go (a log file, the
// console, a log collector) is decided by the settings, not by this code.
#include <chrono>
#include <cstdio>
#include <thread>
#include "ksLog.h"

namespace {

// Identifiers below 256 are named modules with a switch per sink ("LOG_" + name in the
// settings); 4 (TRACE) starts switched off. From 256 up a module is always on.
constexpr uint16_t moduleStartup = 1;
constexpr uint16_t moduleTrace = 4;
constexpr uint16_t moduleNetwork = 5;
constexpr uint16_t moduleDatabase = 12;
constexpr uint16_t moduleOrders = 1000;

void recordsAtEveryLevel() {
    KSLOG_INFO(moduleStartup, "tour %s starting, build %d\n", "v1", 42);
    KSLOG_ERROR(moduleDatabase, "connection to %s refused (attempt %d of %d)\n", "db1", 3, 3);
    KSLOG_WARNING(moduleNetwork, "round trip %.1f ms is above the %u ms budget\n", 182.4, 150u);
    KSLOG_INFO(moduleOrders, "order %d for %s: %.2f EUR\n", 4711, "Jürgen", 129.5);
    KSLOG_DEBUG(moduleOrders, "cache hit ratio %5.1f%%\n", 97.25);
    KSLOG_WRITE(7, moduleOrders, "a level-7 record: a debug record too (D), below Level=Debug\n");
    KSLOG_DEBUG(moduleTrace, "module TRACE is off unless LOG_TRACE=1: not written\n");
}

// One record built from several appends; the record's source position is the caller's.
void recordFromParts() {
    if (ksLogRecord* record = ksLog_Begin(KSLOG_LEVEL_INFO, moduleOrders)) {
        record->file = __FILE__;
        record->line = __LINE__;
        ksLog_Append_F("basket:");
        for (int item = 1; item <= 3; ++item)
            ksLog_Append_F(" item%d=%s", item, item == 2 ? "tea" : "cake");
        ksLog_Append_FN(" (%d items)", 3); // FN adds the newline
        ksLog_End(record);
    }
}

void hexDumpAndWideText() {
    const unsigned char packet[] = {0x02, 'O', 'R', 'D', 0x00, 0x12, 0x67, 0x7F, 0x80, 'h',
                                    'e',  'l', 'l', 'o', ' ',  'w',  'o',  'r',  0x03};
    KSLOG_HEX(KSLOG_LEVEL_DEBUG, moduleNetwork, packet, sizeof packet);

    // Wide text arrives as UTF-16 and is written with \uXXXX for anything beyond ASCII.
    const ksLogUnit customer[] = {'J', 0x00FC, 'r', 'g', 'e', 'n', ' ', 0x4E2D, 0x6587};
    if (ksLogRecord* record = ksLog_Begin(KSLOG_LEVEL_INFO, moduleOrders)) {
        ksLog_Append_F("customer: ");
        ksLog_Append_U(customer, sizeof customer / sizeof customer[0]);
        ksLog_Append_F("\n");
        ksLog_End(record);
    }
}

void timedOperations() {
    {
        KSLOG_DURATION(KSLOG_LEVEL_INFO, moduleDatabase, KSLOG_LOADING, "catalogue %s", "spring");
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    {
        // The class itself, without the macro; kind PERFORMING writes only the end record.
        ksLogDuration sync(KSLOG_LEVEL_INFO, moduleOrders, KSLOG_PERFORMING,
                           ksLogDuration::ksLogDuration_F("sync of %d orders", 12));
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
}

} // namespace

int main() {
    recordsAtEveryLevel();
    recordFromParts();
    hexDumpAndWideText();
    timedOperations();
    KSLOG_INFO(moduleStartup, "tour done\n");
    ksLog_Term(); // closes the log file and the collector connection
    std::printf("example_tour: records written; the settings decide where they went\n");
    return 0;
}
