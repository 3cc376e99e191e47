// The settings file grammar: reading a file whole and parsing it line by line.
//
// Tolerances, each deliberate: a UTF-8 byte order mark at the start is skipped; "\r\n",
// "\n" and "\r" end lines alike; a line is taken in pieces of at most 1023 bytes; a NUL
// byte ends the text of its line; blank lines and lines starting with ";" or "#" are
// comments; a line without "=" is a key with the empty value; a line starting with "="
// is skipped; a quoted value without its closing quote runs to the end of the line.
#include "config/IniDocument.h"
#include <cstdlib>
#include <cstring>
#include <string>
#include "config/FileSystem.h"
#include "foundation/Fatal.h"

namespace {

bool isBlank(char c) {
    return c == ' ' || (c >= 9 && c <= 13);
}

// A view of part of the current line.
struct Text {
    const char* begin;
    size_t length;

    std::string copy() const { return std::string(begin, length); }
    Text trimmed() const {
        size_t from = 0;
        size_t to = length;
        while (from < to && isBlank(begin[from]))
            ++from;
        while (to > from && isBlank(begin[to - 1]))
            --to;
        return Text{begin + from, to - from};
    }
    Text cut(size_t limit) const { return Text{begin, length < limit ? length : limit}; }
    const char* find(char c) const {
        return static_cast<const char*>(std::memchr(begin, c, length));
    }
};

// A quoted value: a backslash is dropped and the character after it kept as it is.
// Returns the length stored in out, which holds at least value.length bytes.
size_t unquote(Text value, char* out) {
    char quote = value.begin[0];
    size_t length = 0;
    for (size_t i = 1; i < value.length; ++i) {
        char c = value.begin[i];
        if (c == quote)
            break;
        if (c == '\\') {
            if (++i >= value.length)
                break;
            c = value.begin[i];
        }
        out[length++] = c;
    }
    return length;
}

// An unquoted value ends at an inline comment.
Text plainValue(Text value) {
    for (size_t i = 0; i < value.length; ++i) {
        if (value.begin[i] == ';' || value.begin[i] == '#')
            return Text{value.begin, i}.trimmed();
    }
    return value;
}

// Where the piece that starts at from ends: after the first "\r" or "\n", after 1023
// bytes, or at the end of the text.
size_t pieceEnd(const char* text, size_t length, size_t from) {
    size_t end = from;
    while (end < length && end - from < ksIniDocument::kPieceLimit) {
        char c = text[end++];
        if (c == '\r' || c == '\n')
            break;
    }
    return end;
}

} // namespace

void ksIniDocument::parse(const char* text, size_t length) {
    ksString section("default");
    setValue(section, nullptr, nullptr);
    if (!text)
        return;
    size_t from = 0;
    while (from < length) {
        size_t end = pieceEnd(text, length, from);
        const char* piece = text + from;
        size_t pieceLength = end - from;
        if (from == 0 && pieceLength >= 3 && std::memcmp(piece, "\xEF\xBB\xBF", 3) == 0) {
            piece += 3;
            pieceLength -= 3;
        }
        parseLine(piece, pieceLength, &section);
        from = end;
    }
}

void ksIniDocument::parseLine(const char* piece, size_t length, ksString* section) {
    Text line{piece, strnlen(piece, length)};
    while (line.length &&
           (line.begin[line.length - 1] == '\r' || line.begin[line.length - 1] == '\n'))
        --line.length;
    line = line.trimmed();
    if (line.length == 0 || line.begin[0] == ';' || line.begin[0] == '#')
        return;
    const char* close = line.find(']');
    if (line.begin[0] == '[' && close) {
        Text name = Text{line.begin + 1, static_cast<size_t>(close - line.begin - 1)}.trimmed().cut(
            kNameLimit);
        if (name.length == 0) {
            *section = "default";
            return;
        }
        *section = sectionEntryName(name.copy().c_str());
        setValue(*section, nullptr, nullptr);
        return;
    }
    // The current section is declared already: by its header, or "default" by parse.
    const char* equals = line.find('=');
    if (!equals) {
        set(keyEntryName(*section, line.begin, line.length), nullptr);
        return;
    }
    if (equals == line.begin)
        return;
    Text key = Text{line.begin, static_cast<size_t>(equals - line.begin)}.trimmed().cut(kNameLimit);
    Text value =
        Text{equals + 1, static_cast<size_t>(line.begin + line.length - equals - 1)}.trimmed();
    char text[kPieceLimit + 1];
    size_t textLength;
    if (value.length && (value.begin[0] == '"' || value.begin[0] == '\'')) {
        textLength = unquote(value, text);
    } else {
        value = plainValue(value);
        std::memcpy(text, value.begin, value.length);
        textLength = value.length;
    }
    text[textLength] = '\0';
    set(keyEntryName(*section, key.begin, key.length), text);
}

ksIniLoad ksIniDocument::load(const char* path) {
    ksFile file = ksNoFile;
    int32_t opened = ksFileOpen(path, ksOpenRead, &file);
    if (opened == ksPlatform::kFileNotRegular)
        return ksIniLoad::notRegular;
    if (opened != 0)
        return ksIniLoad::unopened;
    // Read until the end, or until the file proves larger than the limit (it may grow
    // while it is read): the buffer doubles, so a large file costs few reads.
    size_t capacity = 4096;
    size_t length = 0;
    char* buffer = static_cast<char*>(ksMalloc(capacity));
    ksIniLoad result = ksIniLoad::loaded;
    for (;;) {
        if (length > kFileSizeLimit) {
            result = ksIniLoad::tooLarge;
            break;
        }
        if (length == capacity) {
            capacity *= 2;
            buffer = static_cast<char*>(ksRealloc(buffer, capacity));
        }
        int64_t got = ksFileRead(file, buffer + length, static_cast<uint32_t>(capacity - length));
        if (got < 0) {
            result = ksIniLoad::unreadable;
            break;
        }
        if (got == 0)
            break;
        length += static_cast<size_t>(got);
    }
    if (result == ksIniLoad::loaded)
        parse(buffer, length);
    std::free(buffer);
    ksFileClose(file);
    return result;
}
