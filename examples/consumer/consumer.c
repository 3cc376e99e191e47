/* A program outside ksLog's source tree that uses the installed library: it registers a
 * callback, writes one record and checks that the record reached the callback. Built with
 * CMake (CMakeLists.txt, find_package) or make (Makefile, pkg-config). */
#include <ksLog.h>
#include <stdio.h>
#include <string.h>

static char delivered[256];

static void keepText(void* user, ksLogRecord* record, const char* text, uint64_t length) {
    size_t kept = length < sizeof delivered - 1 ? (size_t)length : sizeof delivered - 1;
    (void)user;
    (void)record;
    memcpy(delivered, text, kept);
    delivered[kept] = '\0';
}

int main(void) {
    ksLog_SetLogFunc(KSLOG_THRESHOLD_ALL, keepText, NULL);
    /* Modules from 256 up are always on; those below need their switch in the settings. */
    KSLOG_INFO(1000, "hello from %s\n", "the consumer");
    ksLog_Term();
    if (strstr(delivered, "hello from the consumer") == NULL) {
        fprintf(stderr, "consumer: the record did not reach the callback\n");
        return 1;
    }
    printf("consumer: %s", delivered);
    return 0;
}
