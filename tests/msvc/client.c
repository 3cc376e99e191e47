/* A C application of Microsoft's toolchain, without a C runtime, using the C interface of
 * kslog.dll through kslog.lib: every append function, the exported level, the callback
 * sink's registration, and the record's fields written by the caller. */
#include <stddef.h>
#include "NoRuntime.h"

_Static_assert(sizeof(ksLogRecord) == 96 && offsetof(ksLogRecord, file) == 8 &&
                   offsetof(ksLogRecord, line) == 16 && offsetof(ksLogRecord, buffer) == 72,
               "ksLogRecord is laid out as the library lays it out");

enum { module = 1000 };

/* The argument list reaches the library as Microsoft's compiler builds it. */
static void appendForwarded(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    ksLog_Append_VF(format, arguments);
    va_end(arguments);
}

static const unsigned char packet[] = {0x02, 'O', 'R', 'D', 0x00, 0x12, 0x67, 'h', 'e', 'l',
                                       'l',  'o', ' ', 'w', 'o',  'r',  'l',  'd', 0x03};
static const ksLogUnit name[] = {'J', 0x00FC, 'r', 'g', 'e', 'n', ' ', 0x4E2D, 0x6587};
static const wchar_t place[] = L"caf\u00e9";

void start(void) {
    ksLogRecord* record;
    ksLog_SetLogFunc(KSLOG_THRESHOLD_ALL, receive, &expectedUser);
    writeText("level limit ");
    writeNumber(KSLOG_CURRENT_LEVEL());
    writeText(", will log ");
    writeNumber((uint64_t)ksLog_WillLog(KSLOG_LEVEL_INFO, module));
    writeText("\n");

    KSLOG_INFO(module, "order %d for %s: %.2f EUR, %lld items\n", 42, "ACME", 12.5, -3ll);
    KSLOG_WARNING(2000, "%05u|%-4s|%x|%ls|%c\n", 7u, "ab", 255u, place, 0xE9);

    record = ksLog_Begin(KSLOG_LEVEL_ERROR, module);
    if (record) {
        record->file = "..\\orders\\book.c";
        record->line = 7;
        ksLog_Append_F("part one, ");
        ksLog_Append_FN("part %s", "two");
        appendForwarded("%s %u\n", "forwarded", 3u);
        ksLog_End(record);
    }
    KSLOG_HEX(KSLOG_LEVEL_DEBUG, module, packet, sizeof packet);
    KSLOG_WIDE(KSLOG_LEVEL_INFO, module, name, sizeof name / sizeof name[0]);

    /* Registered again with a lower threshold: info records are no longer delivered. */
    ksLog_SetLogFunc(KSLOG_THRESHOLD_WARNING, receive, &expectedUser);
    KSLOG_INFO(module, "not delivered\n");
    KSLOG_ERROR(module, "limit %u\n", (unsigned)KSLOG_CURRENT_LEVEL());
    ksLog_SetLogFunc(KSLOG_THRESHOLD_OFF, receive, 0);
    KSLOG_ERROR(module, "not delivered either\n");
    ksLog_Term();
    writeText("done\n");
    ExitProcess(0);
}
