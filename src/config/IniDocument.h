// ksIniDocument: the in-memory form of an INI settings file, its parser and its writer.
//
// Sections and keys share one table of entries kept in first-added order: a section
// entry is the lower-cased section name with an empty value; a key entry is
// "section/key" in lower case with the key's value. The implicit section is "default".
// The parser is forgiving (nothing it reads is an error); the writer emits "\r\n" lines
// with lower-case names and quotes the values that need it.
#pragma once
#include <cstddef>
#include <cstdint>
#include "foundation/String.h"

// What became of reading a settings file into a document.
enum class ksIniLoad {
    loaded,
    unopened,   // missing, or it cannot be opened: the usual case of an absent file
    notRegular, // a FIFO, a device, a folder, a link to one of them: never read
    tooLarge,   // more than ksIniDocument::kFileSizeLimit bytes: not read
    unreadable, // a read failed part way: nothing was parsed
};

struct ksIniEntry {
    char* name; // owned
    uint32_t nameLength;
    uint32_t hash;
    char* value; // owned, or the shared empty text
};

class ksIniDocument {
  public:
    static constexpr uint32_t kMinimumSlots = 128;
    static constexpr size_t kNameLimit = 127;         // bytes of a section name or a key
    static constexpr size_t kInternalNameLimit = 255; // bytes of "section/key"
    static constexpr size_t kPieceLimit = 1023;       // bytes the parser takes as one line
    // Settings files hold tens of keys, and every lookup reads them again: a file beyond
    // this is a mistake or an attack, and reading it would stall each lookup.
    static constexpr size_t kFileSizeLimit = 1u << 20;

    explicit ksIniDocument(uint32_t initialSlots = kMinimumSlots);
    ~ksIniDocument();
    ksIniDocument(const ksIniDocument&) = delete;
    ksIniDocument& operator=(const ksIniDocument&) = delete;
    void swap(ksIniDocument& other);

    // Internal names, exactly as given.
    const char* lookup(const char* name, const char* defaultValue) const;
    void set(const char* name, const char* value); // null value stores the empty text

    // At least 128; doubles when full, so that adding n entries costs time in proportion to n.
    uint32_t slotCount() const { return slotCount_; }
    uint32_t usedCount() const { return usedCount_; }
    const char* entryName(uint32_t index) const;
    const char* entryValue(uint32_t index) const;
    uint32_t sectionCount() const;
    // The index-th section in entry order; the empty text for "default" or no section.
    const char* sectionName(uint32_t index) const;

    // Sections and keys as callers name them (any case; null or empty section: "default").
    const char* get(const char* section, const char* key, const char* defaultValue,
                    bool* found) const;
    // Found tells presence only: a present text that is not wholly a signed decimal
    // 32-bit number gives the default with found set.
    int32_t getInt(const char* section, const char* key, int32_t defaultValue, bool* found) const;
    // A key also declares its section first; a null key declares the section only.
    void setValue(const char* section, const char* key, const char* value);
    void setInt(const char* section, const char* key, int32_t value);

    // Adds the entries of a settings file's text.
    void parse(const char* text, size_t length);
    // The file's bytes as the writer produces them.
    ksString render() const;

    // Anything but loaded leaves the document unchanged. Only a regular file of at most
    // kFileSizeLimit bytes is read.
    ksIniLoad load(const char* path);
    // Creates path, which must not exist (not even as a link), and writes the document;
    // false unless every byte was written, flushed to the disk and the file closed
    // without error.
    bool write(const char* path) const;

    static uint32_t hashOf(const char* name, size_t length);
    static ksString sectionEntryName(const char* section);
    static ksString keyEntryName(const char* section, const char* key);
    static ksString keyEntryName(const char* section, const char* key, size_t keyLength);

  private:
    int64_t find(const char* name, size_t length, uint32_t hash) const;
    void rebuildIndex();
    void addToIndex(uint32_t hash, uint32_t entry);
    void parseLine(const char* piece, size_t length, ksString* section);

    ksIniEntry* slots_;
    uint32_t slotCount_;
    uint32_t usedCount_;
    // Open addressing over the hashes, so that finding a name does not walk every slot;
    // twice as many buckets as slots. A bucket keeps the hash beside the entry number
    // (+ 1; 0: empty), so that a probe past other names stays inside the index.
    struct IndexBucket {
        uint32_t hash;
        uint32_t entry;
    };
    IndexBucket* index_;
    uint32_t indexMask_;
};
