// A small application for the collector tests: every line of standard input
// "<level>\t<module>\t<text>" becomes one record with that text and a newline, written
// through the public interface only, so it goes wherever the program's settings send it.
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

} // namespace

int main() {
    int refused = 0;
    std::string line;
    std::string text;
    while (readLine(&line)) {
        uint16_t level = 0;
        uint16_t module = 0;
        ksLogRecord* record = parseLine(line, &level, &module, &text) ? ksLog_Begin(level, module)
                                                                       : nullptr;
        if (!record) {
            ++refused;
            continue;
        }
        ksLog_Append_F("%s\n", text.c_str());
        ksLog_End(record);
    }
    ksLog_Term(); // closes the connection, so the collector sees the end of the stream
    return refused;
}
