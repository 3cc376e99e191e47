// The settings file parser on arbitrary bytes, and a parse -> write -> parse round trip:
// the second parse must give every value the writer can store back unchanged.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include "config/IniDocument.h"

namespace {

bool isBlank(char c) {
    return c == ' ' || (c >= 9 && c <= 13);
}

bool hasBlankEdge(std::string_view text) {
    return !text.empty() && (isBlank(text.front()) || isBlank(text.back()));
}

// A value comes back only when the reader's trimming and line cutting leave it alone.
bool valueSurvives(std::string_view value) {
    if (value.find('\r') != std::string_view::npos || value.find('\n') != std::string_view::npos)
        return false;
    bool quoted = value.find_first_of(" \"'#;\\") != std::string_view::npos;
    return quoted || !hasBlankEdge(value);
}

// A name comes back only when the reader takes its line for what the writer meant.
bool keySurvives(std::string_view key, std::string_view line) {
    return !key.empty() && key.size() <= ksIniDocument::kNameLimit && !hasBlankEdge(key) &&
           key.find('=') == std::string_view::npos && key[0] != ';' && key[0] != '#' &&
           !(key[0] == '[' && line.find(']') != std::string_view::npos);
}

bool sectionSurvives(std::string_view section) {
    return section.size() <= ksIniDocument::kNameLimit && !hasBlankEdge(section) &&
           section.find(']') == std::string_view::npos;
}

void checkRoundTrip(const ksIniDocument& first) {
    ksString bytes = first.render();
    std::string_view written(bytes.c_str(), bytes.length());
    // A first key that begins with a byte order mark loses it: the reader skips one there.
    if (written.substr(0, 3) == "\xEF\xBB\xBF")
        return;
    // Lines longer than the reader's piece come back in several pieces: out of reach.
    for (size_t from = 0; from < written.size();) {
        size_t end = written.find("\r\n", from);
        if (end == std::string_view::npos)
            __builtin_trap(); // every line ends with "\r\n"
        if (end - from > ksIniDocument::kPieceLimit)
            return;
        from = end + 2;
    }
    // Names the reader would take differently would move other keys: out of reach too.
    for (uint32_t i = 0; i < first.usedCount(); ++i) {
        std::string_view name = first.entryName(i);
        size_t slash = name.find('/');
        if (slash == std::string_view::npos) {
            if (!sectionSurvives(name))
                return;
            continue;
        }
        std::string_view key = name.substr(slash + 1);
        std::string line = std::string(key) + "=" + first.entryValue(i);
        if (!keySurvives(key, line))
            return;
    }
    ksIniDocument second;
    second.parse(written.data(), written.size());
    for (uint32_t i = 0; i < first.usedCount(); ++i) {
        std::string_view name = first.entryName(i);
        size_t slash = name.find('/');
        if (slash == std::string_view::npos) {
            if (!second.lookup(first.entryName(i), nullptr))
                __builtin_trap(); // every section is written, even without keys
            continue;
        }
        std::string section(name.substr(0, slash));
        if (!first.lookup(section.c_str(), nullptr))
            continue; // no section entry: the writer never reaches it
        if (!valueSurvives(first.entryValue(i)))
            continue;
        const char* again = second.lookup(first.entryName(i), nullptr);
        if (!again || std::strcmp(again, first.entryValue(i)) != 0)
            __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ksIniDocument document;
    document.parse(reinterpret_cast<const char*>(data), size);
    for (uint32_t i = 0; i < document.usedCount(); ++i) {
        if (document.lookup(document.entryName(i), nullptr) == nullptr)
            __builtin_trap();
    }
    for (uint32_t i = 0; i <= document.sectionCount(); ++i)
        document.sectionName(i);
    bool found = false;
    document.getInt("options", "populate", -1, &found);
    document.get(nullptr, "readpath", "./", &found);
    checkRoundTrip(document);
    return 0;
}
