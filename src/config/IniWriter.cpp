// The settings file writer: "\r\n" lines, lower-case names, values quoted when they hold
// a blank, a quote, "#", ";" or a backslash. Lines are written whole, whatever their
// length, and a file counts as written only when every byte reached the disk.
#include "config/IniDocument.h"
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>
#include "config/FileSystem.h"

namespace {

bool needsQuotes(const char* value) {
    return std::strpbrk(value, " \"'#;\\") != nullptr;
}

void appendValue(std::string* out, const char* value) {
    if (!needsQuotes(value)) {
        *out += value;
        return;
    }
    *out += '"';
    for (const char* c = value; *c; ++c) {
        if (*c == '"' || *c == '\'' || *c == '\\')
            *out += '\\';
        *out += *c;
    }
    *out += '"';
}

bool writeAll(ksFile file, const char* bytes, size_t length) {
    while (length > 0) {
        uint32_t chunk = length > 0x40000000 ? 0x40000000u : static_cast<uint32_t>(length);
        int64_t put = ksFileWrite(file, bytes, chunk);
        if (put <= 0 || static_cast<uint64_t>(put) > chunk)
            return false;
        bytes += put;
        length -= static_cast<size_t>(put);
    }
    return true;
}

} // namespace

// "default" has no header: its keys come out right only while "default" is the first
// section, as it always is in a document read from a file. The system never sets
// "default" keys in a write document; in one whose first section is another, they would
// be read back as keys of the section written before them.
ksString ksIniDocument::render() const {
    // Key entries grouped by their section, the part of the name before the first "/".
    std::unordered_map<std::string_view, std::vector<uint32_t>> keysOf;
    for (uint32_t i = 0; i < usedCount_; ++i) {
        const char* slash =
            static_cast<const char*>(std::memchr(slots_[i].name, '/', slots_[i].nameLength));
        if (slash)
            keysOf[std::string_view(slots_[i].name, slash - slots_[i].name)].push_back(i);
    }
    std::string out;
    for (uint32_t i = 0; i < usedCount_; ++i) {
        std::string_view name(slots_[i].name, slots_[i].nameLength);
        if (name.find('/') != std::string_view::npos)
            continue;
        if (name != "default") {
            if (!out.empty())
                out += "\r\n";
            out += '[';
            out += name;
            out += "]\r\n";
        }
        auto keys = keysOf.find(name);
        if (keys == keysOf.end())
            continue;
        for (uint32_t index : keys->second) {
            out += slots_[index].name + name.size() + 1;
            out += '=';
            appendValue(&out, slots_[index].value);
            out += "\r\n";
        }
    }
    return ksString(out.data(), static_cast<int64_t>(out.size()));
}

bool ksIniDocument::write(const char* path) const {
    ksFile file = ksNoFile;
    // A new file: a name that exists, as a file or as a link to anywhere, is refused.
    if (ksFileOpen(path, ksOpenWrite | ksOpenCreate | ksOpenExclusive, &file) != 0)
        return false;
    ksString bytes = render();
    bool written = writeAll(file, bytes.c_str(), bytes.length());
    // The content must be on the disk before the file may replace another one.
    written = written && ksFileFlush(file) == 0;
    bool closed = ksFileClose(file) == 0;
    return written && closed;
}
