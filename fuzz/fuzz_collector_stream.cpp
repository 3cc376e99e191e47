// The collector's reading of network bytes: the stream parser on fuzzer-chosen streams
// split into fuzzer-chosen reads, and everything made from what it hands on (JSON
// strings, record fields, file names). No crash, pieces within their bound, JSON strings
// of valid UTF-8 without raw control characters, file names of safe characters only.
//
// Input: one byte of read size, then the stream.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FileName.h"
#include "JsonText.h"
#include "RecordFields.h"
#include "StreamParser.h"

namespace {

constexpr StreamLimits limits{256, 64};

void require(bool condition) {
    if (!condition)
        std::abort();
}

// Independent of the writer: every byte below 0x80 printable or escaped, every other
// byte part of a well-formed sequence (the writer's stricter checks aside).
void checkJsonString(std::string_view json) {
    require(json.size() >= 2 && json.front() == '"' && json.back() == '"');
    std::string_view body = json.substr(1, json.size() - 2);
    for (std::size_t i = 0; i < body.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(body[i]);
        require(c >= 0x20 && c != '"');
        if (c == '\\') {
            require(i + 1 < body.size());
            char escaped = body[++i];
            if (escaped == 'u') {
                require(i + 4 < body.size());
                i += 4;
            } else {
                require(std::string_view("\"\\/bfnrt").find(escaped) != std::string_view::npos);
            }
        } else if (c >= 0x80) {
            std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
            require(c >= 0xC2 && c <= 0xF4 && i + length <= body.size());
            for (std::size_t k = 1; k < length; ++k)
                require((static_cast<unsigned char>(body[i + k]) & 0xC0) == 0x80);
            i += length - 1;
        }
    }
}

void checkText(std::string_view text) {
    std::string json;
    appendJsonString(json, text);
    checkJsonString(json);
}

class Checks : public StreamEvents {
  public:
    void onHeader(const StreamHeader& header) override {
        require(header.uuid.size() <= StreamParser::uuidLimit);
        require(header.application.size() <= StreamParser::nameLimit);
        std::string name = instanceFileName(header.application, header.uuid, ".log");
        // Within the longest file name the systems allow (255).
        require(!name.empty() && name[0] != '.' && name[0] != '-' && name.size() <= 255);
        require(name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                       "0123456789-_.~") == std::string::npos);
        checkText(header.application);
        checkText(header.uuid);
    }
    void onLostReport(std::uint64_t) override {}
    void onLine(const LinePiece& piece) override {
        require(piece.bytes.size() <= limits.lineBytes);
        require(piece.bytes.find('\n') == std::string_view::npos);
        RecordFields fields;
        if (splitRecordLine(piece.bytes, fields)) {
            require(fields.level.size() == 1 && fields.thread.size() == 8);
            require(fields.text.data() + fields.text.size() ==
                    piece.bytes.data() + piece.bytes.size());
        }
        checkText(piece.bytes);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    std::size_t readSize = data[0] == 0 ? size : data[0];
    std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);
    Checks checks;
    StreamParser parser(checks, limits);
    for (std::size_t at = 0; at < stream.size(); at += readSize)
        if (!parser.feed(stream.substr(at, readSize)))
            break;
    parser.finish();
    return 0;
}
