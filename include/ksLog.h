/* ksLog: the process-wide logging library's interface, usable from C and C++.
 *
 * A record is written in three steps on one thread: ksLog_Begin opens it (or returns
 * null when no sink wants it), the ksLog_Append_* functions add text, ksLog_End closes it.
 * Compare a level with _ksLog_Level first to skip a record nobody wants for free. */
#ifndef KSLOG_H
#define KSLOG_H

#include <stdarg.h>
#include <stddef.h> /* wchar_t, for C compilers */
#include <stdint.h>

#if defined(_WIN32)
#if defined(KSLOG_BUILDING)
#define KSLOG_API __declspec(dllexport)
#else
#define KSLOG_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define KSLOG_API __attribute__((visibility("default")))
#else
#define KSLOG_API
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

/* Record levels: the letter a line carries is E, W, I and D. */
enum {
    KSLOG_LEVEL_ERROR = 1,
    KSLOG_LEVEL_WARNING = 2,
    KSLOG_LEVEL_INFO = 3,
    KSLOG_LEVEL_DEBUG = 4
};

/* Thresholds for ksLog_SetLogFunc: a record is delivered when its level is below. */
enum {
    KSLOG_THRESHOLD_OFF = 0,
    KSLOG_THRESHOLD_ERROR = 2,
    KSLOG_THRESHOLD_WARNING = 3,
    KSLOG_THRESHOLD_INFO = 4,
    KSLOG_THRESHOLD_ALL = 0xFFFF
};

/* The kinds of ksLogDuration: the words of its start and end records. */
enum {
    KSLOG_STARTING = 0,  /* "Starting" / "Started" */
    KSLOG_STOPPING = 1,  /* "Stopping" / "Stopped" */
    KSLOG_LOADING = 2,   /* "Loading" / "Loaded" */
    KSLOG_UNLOADING = 3, /* "Unloading" / "Unloaded" */
    KSLOG_RUNNING = 4,   /* "Running" / "Done" */
    KSLOG_PERFORMING = 5 /* end record only: "Performed" */
};

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

/* What became of the locator file "ConfigPath.ini" beside the executable. */
enum ksLogLocatorState {
    KSLOG_LOCATOR_ABSENT = 0,      /* missing: the other files lie beside the program */
    KSLOG_LOCATOR_READ = 1,        /* read: its ReadPath and WritePath place the other files */
    KSLOG_LOCATOR_NOT_REGULAR = 2, /* a FIFO, a device, a folder: ignored */
    KSLOG_LOCATOR_TOO_LARGE = 3,   /* ignored */
    KSLOG_LOCATOR_UNREADABLE = 4   /* a read failed part way: ignored */
};

/* Where the library reads and writes this program's settings. A path is "" when there is
   none (a write file when the locator's WritePath is empty) or when it cannot be found. */
typedef struct ksLogSettingsFiles {
    const char* application; /* the name in the settings files' names */
    const char* locator;
    int32_t locatorState; /* an ksLogLocatorState */
    const char* readFile;
    const char* writeFile; /* its values win over the read file's */
} ksLogSettingsFiles;

/* Finds the settings files by the library's own rules (creating the folders the locator
   names, as every settings lookup does) without starting the library. The texts go into
   buffer, size bytes, and the fields of files point into it. Returns the bytes the texts
   need: when that is more than size, neither files nor buffer is changed. */
KSLOG_API uint32_t ksLog_SettingsFiles(ksLogSettingsFiles* files, char* buffer, uint32_t size);

#ifdef __cplusplus
} /* extern "C" */
#endif

/* _ksLog_Level read as a relaxed atomic where the compiler offers one: the same plain
 * load, but race detectors know that the library may change it meanwhile. */
#if defined(__GNUC__)
#define KSLOG_CURRENT_LEVEL() __atomic_load_n(&_ksLog_Level, __ATOMIC_RELAXED)
#else
#define KSLOG_CURRENT_LEVEL() (_ksLog_Level)
#endif

/* True when a record of this level may be wanted: one comparison, no call. */
#define KSLOG_WANTS(level) ((uint16_t)(level) < KSLOG_CURRENT_LEVEL())

/* Opens a record with the caller's source position, runs the append statement, closes. */
#define KSLOG_RECORD_(level, module, append)                                                       \
    do {                                                                                           \
        if (KSLOG_WANTS(level)) {                                                                  \
            ksLogRecord* ksLogOpen_ = ksLog_Begin((uint16_t)(level), (uint16_t)(module));          \
            if (ksLogOpen_) {                                                                      \
                ksLogOpen_->file = __FILE__;                                                       \
                ksLogOpen_->line = __LINE__;                                                       \
                append;                                                                            \
                ksLog_End(ksLogOpen_);                                                             \
            }                                                                                      \
        }                                                                                          \
    } while (0)

/* One formatted record: KSLOG_INFO(module, "user %s logged in", name). The text is
 * written as given: end it with "\n" to end the line. */
#define KSLOG_WRITE(level, module, ...) KSLOG_RECORD_(level, module, ksLog_Append_F(__VA_ARGS__))
#define KSLOG_ERROR(module, ...) KSLOG_WRITE(KSLOG_LEVEL_ERROR, module, __VA_ARGS__)
#define KSLOG_WARNING(module, ...) KSLOG_WRITE(KSLOG_LEVEL_WARNING, module, __VA_ARGS__)
#define KSLOG_INFO(module, ...) KSLOG_WRITE(KSLOG_LEVEL_INFO, module, __VA_ARGS__)
#define KSLOG_DEBUG(module, ...) KSLOG_WRITE(KSLOG_LEVEL_DEBUG, module, __VA_ARGS__)

/* A hex dump of length bytes, with a header line naming the pointer and length. */
#define KSLOG_HEX(level, module, data, length)                                                     \
    KSLOG_RECORD_(level, module, ksLog_Append_B((data), (uint64_t)(length)))
/* UTF-16 text; characters outside printable ASCII appear as \uXXXX escapes. */
#define KSLOG_WIDE(level, module, text, count)                                                     \
    KSLOG_RECORD_(level, module, ksLog_Append_U((text), (uint64_t)(count)))

#ifdef __cplusplus
/* Logs the start of an operation when constructed and its end, with the time it took,
 * when destroyed. text must come from ksLogDuration_F (or be null); the object owns it.
 * The Windows DLL exports the members under GCC's and Microsoft's names alike. */
class KSLOG_API ksLogDuration {
  public:
    ksLogDuration(uint16_t level, uint16_t module, int kind, const char* text);
    ~ksLogDuration();
    ksLogDuration(const ksLogDuration&) = delete; /* two objects would own one text */
    /* Copies the other object's operation; the text is copied, not shared. */
    ksLogDuration& operator=(const ksLogDuration& other);

    /* A new text formatted printf-style, at most 255 bytes, for the constructor. */
    static const char* ksLogDuration_F(const char* format, ...);

  private:
    uint16_t level_;
    uint16_t module_;
    int32_t kind_;
    char* text_;
    bool started_;
    uint64_t startTime_;
};

#define KSLOG_CONCAT_(a, b) a##b
#define KSLOG_NAME_(a, b) KSLOG_CONCAT_(a, b)
/* Times the rest of the enclosing scope:
 * KSLOG_DURATION(KSLOG_LEVEL_INFO, module, KSLOG_LOADING, "catalogue %s", name); */
#define KSLOG_DURATION(level, module, kind, ...)                                                   \
    ksLogDuration KSLOG_NAME_(ksLogDuration_, __LINE__)(                                           \
        (uint16_t)(level), (uint16_t)(module), (kind),                                             \
        KSLOG_WANTS(level) ? ksLogDuration::ksLogDuration_F(__VA_ARGS__) : (const char*)0)
#endif

#endif /* KSLOG_H */
