// Logger thresholds from the "Level" setting.
#include "core/Level.h"
#include <cstring>
#include "core/Logger.h"
#include "foundation/NumberConversion.h"

namespace {

// The whole text is an unsigned 32-bit decimal number (leading blanks and one '+'
// allowed, nothing after the digits, no overflow).
bool readDecimal(const char* text, uint32_t* value) {
    return ksToUInt32(text, value, 10) == ksNumberOk;
}

const char* nameOfThreshold(uint32_t value) {
    if (value <= 1)
        return "Off";
    if (value == 2)
        return "Error";
    if (value == 3)
        return "Warn";
    if (value == 4)
        return "Info";
    if (value >= 0xFFFF)
        return "All";
    return nullptr; // keeps its digits
}

} // namespace

uint16_t parseLevel(ksLogger* logger, const char* defaultText) {
    uint32_t number = 0;
    const char* defaultValue = defaultText ? defaultText : "";
    if (readDecimal(defaultValue, &number) && nameOfThreshold(number))
        defaultValue = nameOfThreshold(number);
    ksString value = logger->getOwnSetting("Level", defaultValue).toLower();
    static const struct {
        const char* name;
        uint16_t threshold;
    } names[] = {{"off", 0},  {"error", 2},      {"warn", 3},    {"warning", 3},
                 {"info", 4}, {"debug", 0xFFFF}, {"all", 0xFFFF}};
    for (const auto& entry : names)
        if (std::strcmp(value.c_str(), entry.name) == 0)
            return entry.threshold;
    if (readDecimal(value.c_str(), &number))
        return static_cast<uint16_t>(number);
    return 0;
}
