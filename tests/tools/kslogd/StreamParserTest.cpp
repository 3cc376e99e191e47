// The stream parser must give the same events however the bytes are split into reads.
#include "StreamParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

// Writes every event as text: H[uuid|application|lost] L[n] and lines as
// [bytes] with '<' when a piece continues a line and '>' when it leaves the line open.
class Transcript : public StreamEvents {
  public:
    std::string text;
    void onHeader(const StreamHeader& header) override {
        text +=
            "H[" + header.uuid + "|" + header.application + "|" + std::to_string(header.lost) + "]";
    }
    void onLostReport(std::uint64_t count) override { text += "L[" + std::to_string(count) + "]"; }
    void onLine(const LinePiece& piece) override {
        text += piece.startsLine ? "[" : "<[";
        text += piece.bytes;
        text += piece.endsLine ? "]" : "]>";
    }
};

const std::string header = "\nPROTOCOL: ksLogd-1.0\nUUID: u-1\nLOST: 0\n"
                           "NAME: app(log started, 0 logs previously lost)\n";
const std::string headerEvent = "H[u-1|app|0]";

struct ParserCase {
    const char* name;
    std::string input;
    std::string events;
    const char* rejection; // nullptr when the stream is accepted
    StreamLimits limits;
};

std::vector<ParserCase> parserCases() {
    StreamLimits small{128, 8};
    return {
        {"header only", header, headerEvent, nullptr, {}},
        {"lost report before the header is not repeated",
         "\nLOST: 7\n\nPROTOCOL: ksLogd-1.0\nUUID: u\nLOST: 7\nNAME: a b(log started, 7 logs "
         "previously lost)\n",
         "H[u|a b|7]",
         nullptr,
         {}},
        {"name without its tail is kept whole",
         "\nPROTOCOL: ksLogd-1.0\nUUID: u\nLOST: 0\nNAME: (x)\n",
         "H[u|(x)|0]",
         nullptr,
         {}},
        {"records and a report between them",
         header + "I a|b\nW c\n\nLOST: 3\nE d\n",
         headerEvent + "[I a|b][W c]L[3][E d]",
         nullptr,
         {}},
        {"a report ends a line left open",
         header + "I open\nLOST: 2\nI next\n",
         headerEvent + "[I open]L[2][I next]",
         nullptr,
         {}},
        {"empty lines of a record are kept",
         header + "I a\n\n\nI b\n",
         headerEvent + "[I a][][][I b]",
         nullptr,
         {}},
        {"an open line at the end is ended",
         header + "I no newline",
         headerEvent + "[I no newline]",
         nullptr,
         {}},
        {"a LOST line needs digits only",
         header + "LOST: 3x\nLOST: \n",
         headerEvent + "[LOST: 3x][LOST: ]",
         nullptr,
         {}},
        {"a long line in pieces", header + "0123456789abcdefXY\nshort\n",
         headerEvent + "[01234567]><[89abcdef]><[XY][short]", nullptr, small},
        {"a line of exactly the bound is one piece", header + "01234567\n",
         headerEvent + "[01234567]", nullptr, small},
        {"pieces end between characters", header + "abcdefg\xc3\xa9xyz\n",
         headerEvent + "[abcdefg]><[\xc3\xa9xyz]", nullptr, small},
        {"a four-byte character moves whole into the next piece",
         header + "abcde\xf0\x9f\x98\x80\xe2\x82\xac!\n",
         headerEvent + "[abcde]><[\xf0\x9f\x98\x80\xe2\x82\xac!]", nullptr, small},
        {"bytes that are not UTF-8 are cut at the bound", header + "abcdefg\xff\xc3(\n",
         headerEvent + "[abcdefg\xff]><[\xc3(]", nullptr, small},
        {"garbage", "GET / HTTP/1.1\r\n", "", "no protocol header", {}},
        {"garbage without newlines", std::string(300, '\xff'), "", "no protocol header", {}},
        {"another protocol", "\nPROTOCOL: ksLogd-2.0\n", "", "unknown protocol", {}},
        {"fields out of order", "\nPROTOCOL: ksLogd-1.0\nLOST: 0\n", "", "header without UUID", {}},
        {"lost count of letters",
         "\nPROTOCOL: ksLogd-1.0\nUUID: u\nLOST: many\n",
         "",
         "header without LOST",
         {}},
        {"no name",
         "\nPROTOCOL: ksLogd-1.0\nUUID: u\nLOST: 0\nNAMES: x\n",
         "",
         "header without NAME",
         {}},
        {"a header that never ends", "\nPROTOCOL: ksLogd-1.0\nUUID: " + std::string(200, 'u'), "",
         "header too long", small},
        {"binary zeros in the name",
         "\nPROTOCOL: ksLogd-1.0\nUUID: u\nLOST: 0\nNAME: a\0b\n"s,
         "H[u|a\0b|0]"s,
         nullptr,
         {}},
    };
}

std::string parse(const ParserCase& test, std::size_t chunk, const char** rejection) {
    Transcript transcript;
    StreamParser parser(transcript, test.limits);
    for (std::size_t at = 0; at < test.input.size(); at += chunk)
        if (!parser.feed(std::string_view(test.input).substr(at, chunk)))
            break;
    parser.finish();
    *rejection = parser.rejected() ? parser.rejection() : nullptr;
    return transcript.text;
}

TEST(StreamParser, GivesTheSameEventsForEverySplitOfTheStream) {
    for (const ParserCase& test : parserCases()) {
        for (std::size_t chunk : {test.input.size() + 1, std::size_t{1}, std::size_t{7}}) {
            SCOPED_TRACE(std::string(test.name) + ", reads of " + std::to_string(chunk));
            const char* rejection = nullptr;
            EXPECT_EQ(parse(test, chunk, &rejection), test.events);
            EXPECT_STREQ(rejection, test.rejection);
        }
    }
}

TEST(StreamParser, CutsUuidAndNameFromTheNetworkToTheirBounds) {
    Transcript transcript;
    StreamParser parser(transcript, StreamLimits{});
    std::string longName(10000, 'n');
    parser.feed("\nPROTOCOL: ksLogd-1.0\nUUID: " + std::string(500, 'u') +
                "\nLOST: 0\nNAME: " + longName + "(log started, 0 logs previously lost)\n");
    EXPECT_EQ(transcript.text, "H[" + std::string(StreamParser::uuidLimit, 'u') + "|" +
                                   std::string(StreamParser::nameLimit, 'n') + "|0]");
}

TEST(LostLine, ReadsOnlyACountOfDigits) {
    struct {
        const char* line;
        bool valid;
        std::uint64_t count;
    } cases[] = {{"LOST: 0", true, 0},
                 {"LOST: 4294967295", true, 4294967295u},
                 {"LOST: 9999999999999999999", true, 9999999999999999999u},
                 {"LOST: 99999999999999999999", false, 0},
                 {"LOST:1", false, 0},
                 {"LOST: -1", false, 0},
                 {"lost: 1", false, 0}};
    for (const auto& test : cases) {
        std::uint64_t count = 0;
        EXPECT_EQ(parseLostLine(test.line, count), test.valid) << test.line;
        if (test.valid) {
            EXPECT_EQ(count, test.count) << test.line;
        }
    }
}

} // namespace
