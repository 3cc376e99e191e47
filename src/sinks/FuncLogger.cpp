// ksFuncLogger and ksLog_SetLogFunc: application functions as a sink.
#include "sinks/FuncLogger.h"
#include <cstdlib>
#include <cstring>
#include "core/Library.h"
#include "foundation/Fatal.h"

namespace {

ksFuncLogger* theFuncLogger = nullptr; // guarded by the library lock

bool accepts(const ksFuncEntry* entry, const ksLogRecord* record) {
    return !entry->removed && entry->function && entry->level > record->level;
}

} // namespace

ksFuncLogger::ksFuncLogger() : ksLogger("Func", true) {
    theFuncLogger = this;
    setFlags(noConfig);
    setThreshold(0);
}

ksFuncLogger::~ksFuncLogger() {
    theFuncLogger = nullptr;
    while (entries_) {
        ksFuncEntry* entry = entries_;
        entries_ = entry->next;
        std::free(entry);
    }
    freeRetired();
}

// The application receives the bare text: no line prefix.
ksSinkStart ksFuncLogger::begin(ksLogRecord* record) {
    for (ksFuncEntry* entry = entries_; entry; entry = entry->next)
        if (accepts(entry, record))
            return ksSinkStart::text;
    return ksSinkStart::refused;
}

// A function may register or remove functions while it runs: unlinked entries keep their
// links and stay allocated until the walk is over, so the walk neither touches freed
// memory nor loses the entries that stay.
void ksFuncLogger::deliver(ksLogRecord* record, const char* text, uint64_t length) {
    hadText_ = hadText_ || length > 0;
    if (!hadText_)
        text = nullptr;
    ++walking_;
    for (ksFuncEntry* entry = entries_; entry; entry = entry->next)
        if (accepts(entry, record))
            entry->function(entry->user, record, text, length);
    if (--walking_ == 0)
        freeRetired();
}

void ksFuncLogger::retire(ksFuncEntry* entry) {
    entry->removed = true;
    if (walking_ == 0) {
        std::free(entry);
        return;
    }
    entry->nextRetired = retired_;
    retired_ = entry;
}

void ksFuncLogger::freeRetired() {
    while (retired_) {
        ksFuncEntry* entry = retired_;
        retired_ = entry->nextRetired;
        std::free(entry);
    }
}

void ksFuncLogger::removeFunction(ksLogFunc function) {
    uint16_t greatest = 0;
    for (ksFuncEntry** link = &entries_; *link;) {
        ksFuncEntry* entry = *link;
        if (entry->function == function) {
            *link = entry->next;
            retire(entry);
            continue;
        }
        if (entry->level > greatest)
            greatest = entry->level;
        link = &entry->next;
    }
    setThreshold(greatest);
}

void ksFuncLogger::registerFunction(uint16_t level, ksLogFunc function, void* user) {
    for (ksFuncEntry* entry = entries_; entry; entry = entry->next) {
        if (entry->function == function) {
            removeFunction(function);
            break;
        }
    }
    if (level == 0)
        return;
    auto* entry = static_cast<ksFuncEntry*>(ksMalloc(sizeof(ksFuncEntry)));
    *entry = ksFuncEntry{entries_, level, function, user, false, nullptr};
    entries_ = entry;
    if (level > threshold())
        setThreshold(level);
}

void ksLog_SetLogFunc(uint16_t level, ksLogFunc function, void* user) {
    if (!function)
        return; // a null function is never registered, and has no registration to remove
    ksLibraryLock lock;
    if (!theFuncLogger && level != 0 && !isNeverLog()) {
        new ksFuncLogger; // owned by the registry from here on
    }
    if (theFuncLogger)
        theFuncLogger->registerFunction(level, function, user);
}
