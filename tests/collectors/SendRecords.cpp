// A small application for the collector and layout tests: every line of standard input
// "<level>\t<module>\t<text>" becomes one record with that text and a newline, written
// through the public interface only, so it goes wherever the program's settings send it.
// With --escaped, the text is taken exactly as written after decoding \\, \n, \t and
// \xNN (no newline is added), and a text "hexdump:<bytes>" becomes a hex dump of the bytes.
// With --echo, a line "done <n>" on standard output after the n-th line, so that a test
// knows how far the program got.
// The exit status is the number of lines the library refused (0: every one was taken).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include "ksLog.h"

namespace {

bool readLine(std::string* line) {
    line->clear();
    int c;
    while ((c = std::getchar()) != EOF && c != '\n')
        line->push_back(static_cast<char>(c));
    return c != EOF || !line->empty();
}

// Splits "<level>\t<module>\t<text>"; false for a line without both tabs.
bool parseLine(const std::string& line, uint16_t* level, uint16_t* module, std::string* text) {
    size_t first = line.find('\t');
    size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
    if (second == std::string::npos)
        return false;
    *level = static_cast<uint16_t>(std::strtoul(line.c_str(), nullptr, 10));
    *module = static_cast<uint16_t>(std::strtoul(line.c_str() + first + 1, nullptr, 10));
    *text = line.substr(second + 1);
    return true;
}

int hexDigit(char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string unescaped(const std::string& text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] != '\\' || next == '\0') {
            bytes += text[i];
        } else if (next == 'x' && i + 3 < text.size() && hexDigit(text[i + 2]) >= 0 &&
                   hexDigit(text[i + 3]) >= 0) {
            bytes += static_cast<char>(hexDigit(text[i + 2]) * 16 + hexDigit(text[i + 3]));
            i += 3;
        } else {
            bytes += next == 'n' ? '\n' : next == 't' ? '\t' : next;
            ++i;
        }
    }
    return bytes;
}

void appendEscaped(const std::string& text) {
    static const std::string dump = "hexdump:";
    std::string bytes = unescaped(text);
    if (bytes.compare(0, dump.size(), dump) == 0)
        return ksLog_Append_B(bytes.data() + dump.size(), bytes.size() - dump.size());
    // As the format itself, so that bytes that are not UTF-8 reach the record as they are
    // ("%s" refuses them).
    std::string format;
    for (char c : bytes)
        format += c == '%' ? "%%" : std::string(1, c);
    ksLog_Append_F(format.c_str());
}

} // namespace

int main(int argc, char** argv) {
    bool escaped = false;
    bool echo = false;
    for (int i = 1; i < argc; ++i) {
        escaped = escaped || std::strcmp(argv[i], "--escaped") == 0;
        echo = echo || std::strcmp(argv[i], "--echo") == 0;
    }
    int done = 0;
    int refused = 0;
    std::string line;
    std::string text;
    while (readLine(&line)) {
        uint16_t level = 0;
        uint16_t module = 0;
        ksLogRecord* record =
            parseLine(line, &level, &module, &text) ? ksLog_Begin(level, module) : nullptr;
        if (!record) {
            ++refused;
        } else {
            if (escaped)
                appendEscaped(text);
            else
                ksLog_Append_F("%s\n", text.c_str());
            ksLog_End(record);
        }
        if (echo) {
            std::printf("done %d\n", ++done);
            std::fflush(stdout);
        }
    }
    ksLog_Term(); // closes the connection, so the collector sees the end of the stream
    return refused;
}
