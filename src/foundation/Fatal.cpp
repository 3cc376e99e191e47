#include "foundation/Fatal.h"
#include "foundation/NumberConversion.h"
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using FatalCallback = void (*)(const char* tag);

bool isMemoryTag(const char* tag) {
    return std::strcmp(tag, "memory:malloc") == 0 || std::strcmp(tag, "memory:realloc") == 0 ||
           std::strcmp(tag, "memory:strdup") == 0 || std::strcmp(tag, "memory:wcsdup") == 0;
}

FatalCallback publishedCallback() {
    // An address in decimal or hex with room to spare: a longer value is malformed.
    constexpr size_t kLongestValue = 39;
    const char* text = std::getenv(KSLOG_FATAL_CALLBACK);
    uint64_t address = 0;
    if (!text || std::strlen(text) > kLongestValue ||
        ksToPointerValue(text, &address) != ksNumberOk || address == 0)
        return nullptr;
    return reinterpret_cast<FatalCallback>(static_cast<uintptr_t>(address));
}

} // namespace

void ksFatalError(const char* tag, ...) {
    va_list arguments;
    va_start(arguments, tag);
    std::printf("ksFatalError\n");
    std::printf("ksFatalError: %s", tag ? tag : "unknown reason");
    if (tag && isMemoryTag(tag)) {
        // Only the low 32 bits are reported, as the report has always read.
        std::printf(" (size=%lu)\n",
                    static_cast<unsigned long>(static_cast<uint32_t>(va_arg(arguments, size_t))));
    } else if (tag && std::strcmp(tag, "assert") == 0) {
        const char* reason = va_arg(arguments, const char*);
        std::printf(" (reason='%s')\n", reason ? reason : "(null)");
    } else {
        std::printf("\n");
    }
    va_end(arguments);
    // _exit flushes nothing: without this the report is lost whenever the standard
    // output is a file or a pipe, which is where services send it.
    std::fflush(stdout);
    if (FatalCallback callback = publishedCallback())
        callback(tag);
    std::_Exit(-1); // no exit handlers: the library's state may be what failed
}

void* ksMalloc(size_t size) {
    void* block = std::malloc(size);
    if (!block && size != 0)
        ksFatalError("memory:malloc", size);
    return block;
}

void* ksRealloc(void* block, size_t size) {
    if (!block && size == 0)
        return nullptr;
    if (size == 0) {
        std::free(block);
        return nullptr;
    }
    void* grown = std::realloc(block, size);
    if (!grown)
        ksFatalError("memory:realloc", size);
    return grown;
}

char* ksStrdup(const char* text) {
    if (!text)
        return nullptr;
    size_t length = std::strlen(text);
    char* copy = static_cast<char*>(std::malloc(length + 1));
    if (!copy)
        ksFatalError("memory:strdup", length);
    std::memcpy(copy, text, length + 1);
    return copy;
}
