// The one way ksLog gives up: exhausted memory (or a broken invariant) ends the
// process through ksFatalError. The checked allocators therefore never return null
// for a non-zero request; their blocks are released with free().
#pragma once
#include <cstddef>

// The environment variable that may hold the address of a void (*)(const char* tag)
// called before the process ends, in decimal or as "0x" hexadecimal (what %p writes).
#define KSLOG_FATAL_CALLBACK "KSLOG_FATAL_CALLBACK"

// Tags "memory:malloc", "memory:realloc", "memory:strdup", "memory:wcsdup" take a size_t;
// "assert" takes a const char* reason; any other tag takes nothing.
[[noreturn]] void ksFatalError(const char* tag, ...);

void* ksMalloc(size_t size);
// A null block with size 0 gives null; a block with size 0 is freed and gives null.
void* ksRealloc(void* block, size_t size);
// Null gives null.
char* ksStrdup(const char* text);
