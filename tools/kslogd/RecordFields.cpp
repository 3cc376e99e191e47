// Recognising the line prefix, so that the JSON output can carry it as fields.
#include "RecordFields.h"

#include <cstddef>

namespace {

constexpr std::size_t shortTime = 12; // hh:mm:ss:mmm
constexpr std::size_t longTime = 23;  // MM/DD/YYYY hh:mm:ss:mmm
constexpr std::size_t threadWidth = 8;
constexpr std::size_t moduleWidth = 10;

bool isLevelLetter(char c) {
    return c == 'E' || c == 'W' || c == 'I' || c == 'D';
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isTimeText(std::string_view time) {
    for (char c : time)
        if (!((c >= '0' && c <= '9') || c == ':' || c == '/' || c == ' '))
            return false;
    return true;
}

std::size_t timeWidth(std::string_view line) {
    for (std::size_t width : {shortTime, longTime})
        if (line.size() > 2 + width && line[2 + width] == '|' && isTimeText(line.substr(2, width)))
            return width;
    return 0;
}

} // namespace

bool splitRecordLine(std::string_view line, RecordFields& fields) {
    fields = RecordFields{};
    fields.text = line;
    if (line.size() < 2 || !isLevelLetter(line[0]) || line[1] != ' ')
        return false;
    std::size_t width = timeWidth(line);
    if (width == 0)
        return false;
    std::size_t threadAt = 2 + width + 1;
    std::size_t moduleAt = threadAt + threadWidth + 1;
    std::size_t textAt = moduleAt + moduleWidth + 1;
    if (line.size() < textAt || line[threadAt + threadWidth] != '|' || line[textAt - 1] != ' ')
        return false;
    for (char c : line.substr(threadAt, threadWidth))
        if (!isHexDigit(c))
            return false;
    std::string_view module = line.substr(moduleAt, moduleWidth);
    while (!module.empty() && module.back() == ' ')
        module.remove_suffix(1);
    fields = RecordFields{line.substr(0, 1), line.substr(2, width),
                          line.substr(threadAt, threadWidth), module, line.substr(textAt)};
    return true;
}
