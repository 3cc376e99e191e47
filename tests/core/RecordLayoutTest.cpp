// The record as callers see it: its layout is part of the exported interface.
#include <gtest/gtest.h>
#include <cstddef>
#include "ksLog.h"

static_assert(offsetof(ksLogRecord, level) == 0);
static_assert(offsetof(ksLogRecord, module) == 2);
static_assert(offsetof(ksLogRecord, file) == 8);
static_assert(offsetof(ksLogRecord, line) == 16);
static_assert(offsetof(ksLogRecord, timeText) == 20);
static_assert(sizeof(ksLogRecord::timeText) == 40);
static_assert(offsetof(ksLogRecord, timeLength) == 64);
static_assert(offsetof(ksLogRecord, buffer) == 72);
static_assert(offsetof(ksLogRecord, bufferSize) == 80);
static_assert(offsetof(ksLogRecord, textLength) == 84);
static_assert(offsetof(ksLogRecord, format) == 88);
static_assert(sizeof(ksLogRecord) == 96);
static_assert(sizeof(_ksLog_Level) == 2);
static_assert(sizeof(ksLogUnit) == 2);

TEST(RecordLayout, MacrosRefuseWithoutCallingWhenTheLevelIsTooHigh) {
    // 0xFFFF is never below _ksLog_Level: the macro must not even evaluate its arguments.
    int evaluated = 0;
    KSLOG_WRITE(0xFFFF, 300, "%d", ++evaluated);
    EXPECT_EQ(evaluated, 0);
}
