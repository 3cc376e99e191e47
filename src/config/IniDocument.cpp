// ksIniDocument's table: entries in first-added order, found by hash then name, doubling
// when full; and the forming of internal names from sections and keys.
#include "config/IniDocument.h"
#include <utility>
#include <cstdlib>
#include <cstring>
#include "foundation/Fatal.h"
#include "foundation/Format.h"
#include "foundation/NumberConversion.h"

namespace {

char emptyText[1] = {'\0'};

char* copyOf(const char* text) {
    if (!text || !*text)
        return emptyText;
    return ksStrdup(text);
}

void release(char* text) {
    if (text != emptyText)
        std::free(text);
}

// The C library's mapping in its default locale: ASCII letters only.
char lowerCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

// Lower-cases the section into at most 127 bytes; null or empty means "default".
size_t formSection(const char* section, char (&buffer)[ksIniDocument::kNameLimit + 1]) {
    if (!section || !*section)
        section = "default";
    size_t length = strnlen(section, ksIniDocument::kNameLimit);
    for (size_t i = 0; i < length; ++i)
        buffer[i] = lowerCase(section[i]);
    buffer[length] = '\0';
    return length;
}

} // namespace

ksIniDocument::ksIniDocument(uint32_t initialSlots)
    : slotCount_(initialSlots < kMinimumSlots ? kMinimumSlots : initialSlots), usedCount_(0) {
    slots_ = static_cast<ksIniEntry*>(ksMalloc(sizeof(ksIniEntry) * slotCount_));
    index_ = nullptr;
    rebuildIndex();
}

ksIniDocument::~ksIniDocument() {
    for (uint32_t i = 0; i < usedCount_; ++i) {
        release(slots_[i].name);
        release(slots_[i].value);
    }
    std::free(slots_);
    std::free(index_);
}

void ksIniDocument::rebuildIndex() {
    uint32_t buckets = 1;
    while (buckets < slotCount_ * 2u)
        buckets *= 2;
    std::free(index_);
    index_ = static_cast<IndexBucket*>(ksMalloc(sizeof(IndexBucket) * buckets));
    std::memset(index_, 0, sizeof(IndexBucket) * buckets);
    indexMask_ = buckets - 1;
    for (uint32_t i = 0; i < usedCount_; ++i)
        addToIndex(slots_[i].hash, i);
}

void ksIniDocument::addToIndex(uint32_t hash, uint32_t entry) {
    uint32_t bucket = hash & indexMask_;
    while (index_[bucket].entry)
        bucket = (bucket + 1) & indexMask_;
    index_[bucket] = IndexBucket{hash, entry + 1};
}

// Jenkins' one-at-a-time hash over the name's bytes taken as signed values.
uint32_t ksIniDocument::hashOf(const char* name, size_t length) {
    uint32_t hash = 0;
    for (size_t i = 0; i < length; ++i) {
        hash += static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(name[i])));
        hash += hash << 10;
        hash ^= hash >> 6;
    }
    hash += hash << 3;
    hash ^= hash >> 11;
    hash += hash << 15;
    return hash;
}

// Names are unique, so the entry the index finds is the first with this name.
int64_t ksIniDocument::find(const char* name, size_t length, uint32_t hash) const {
    for (uint32_t bucket = hash & indexMask_; index_[bucket].entry;
         bucket = (bucket + 1) & indexMask_) {
        if (index_[bucket].hash != hash)
            continue;
        const ksIniEntry& entry = slots_[index_[bucket].entry - 1];
        if (entry.nameLength == length && std::memcmp(entry.name, name, length) == 0)
            return index_[bucket].entry - 1;
    }
    return -1;
}

const char* ksIniDocument::lookup(const char* name, const char* defaultValue) const {
    if (!name || !*name)
        return defaultValue;
    size_t length = std::strlen(name);
    int64_t index = find(name, length, hashOf(name, length));
    return index < 0 ? defaultValue : slots_[index].value;
}

void ksIniDocument::set(const char* name, const char* value) {
    if (!name || !*name)
        return; // the empty name marks a free slot: it can hold nothing
    size_t length = std::strlen(name);
    uint32_t hash = hashOf(name, length);
    int64_t index = find(name, length, hash);
    if (index >= 0) {
        char* copy = copyOf(value);
        release(slots_[index].value);
        slots_[index].value = copy;
        return;
    }
    if (usedCount_ == slotCount_) {
        // Doubling, not a fixed step: a fixed step rebuilds the index once per step, which
        // made a file of a million keys cost minutes.
        if (slotCount_ >= (1u << 30))
            ksFatalError("memory:realloc", SIZE_MAX);
        slotCount_ *= 2;
        slots_ = static_cast<ksIniEntry*>(ksRealloc(slots_, sizeof(ksIniEntry) * slotCount_));
        rebuildIndex();
    }
    slots_[usedCount_] =
        ksIniEntry{copyOf(name), static_cast<uint32_t>(length), hash, copyOf(value)};
    addToIndex(hash, usedCount_++);
}

const char* ksIniDocument::entryName(uint32_t index) const {
    return index < usedCount_ ? slots_[index].name : "";
}

const char* ksIniDocument::entryValue(uint32_t index) const {
    return index < usedCount_ ? slots_[index].value : "";
}

uint32_t ksIniDocument::sectionCount() const {
    uint32_t count = 0;
    for (uint32_t i = 0; i < usedCount_; ++i) {
        if (!std::memchr(slots_[i].name, '/', slots_[i].nameLength))
            ++count;
    }
    return count;
}

const char* ksIniDocument::sectionName(uint32_t index) const {
    for (uint32_t i = 0; i < usedCount_; ++i) {
        if (std::memchr(slots_[i].name, '/', slots_[i].nameLength))
            continue;
        if (index-- == 0)
            return std::strcmp(slots_[i].name, "default") == 0 ? "" : slots_[i].name;
    }
    return "";
}

ksString ksIniDocument::sectionEntryName(const char* section) {
    char buffer[kNameLimit + 1];
    size_t length = formSection(section, buffer);
    return ksString(buffer, static_cast<int64_t>(length));
}

ksString ksIniDocument::keyEntryName(const char* section, const char* key) {
    return keyEntryName(section, key ? key : "", key ? std::strlen(key) : 0);
}

// "section/key", cut to 255 bytes, with the key lower-cased as well.
ksString ksIniDocument::keyEntryName(const char* section, const char* key, size_t keyLength) {
    char buffer[kInternalNameLimit + 1];
    char sectionBuffer[kNameLimit + 1];
    size_t length = formSection(section, sectionBuffer);
    std::memcpy(buffer, sectionBuffer, length);
    buffer[length++] = '/';
    if (keyLength > kInternalNameLimit - length)
        keyLength = kInternalNameLimit - length;
    for (size_t i = 0; i < keyLength; ++i)
        buffer[length + i] = lowerCase(key[i]);
    length += keyLength;
    return ksString(buffer, static_cast<int64_t>(length));
}

const char* ksIniDocument::get(const char* section, const char* key, const char* defaultValue,
                               bool* found) const {
    ksString name = keyEntryName(section, key);
    const char* value = lookup(name, nullptr);
    if (found)
        *found = value != nullptr;
    return value ? value : defaultValue;
}

int32_t ksIniDocument::getInt(const char* section, const char* key, int32_t defaultValue,
                              bool* found) const {
    bool present = false;
    const char* text = get(section, key, nullptr, &present);
    if (found)
        *found = present;
    int32_t value = 0;
    if (present && ksToInt32Dec(text, &value) == ksNumberOk)
        return value;
    return defaultValue;
}

void ksIniDocument::setValue(const char* section, const char* key, const char* value) {
    if (!key) {
        set(sectionEntryName(section), value);
        return;
    }
    set(sectionEntryName(section), nullptr);
    set(keyEntryName(section, key), value);
}

void ksIniDocument::setInt(const char* section, const char* key, int32_t value) {
    char text[128];
    ksFormatBuffer(text, sizeof text, "%d", value);
    setValue(section, key, text);
}

void ksIniDocument::swap(ksIniDocument& other) {
    std::swap(slots_, other.slots_);
    std::swap(slotCount_, other.slotCount_);
    std::swap(usedCount_, other.usedCount_);
    std::swap(index_, other.index_);
    std::swap(indexMask_, other.indexMask_);
}
