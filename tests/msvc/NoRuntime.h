/* What the test programs take instead of a C runtime: three kernel32 functions, output
 * on the standard output, and the records they receive, written out for comparison.
 * Each program includes this once. */
#ifndef KSLOG_NO_RUNTIME_H
#define KSLOG_NO_RUNTIME_H

#include <stdint.h>
#include "ksLog.h"

#ifdef __cplusplus
extern "C" {
#endif
__declspec(dllimport) void* __stdcall GetStdHandle(uint32_t which);
__declspec(dllimport) int __stdcall WriteFile(void* file, const void* data, uint32_t length,
                                              uint32_t* written, void* overlapped);
__declspec(dllimport) __declspec(noreturn) void __stdcall ExitProcess(uint32_t status);

/* Microsoft's compiler marks a program that uses floating point with this symbol, which the
 * C runtime would otherwise define. */
int _fltused = 0;
#ifdef __cplusplus
}
#endif

static void writeBytes(const char* data, uint64_t length) {
    static void* out;
    uint32_t written;
    if (!out)
        out = GetStdHandle((uint32_t)-11); /* STD_OUTPUT_HANDLE */
    while (length > 0) {
        if (!WriteFile(out, data, (uint32_t)length, &written, 0) || written == 0)
            ExitProcess(3);
        data += written;
        length -= written;
    }
}

static void writeText(const char* text) {
    uint64_t length = 0;
    while (text[length])
        ++length;
    writeBytes(text, length);
}

static void writeNumber(uint64_t value) {
    char digits[20];
    int count = 0;
    do {
        digits[sizeof digits - 1 - count++] = (char)('0' + value % 10);
        value /= 10;
    } while (value);
    writeBytes(digits + sizeof digits - count, (uint64_t)count);
}

static int expectedUser;

/* Writes what the callback sink hands over: the record's fields, then its text between
 * the lines. The source file is written from its last '/' on, so that where the program
 * was compiled does not matter. */
static void receive(void* user, ksLogRecord* record, const char* text, uint64_t length) {
    const char* file = record->file ? record->file : "(none)";
    const char* name = file;
    for (; *file; ++file)
        if (*file == '/')
            name = file + 1;
    writeText("record level=");
    writeNumber(record->level);
    writeText(" module=");
    writeNumber(record->module);
    writeText(" file=");
    writeText(name);
    writeText(" line=");
    writeNumber((uint64_t)record->line);
    writeText(user == &expectedUser ? " user=ok" : " user=WRONG");
    writeText(" length=");
    writeNumber(length);
    writeText("\n");
    writeBytes(text, length);
    writeText("<end>\n");
}

#endif
