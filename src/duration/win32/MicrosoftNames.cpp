// ksLogDuration for applications built with Microsoft's toolchain. Their compiler calls
// the members under its own decorated names (MicrosoftNames.def exports them) and
// expects a constructor to return the object, which GCC's constructor does not; the
// other members follow the same x64 convention in both ABIs and are exported as they are.
#include <cstddef>
#include <new>
#include "ksLog.h"

// The application allocates the object and only the library reads its fields, so the two
// ABIs must agree on its size and alignment. Callers write file and line of the record.
static_assert(sizeof(ksLogDuration) == 32 && alignof(ksLogDuration) == 8,
              "ksLogDuration's storage differs from what Microsoft's compiler allocates");
static_assert(sizeof(ksLogRecord) == 96 && offsetof(ksLogRecord, file) == 8 &&
                  offsetof(ksLogRecord, line) == 16 && offsetof(ksLogRecord, buffer) == 72,
              "ksLogRecord differs from what Microsoft's compiler lays out");

extern "C" ksLogDuration* ksLogDuration_MicrosoftConstructor(ksLogDuration* self, uint16_t level,
                                                             uint16_t module, int kind,
                                                             const char* text) {
    return new (self) ksLogDuration(level, module, kind, text);
}
