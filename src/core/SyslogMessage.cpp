// The system log's message form. The tag is the application's name with the bytes that
// would end it early for a reader (blanks, ':', '[', ']', controls, non-ASCII) made '_';
// the time is local, as glibc sends it; the journal and rsyslog take their own receipt
// time anyway, but the form needs one for the tag to be found.
#include "core/SyslogMessage.h"
#include <cstring>

namespace {

constexpr size_t kTagMax = 48;
constexpr size_t kModuleNameMax = 32;

struct Facility {
    const char* name;
    int32_t code;
};
constexpr Facility kFacilities[] = {
    {"kern", 0},      {"user", 1},    {"mail", 2},    {"daemon", 3},  {"auth", 4},
    {"syslog", 5},    {"lpr", 6},     {"news", 7},    {"uucp", 8},    {"cron", 9},
    {"authpriv", 10}, {"ftp", 11},    {"local0", 16}, {"local1", 17}, {"local2", 18},
    {"local3", 19},   {"local4", 20}, {"local5", 21}, {"local6", 22}, {"local7", 23},
};

bool sameName(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        char lower = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a - 'A' + 'a') : *a;
        if (lower != *b)
            return false;
    }
    return *a == *b;
}

// Error 3, warning 4, informational 6, debug 7.
int32_t severity(uint16_t level) {
    return level <= 1 ? 3 : level == 2 ? 4 : level == 3 ? 6 : 7;
}

char* putDigits(char* out, uint32_t value, int width, char fill) {
    for (int i = width - 1; i >= 0; --i, value /= 10)
        out[i] = value == 0 && i < width - 1 ? fill : static_cast<char>('0' + value % 10);
    return out + width;
}

char* putNumber(char* out, uint32_t value) {
    char digits[10];
    char* end = digits + sizeof digits;
    char* at = end;
    do {
        *--at = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    std::memcpy(out, at, static_cast<size_t>(end - at));
    return out + (end - at);
}

uint32_t clamp(int value, int low, int high) {
    return static_cast<uint32_t>(value < low ? low : value > high ? high : value);
}

// "Mmm dd hh:mm:ss ", the day padded with a blank.
char* putTime(char* out, const ksPlatform::LocalTime& t) {
    static const char months[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    std::memcpy(out, months + 3 * (clamp(t.month, 1, 12) - 1), 3);
    out[3] = ' ';
    out = putDigits(out + 4, clamp(t.day, 1, 31), 2, ' ');
    *out++ = ' ';
    out = putDigits(out, clamp(t.hour, 0, 23), 2, '0');
    *out++ = ':';
    out = putDigits(out, clamp(t.minute, 0, 59), 2, '0');
    *out++ = ':';
    out = putDigits(out, clamp(t.second, 0, 60), 2, '0');
    *out++ = ' ';
    return out;
}

bool tagByte(unsigned char c) {
    return c > 0x20 && c < 0x7F && c != ':' && c != '[' && c != ']';
}

char* putTag(char* out, const char* application) {
    size_t length = 0;
    for (; application[length] && length < kTagMax; ++length) {
        auto c = static_cast<unsigned char>(application[length]);
        out[length] = tagByte(c) ? static_cast<char>(c) : '_';
    }
    if (length == 0)
        out[length++] = '_';
    return out + length;
}

char* putModule(char* out, uint16_t module, const char* name) {
    if (!name)
        return putNumber(out, module);
    size_t length = std::strlen(name);
    length = length < kModuleNameMax ? length : kModuleNameMax;
    std::memcpy(out, name, length);
    return out + length;
}

bool continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The cut at or before piece that leaves the character across it whole for the next
// datagram. Bytes that are not UTF-8 are characters of their own.
size_t wholeCharacters(const char* text, size_t piece) {
    size_t start = piece;
    while (start > 0 && piece - start < 3 && continuation(text[start]))
        --start;
    auto lead = static_cast<unsigned char>(text[start]);
    size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return start < piece && start + length > piece ? start : piece;
}

} // namespace

int32_t syslogFacility(const char* name) {
    for (const Facility& facility : kFacilities)
        if (sameName(name, facility.name))
            return facility.code;
    return -1;
}

ksSyslogDatagrams::ksSyslogDatagrams(const ksSyslogRecord& record) {
    char* at = header_;
    *at++ = '<';
    at = putNumber(
        at, static_cast<uint32_t>(clamp(record.facility, 0, 23) * 8 + severity(record.level)));
    *at++ = '>';
    at = putTime(at, record.time);
    at = putTag(at, record.application);
    *at++ = '[';
    at = putNumber(at, record.processId);
    *at++ = ']';
    *at++ = ':';
    *at++ = ' ';
    at = putModule(at, record.module, record.moduleName);
    *at++ = ' ';
    headerLength_ = static_cast<size_t>(at - header_);
    text_ = record.text;
    left_ = record.textLength;
    if (left_ > 0 && text_[left_ - 1] == '\n')
        --left_;
}

size_t ksSyslogDatagrams::next(char (&out)[kSyslogDatagramSize]) {
    if (started_ && left_ == 0)
        return 0;
    started_ = true;
    size_t room = kSyslogDatagramSize - headerLength_;
    size_t piece = left_ < room ? left_ : room;
    if (piece < left_)
        piece = wholeCharacters(text_, piece);
    std::memcpy(out, header_, headerLength_);
    std::memcpy(out + headerLength_, text_, piece);
    text_ += piece;
    left_ -= piece;
    return headerLength_ + piece;
}
