// Splits one connection's byte stream into the collector protocol's parts: the header
// block that opens it, "LOST: n" reports between records, and record lines. Pure logic
// with bounded memory, so that it can be tested without sockets.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct StreamHeader {
    std::string uuid;        // as sent, cut to uuidLimit bytes
    std::string application; // NAME without its "(log started, ...)" tail, cut to nameLimit
    std::uint64_t lost = 0;  // the header's LOST line
};

// Where a piece of record bytes sits in its line. A line longer than the line bound
// arrives as several pieces; a short line as one piece that both starts and ends it.
struct LinePiece {
    std::string_view bytes; // without the line's newline
    bool startsLine = true;
    bool endsLine = true;
};

class StreamEvents {
  public:
    virtual ~StreamEvents() = default;
    virtual void onHeader(const StreamHeader& header) = 0;
    virtual void onLostReport(std::uint64_t count) = 0;
    virtual void onLine(const LinePiece& piece) = 0;
};

struct StreamLimits {
    std::size_t headerBytes = 16384; // the whole header block, lost reports before it included
    std::size_t lineBytes = 65536;   // a record line is handed on in pieces of at most this
};

class StreamParser {
  public:
    static constexpr std::size_t uuidLimit = 64;
    static constexpr std::size_t nameLimit = 255;

    StreamParser(StreamEvents& events, const StreamLimits& limits);

    // Consumes bytes; false once the stream was rejected (then rejection() says why and
    // every later call is ignored).
    bool feed(std::string_view bytes);
    // The connection ended: a line left open is handed on, ended.
    void finish();

    bool headerDone() const { return phase_ == Phase::records; }
    bool rejected() const { return phase_ == Phase::rejected; }
    const char* rejection() const { return rejection_; }

  private:
    enum class Phase { opening, uuid, lost, name, records, rejected };

    void feedHeader(std::string_view& bytes);
    void feedRecords(std::string_view bytes);
    void headerLine(std::string_view line);
    void addToLine(std::string_view part);
    void endLine(std::string_view part);
    void recordLine(std::string_view line);
    void recordPiece(std::string_view bytes, bool endsLine);
    void releasePendingEmptyLine();
    void reject(const char* reason);

    StreamEvents& events_;
    StreamLimits limits_;
    Phase phase_ = Phase::opening;
    const char* rejection_ = "";
    StreamHeader header_;
    std::size_t headerBytes_ = 0;
    std::string partial_;           // the unfinished line, never above the bound in use
    bool continuing_ = false;       // pieces of the current line were already handed on
    bool pendingEmptyLine_ = false; // an empty line that may open a lost report
};

// "LOST: <digits>" gives the count; any other text gives false.
bool parseLostLine(std::string_view line, std::uint64_t& count);
