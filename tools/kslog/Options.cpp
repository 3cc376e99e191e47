#include "Options.h"
#include <cstddef>

namespace {

// A whole decimal number from 0 to 65535: no sign, blanks or trailing text.
bool readNumber(const std::string& text, uint16_t* value) {
    if (text.empty() || text.size() > 5)
        return false;
    unsigned long number = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + static_cast<unsigned long>(c - '0');
    }
    if (number > 0xFFFF)
        return false;
    *value = static_cast<uint16_t>(number);
    return true;
}

std::string lowerCase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool readLevel(const std::string& text, uint16_t* level) {
    static const struct {
        const char* name;
        uint16_t level;
    } names[] = {{"error", 1}, {"warning", 2}, {"warn", 2}, {"info", 3}, {"debug", 4}};
    const std::string lower = lowerCase(text);
    for (const auto& entry : names) {
        if (lower == entry.name) {
            *level = entry.level;
            return true;
        }
    }
    return readNumber(text, level);
}

// Applies an option that takes a value; returns the error text, empty on success.
std::string applyValue(const std::string& name, const std::string& value, Options* options) {
    if (name == "--level" && !readLevel(value, &options->level))
        return "invalid level '" + value +
               "' (use error, warning, info, debug or a number from 0 to 65535)";
    if (name == "--module" && !readNumber(value, &options->module))
        return "invalid module '" + value + "' (use a number from 0 to 65535)";
    return {};
}

} // namespace

ParsedOptions parseOptions(const std::vector<std::string>& arguments) {
    ParsedOptions parsed;
    Options& options = parsed.options;
    size_t at = 0;
    for (; at < arguments.size(); ++at) {
        const std::string& word = arguments[at];
        if (word == "--") {
            ++at;
            break;
        }
        if (word.size() < 2 || word[0] != '-')
            break; // the message begins ("-" alone is a word of it)
        const size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        if (name == "--level" || name == "--module") {
            std::string value;
            if (equals != std::string::npos) {
                value = word.substr(equals + 1);
            } else if (at + 1 < arguments.size()) {
                value = arguments[++at];
            } else {
                parsed.error = "option '" + name + "' needs a value";
                return parsed;
            }
            parsed.error = applyValue(name, value, &options);
        } else if (word == "--hex") {
            options.hex = true;
        } else if (word == "--help" || word == "-h") {
            options.help = true;
        } else {
            parsed.error = "unknown option '" + word + "'";
        }
        if (!parsed.error.empty())
            return parsed;
    }
    options.message.assign(arguments.begin() + static_cast<std::ptrdiff_t>(at), arguments.end());
    return parsed;
}
