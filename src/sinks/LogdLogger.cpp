// ksLogdLogger and ksLogger_ksLogd_Init: the stream to the log collector.
#include "sinks/LogdLogger.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "config/Config.h"
#include "config/Settings.h"
#include "core/Library.h"
#include "core/Level.h"
#include "foundation/Fatal.h"
#include "foundation/Format.h"
#include "sinks/LogdTarget.h"

namespace {

ksLogdLogger* theLogdLogger = nullptr; // guarded by the library lock

constexpr int32_t sendBufferBytes = 102400;
constexpr uint64_t initialBlockCapacity = 256;
constexpr uint64_t resolutionRetryMicroseconds = 1000000;

void printDeprecationBanner(const char* target) {
    ksString settings = settingsFileName();
    std::fprintf(stderr,
                 "#######################################################\n"
                 "# Warning: KESTLOG is deprecated. To change log target,\n"
                 "# edit %s\n"
                 "# or _%s\n"
                 "# Current target: %s\n"
                 "#######################################################\n",
                 settings.c_str(), settings.c_str(), target);
}

} // namespace

ksLogdLogger::ksLogdLogger() : ksLogger("ksLogd", true) {
    theLogdLogger = this;
    ksPlatform::startSockets();
    block_ = static_cast<char*>(ksMalloc(initialBlockCapacity));
    capacity_ = initialBlockCapacity;
    uint8_t id[16];
    createInstanceId(id);
    formatInstanceId(id, identifier_);
    setThreshold(parseLevel(this, "Info"));
    // Read once for populate mode to write both keys back; the target is read again at
    // each resolution.
    getOwnIntSetting("Blocking", 0);
    getOwnSetting("Target", "%KESTLOG%");
    blocking_ = getOwnIntSetting("Blocking", 0);
}

ksLogdLogger::~ksLogdLogger() {
    theLogdLogger = nullptr;
    ksPlatform::closeSocket(socket_);
    std::free(block_);
}

ksLogdLogger* ksLogdLogger::instance() {
    return theLogdLogger;
}

// Read afresh at every try until one succeeds: "Target" and KESTLOG may change meanwhile.
bool ksLogdLogger::resolveTarget() {
    ksString environment = ksString::adopt(ksPlatform::environmentText("KESTLOG"));
    ksString configured = getOwnSetting("Target", "%KESTLOG%");
    ksLogdTargetChoice choice = chooseLogdTarget(configured, environment);
    if (choice.deprecationBanner)
        printDeprecationBanner(configured);
    if (choice.target.isEmpty()) {
        setThreshold(0); // "null": the sink stays registered and takes no record
        return false;
    }
    target_ = choice.target;
    ksLogdEndpoint endpoint = splitLogdTarget(target_);
    return ksPlatform::resolveAddress(endpoint.host, endpoint.port, &address_);
}

// A wall clock set back by more than the interval ends the wait at once.
bool ksLogdLogger::mayResolveNow() {
    if (blocking_ != 0 || nextResolution_ == 0)
        return true;
    uint64_t now = ksPlatform::wallClockMicroseconds();
    return now >= nextResolution_ || nextResolution_ - now > resolutionRetryMicroseconds;
}

bool ksLogdLogger::openSocket() {
    socket_ = ksPlatform::createStreamSocket(address_);
    if (socket_ == ksPlatform::kNoSocket)
        return false;
    if (blocking_ == 0)
        ksPlatform::setNonBlocking(socket_);
    ksPlatform::setSendBufferSize(socket_, sendBufferBytes);
    return true;
}

void ksLogdLogger::disconnect() {
    ksPlatform::closeSocket(socket_);
    socket_ = ksPlatform::kNoSocket;
    state_ = disconnected;
    lineCut_ = false; // the next connection opens with a header that starts a new line
}

bool ksLogdLogger::pollConnection() {
    switch (ksPlatform::pollConnect(socket_)) {
    case ksPlatform::ConnectProgress::connected:
        return true;
    case ksPlatform::ConnectProgress::failed:
        disconnect();
        break;
    case ksPlatform::ConnectProgress::pending:
        break;
    }
    ++lost_;
    return false;
}

// A connection that just came up: the header goes out as a block of its own, through
// the record's formatting like any text, before the record's own block starts.
bool ksLogdLogger::announce(ksLogRecord* record) {
    uint32_t previouslyLost = lost_;
    state_ = connected;
    lastByte_ = '\n';
    startBlock();
    char header[256]; // the identifier has 36 bytes, the application name at most 63
    int length = ksFormatBuffer(header, sizeof header,
                                "\nPROTOCOL: ksLogd-1.0\nUUID: %s\nLOST: %u\nNAME: %s(log started, "
                                "%u logs previously lost)\n",
                                identifier_, previouslyLost, applicationName(), previouslyLost);
    if (length > 0 && length < static_cast<int>(sizeof header))
        write(header, static_cast<uint64_t>(length));
    ksLogdLogger::end(record);
    return socket_ != ksPlatform::kNoSocket;
}

bool ksLogdLogger::connect(ksLogRecord* record) {
    if (state_ == connected)
        return true;
    if (state_ == disconnected) {
        if (!resolved_) {
            if (!mayResolveNow())
                return false;
            if (!resolveTarget()) {
                nextResolution_ = ksPlatform::wallClockMicroseconds() + resolutionRetryMicroseconds;
                return false;
            }
        }
        resolved_ = true;
        if (!openSocket())
            return false;
        state_ = connecting;
        int32_t result = ksPlatform::connectSocket(socket_, address_);
        if (result == ksPlatform::kSocketFailed) {
            disconnect();
            ++lost_;
            return false;
        }
        if (result == 0)
            return announce(record);
    }
    return pollConnection() && announce(record);
}

void ksLogdLogger::startBlock() {
    length_ = 0;
    gathering_ = true;
}

ksSinkStart ksLogdLogger::begin(ksLogRecord* record) {
    gathering_ = false;
    if (!connect(record))
        return ksSinkStart::refused;
    if (lost_ > 0) {
        if (!ksPlatform::pollWritable(socket_)) {
            ++lost_;
            return ksSinkStart::refused;
        }
        std::fprintf(stderr, "ksLogdLogger: Restarting, %u logs were lost.\n", lost_);
        lost_ = 0;
    }
    startBlock();
    if (lineCut_) {
        // No lost report went out to end the part of a block the collector received.
        write("\n", 1);
        lineCut_ = false;
    }
    return lastByte_ == '\n' ? ksSinkStart::line : ksSinkStart::text;
}

void ksLogdLogger::write(const char* bytes, uint64_t count) {
    if (!gathering_ || count == 0 || !bytes)
        return;
    uint64_t needed = length_ + count;
    if (needed < length_)
        ksFatalError("memory:realloc", static_cast<size_t>(-1));
    if (needed > capacity_) {
        block_ = static_cast<char*>(ksRealloc(block_, static_cast<size_t>(needed)));
        capacity_ = needed;
    }
    std::memcpy(block_ + length_, bytes, static_cast<size_t>(count));
    length_ = needed;
}

// Its leading newline ends a line that a partly sent block left open at the collector.
void ksLogdLogger::sendLostReport() {
    char report[20];
    int length = ksFormatBuffer(report, sizeof report, "\nLOST: %u\n", lost_);
    if (length <= 0 || length >= static_cast<int>(sizeof report))
        return;
    if (ksPlatform::sendBytes(socket_, report, static_cast<uint32_t>(length)) > 0) {
        lost_ = 0;
        lineCut_ = false;
    }
}

// One send call, no retry: what does not go at once is lost.
bool ksLogdLogger::sendBlock() {
    if (length_ == 0)
        return true;
    uint32_t count = static_cast<uint32_t>(length_);
    int64_t sent = ksPlatform::sendBytes(socket_, block_, count);
    if (sent == ksPlatform::kSocketFailed) {
        disconnect();
        return false;
    }
    if (sent > 0 && static_cast<uint64_t>(sent) < length_)
        lineCut_ = true;
    return sent >= 0 && static_cast<uint64_t>(sent) == length_;
}

void ksLogdLogger::end(ksLogRecord*) {
    bool lost = true;
    if (socket_ != ksPlatform::kNoSocket && state_ == connected) {
        if (lost_ > 0)
            sendLostReport();
        if (gathering_) {
            lost = !sendBlock();
            if (lost)
                lastByte_ = '\n';
            else if (length_ > 0)
                lastByte_ = block_[length_ - 1];
        } else {
            lastByte_ = '\n';
        }
    }
    gathering_ = false;
    length_ = 0;
    if (lost)
        ++lost_;
}

void ksLogger_ksLogd_Init() {
    ksLibraryLock lock;
    if (!theLogdLogger && !isNeverLog())
        new ksLogdLogger; // owned by the registry from here on
}
