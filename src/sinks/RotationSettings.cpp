// The rotation and retention keys of the file sink.
#include "sinks/RotationSettings.h"
#include "config/Settings.h"

namespace {

constexpr uint64_t kLargestSize = uint64_t{1} << 62;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The rest of text after word (lower case) at its start, in either case; null otherwise.
const char* afterWord(const char* text, const char* word) {
    for (; *word; ++text, ++word)
        if (lower(*text) != *word)
            return nullptr;
    return text;
}

bool equalsIgnoringCase(const char* text, const char* word) {
    const char* rest = afterWord(text, word);
    return rest && *rest == '\0';
}

int unitShift(char suffix) {
    switch (lower(suffix)) {
    case 'k':
        return 10;
    case 'm':
        return 20;
    case 'g':
        return 30;
    default:
        return -1;
    }
}

// "H:MM" or "HH:MM" into minutes of the day.
bool parseClock(const char* text, int32_t* minute) {
    int hour = 0;
    int digits = 0;
    for (; isDigit(*text) && digits < 2; ++text, ++digits)
        hour = hour * 10 + (*text - '0');
    if (digits == 0 || hour > 23 || text[0] != ':' || !isDigit(text[1]) || !isDigit(text[2]) ||
        text[3] != '\0')
        return false;
    int minutes = (text[1] - '0') * 10 + (text[2] - '0');
    if (minutes > 59)
        return false;
    *minute = hour * 60 + minutes;
    return true;
}

uint32_t positiveOrZero(int32_t value) {
    return value > 0 ? static_cast<uint32_t>(value) : 0;
}

} // namespace

bool parseByteSize(const char* text, uint64_t* bytes) {
    if (!text || !isDigit(*text))
        return false;
    uint64_t value = 0;
    for (; isDigit(*text); ++text) {
        value = value * 10 + static_cast<uint64_t>(*text - '0');
        if (value > kLargestSize)
            return false;
    }
    int shift = 0;
    if (*text) {
        shift = unitShift(*text);
        if (shift < 0 || text[1] != '\0')
            return false;
    }
    if (value > (kLargestSize >> shift))
        return false;
    *bytes = value << shift;
    return true;
}

bool parseRotateSchedule(const char* text, ksRotatePeriod* period, int32_t* dailyMinute) {
    if (!text)
        return false;
    if (equalsIgnoringCase(text, "hourly")) {
        *period = ksRotatePeriod::hourly;
        return true;
    }
    if (equalsIgnoringCase(text, "daily")) {
        *period = ksRotatePeriod::daily;
        *dailyMinute = 0;
        return true;
    }
    const char* clock = afterWord(text, "daily@");
    if (!clock || !parseClock(clock, dailyMinute))
        return false;
    *period = ksRotatePeriod::daily;
    return true;
}

ksRotationSettings readRotationSettings(const char* section) {
    ksRotationSettings settings;
    // An empty default: nothing is written back, also in populate mode.
    ksString maxSize = ksReadSetting(section, "MaxSize", ksString(), false, true);
    if (!parseByteSize(maxSize, &settings.maxSize))
        settings.maxSize = 0;
    ksString rotate = ksReadSetting(section, "Rotate", ksString(), false, true);
    if (!parseRotateSchedule(rotate, &settings.period, &settings.dailyMinute))
        settings.period = ksRotatePeriod::never;
    settings.keep = positiveOrZero(ksReadIntSetting(section, "Keep", 0, false, true));
    settings.maxAgeDays = positiveOrZero(ksReadIntSetting(section, "MaxAge", 0, false, true));
    return settings;
}
