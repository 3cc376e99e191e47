/* ksLog: the process-wide logging library's interface, usable from C and C++.
 *
 * A record is written in three steps on one thread: ksLog_Begin opens it (or returns
 * null when no sink wants it), the ksLog_Append_* functions add text, ksLog_End closes it.
 * Compare a level with _ksLog_Level first to skip a record nobody wants for free. */
#ifndef KSLOG_H
#define KSLOG_H

#include <stdarg.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(KSLOG_BUILDING)
#define KSLOG_API __declspec(dllexport)
#else
#define KSLOG_API __declspec(dllimport)
#endif
#else
#define KSLOG_API __attribute__((visibility("default")))
#endif

#if defined(__GNUC__)
#define KSLOG_PRINTF_LIKE(f, a)
#else
#define KSLOG_PRINTF_LIKE(f, a)
#endif

#ifdef _WIN32
typedef wchar_t ksLogUnit; /* a UTF-16 code unit */
#elif defined(__cplusplus)
typedef char16_t ksLogUnit;
#else
typedef uint_least16_t ksLogUnit;
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The one record of the process. Callers may write file and line after ksLog_Begin. */
typedef struct ksLogRecord {
    uint16_t level;
    uint16_t module;
    const char* file;
    int32_t line;
    char timeText[40];
    uint64_t timeLength;
    char* buffer;
    int32_t bufferSize;
    int32_t textLength;
    const char* format;
} ksLogRecord;

/* An application's callback: text is the record's whole text, length bytes long. */
typedef void (*ksLogFunc)(void* user, ksLogRecord* record, const char* text, uint64_t length);

/* The greatest threshold of all sinks: a record of a level at or above it is refused. */
KSLOG_API extern uint16_t _ksLog_Level;

KSLOG_API int32_t ksLog_Init(void);
KSLOG_API void ksLog_Term(void);
KSLOG_API int32_t ksLog_WillLog(uint16_t level, uint16_t module);
KSLOG_API ksLogRecord* ksLog_Begin(uint16_t level, uint16_t module);
KSLOG_API void ksLog_Append_F(const char* format, ...);
KSLOG_API void ksLog_Append_VF(const char* format, va_list arguments);
KSLOG_API void ksLog_Append_FN(const char* format, ...);
KSLOG_API void ksLog_Append_B(const void* data, uint64_t length);
KSLOG_API void ksLog_Append_U(const ksLogUnit* text, uint64_t count);
KSLOG_API void ksLog_End(ksLogRecord* record);
KSLOG_API void ksLog_NeverLog(void);

KSLOG_API void ksLogger_File_Init(void);
KSLOG_API void ksLogger_ksLogd_Init(void);
KSLOG_API void ksLog_SetLogFunc(uint16_t level, ksLogFunc function, void* user);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* KSLOG_H */
