// The collector's reading of the daemon sink's stream. A connection opens with
// "\nPROTOCOL: ksLogd-1.0\nUUID: u\nLOST: n\nNAME: app(log started, n logs previously lost)\n",
// possibly preceded by "\nLOST: n\n" (the same n, so only the header's line is counted).
// Then come record lines, and "\nLOST: n\n" reports whose leading newline either ends a
// line that a partly sent record left open or shows up as an empty line of its own.
#include "StreamParser.h"

#include "Utf8.h"

#include <cstring>

namespace {

constexpr std::string_view protocolLine = "PROTOCOL: ksLogd-1.0";
constexpr std::string_view protocolKey = "PROTOCOL: ";
constexpr std::string_view uuidKey = "UUID: ";
constexpr std::string_view lostKey = "LOST: ";
constexpr std::string_view nameKey = "NAME: ";
constexpr std::string_view startedTail = "(log started, ";

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string cut(std::string_view text, std::size_t limit) {
    return std::string(text.substr(0, limit));
}

// Whether text can still grow into a line that may open a stream, so that garbage
// without newlines is refused at once rather than when the header bound is reached.
bool mayOpenStream(std::string_view text) {
    for (std::string_view key : {protocolKey, lostKey})
        if (text.substr(0, key.size()) == key.substr(0, text.size()))
            return true;
    return false;
}

// NAME carries the application name glued to "(log started, n logs previously lost)".
std::string_view applicationOfNameLine(std::string_view value) {
    std::size_t tail = value.rfind(startedTail);
    if (tail == std::string_view::npos || value.back() != ')')
        return value;
    return value.substr(0, tail);
}

} // namespace

bool parseLostLine(std::string_view line, std::uint64_t& count) {
    if (!startsWith(line, lostKey))
        return false;
    std::string_view digits = line.substr(lostKey.size());
    if (digits.empty() || digits.size() > 19) // 19 digits always fit in 64 bits
        return false;
    std::uint64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    count = value;
    return true;
}

StreamParser::StreamParser(StreamEvents& events, const StreamLimits& limits)
    : events_(events), limits_(limits) {
    if (limits_.lineBytes == 0)
        limits_.lineBytes = 1;
}

bool StreamParser::feed(std::string_view bytes) {
    while (!bytes.empty() && phase_ != Phase::records && phase_ != Phase::rejected)
        feedHeader(bytes);
    if (phase_ == Phase::records)
        feedRecords(bytes);
    return phase_ != Phase::rejected;
}

void StreamParser::feedHeader(std::string_view& bytes) {
    const char* newline = static_cast<const char*>(std::memchr(bytes.data(), '\n', bytes.size()));
    std::size_t taken =
        newline ? static_cast<std::size_t>(newline - bytes.data()) + 1 : bytes.size();
    headerBytes_ += taken;
    if (headerBytes_ > limits_.headerBytes) {
        reject("header too long");
        return;
    }
    if (!newline) {
        partial_.append(bytes);
        bytes = {};
        if (phase_ == Phase::opening && !mayOpenStream(partial_))
            reject("no protocol header");
        return;
    }
    std::string_view line = bytes.substr(0, taken - 1);
    bytes.remove_prefix(taken);
    if (!partial_.empty()) {
        partial_.append(line);
        std::string whole;
        whole.swap(partial_);
        headerLine(whole);
    } else {
        headerLine(line);
    }
}

void StreamParser::headerLine(std::string_view line) {
    std::uint64_t count = 0;
    switch (phase_) {
    case Phase::opening:
        if (line.empty() || parseLostLine(line, count))
            return; // the opening newline, or a report that the header repeats
        if (line == protocolLine)
            phase_ = Phase::uuid;
        else
            reject(startsWith(line, protocolKey) ? "unknown protocol" : "no protocol header");
        return;
    case Phase::uuid:
        if (!startsWith(line, uuidKey))
            return reject("header without UUID");
        header_.uuid = cut(line.substr(uuidKey.size()), uuidLimit);
        phase_ = Phase::lost;
        return;
    case Phase::lost:
        if (!parseLostLine(line, header_.lost))
            return reject("header without LOST");
        phase_ = Phase::name;
        return;
    case Phase::name:
        if (!startsWith(line, nameKey))
            return reject("header without NAME");
        header_.application = cut(applicationOfNameLine(line.substr(nameKey.size())), nameLimit);
        phase_ = Phase::records;
        events_.onHeader(header_);
        return;
    case Phase::records:
    case Phase::rejected:
        return;
    }
}

void StreamParser::feedRecords(std::string_view bytes) {
    while (!bytes.empty()) {
        const char* newline =
            static_cast<const char*>(std::memchr(bytes.data(), '\n', bytes.size()));
        if (!newline) {
            addToLine(bytes);
            return;
        }
        std::size_t length = static_cast<std::size_t>(newline - bytes.data());
        endLine(bytes.substr(0, length));
        bytes.remove_prefix(length + 1);
    }
}

// A piece ends at a character boundary, so that each piece is valid UTF-8 on its own
// (a JSON line, a terminal) when the line is.
void StreamParser::addToLine(std::string_view part) {
    while (partial_.size() + part.size() > limits_.lineBytes) {
        std::size_t room = limits_.lineBytes - partial_.size();
        std::string_view piece = part.substr(0, room);
        if (!partial_.empty()) {
            partial_.append(piece);
            piece = partial_;
        }
        part.remove_prefix(room);
        std::size_t tail = unfinishedUtf8Tail(piece);
        if (tail == piece.size())
            tail = 0; // a bound below one character: cut inside it
        std::string carried(piece.substr(piece.size() - tail));
        recordPiece(piece.substr(0, piece.size() - tail), false);
        partial_ = carried;
    }
    partial_.append(part);
}

void StreamParser::endLine(std::string_view part) {
    if (!continuing_ && partial_.empty() && part.size() <= limits_.lineBytes) {
        recordLine(part); // the common case: a whole line inside one read, never copied
        return;
    }
    addToLine(part);
    if (continuing_)
        recordPiece(partial_, true);
    else
        recordLine(partial_);
    partial_.clear();
}

void StreamParser::recordLine(std::string_view line) {
    std::uint64_t count = 0;
    if (line.empty()) {
        releasePendingEmptyLine();
        pendingEmptyLine_ = true; // kept back: it may be the newline opening a report
        return;
    }
    if (parseLostLine(line, count)) {
        pendingEmptyLine_ = false;
        events_.onLostReport(count);
        return;
    }
    recordPiece(line, true);
}

void StreamParser::recordPiece(std::string_view bytes, bool endsLine) {
    if (!continuing_)
        releasePendingEmptyLine();
    events_.onLine(LinePiece{bytes, !continuing_, endsLine});
    continuing_ = !endsLine;
}

void StreamParser::releasePendingEmptyLine() {
    if (!pendingEmptyLine_)
        return;
    pendingEmptyLine_ = false;
    events_.onLine(LinePiece{});
}

void StreamParser::finish() {
    if (phase_ != Phase::records)
        return;
    if (continuing_ || !partial_.empty())
        recordPiece(partial_, true); // a line left open is ended here, not glued to the next
    releasePendingEmptyLine();
    partial_.clear();
}

void StreamParser::reject(const char* reason) {
    phase_ = Phase::rejected;
    rejection_ = reason;
    partial_.clear();
    partial_.shrink_to_fit();
}
