// An application that receives its own log records through a callback: formatted
// records, a hex dump, wide text and the timing of an operation.
#include <chrono>
#include <cstdio>
#include <thread>
#include "ksLog.h"

namespace {

// Modules below 256 are switched on per sink in the settings files; this program uses
// its own identifiers from 256 up, which every sink accepts.
constexpr uint16_t moduleOrders = 1000;
constexpr uint16_t moduleStock = 1001;

const char* levelName(uint16_t level) {
    switch (level) {
    case KSLOG_LEVEL_ERROR:
        return "error";
    case KSLOG_LEVEL_WARNING:
        return "warning";
    case KSLOG_LEVEL_INFO:
        return "info";
    default:
        return "debug";
    }
}

// Called with the library's lock held: keep it short and do not log from here.
void printRecord(void* user, ksLogRecord* record, const char* text, uint64_t length) {
    const char* application = static_cast<const char*>(user);
    const char* file = record->file ? record->file : "?";
    std::printf("[%s %s module %u %s:%d] %.*s", application, levelName(record->level),
                record->module, file, record->line, static_cast<int>(length), text);
    if (length == 0 || text[length - 1] != '\n')
        std::printf("\n");
}

} // namespace

int main() {
    static char application[] = "orders";
    ksLog_SetLogFunc(KSLOG_THRESHOLD_ALL, printRecord, application);

    KSLOG_INFO(moduleOrders, "user %s placed order %d worth %.2f EUR\n", "ann", 4711, 129.5);
    KSLOG_WARNING(moduleStock, "stock of item %s is low: %d left\n", "A-17", 3);
    KSLOG_ERROR(moduleStock, "warehouse %d does not answer\n", 2);
    KSLOG_DEBUG(moduleOrders, "a record without a newline");

    const unsigned char packet[] = {0x02, 'O', 'R', 'D', 0x00, 0x12, 0x67, 0x7F, 0x80, 'h',
                                    'e',  'l', 'l', 'o', ' ',  'w',  'o',  'r',  0x03};
    KSLOG_HEX(KSLOG_LEVEL_DEBUG, moduleOrders, packet, sizeof packet);

    const ksLogUnit customer[] = {'J', 0x00FC, 'r', 'g', 'e', 'n', ' ', 0x4E2D, 0x6587};
    KSLOG_WIDE(KSLOG_LEVEL_INFO, moduleOrders, customer, sizeof customer / sizeof customer[0]);

    {
        KSLOG_DURATION(KSLOG_LEVEL_INFO, moduleStock, KSLOG_LOADING, "catalogue %s", "spring");
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }

    // Only errors from now on: the info record is refused by one comparison.
    ksLog_SetLogFunc(KSLOG_THRESHOLD_ERROR, printRecord, application);
    KSLOG_INFO(moduleOrders, "not delivered\n");
    KSLOG_ERROR(moduleOrders, "delivered: level %u is below the threshold\n", KSLOG_LEVEL_ERROR);

    ksLog_SetLogFunc(KSLOG_THRESHOLD_OFF, printRecord, nullptr);
    ksLog_Term();
    return 0;
}
