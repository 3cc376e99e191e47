// ksLogdLogger and ksLogger_ksLogd_Init: the stream to the log collector.
#include "sinks/LogdLogger.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "config/Config.h"
#include "config/Settings.h"
#include "core/Library.h"
#include "core/Level.h"
#include "core/Timestamp.h"
#include "foundation/Fatal.h"
#include "foundation/Format.h"
#include "config/Message.h"
#include "sinks/LogdTarget.h"

namespace {

ksLogdLogger* theLogdLogger = nullptr; // guarded by the library lock

constexpr uint64_t resolutionRetryMicroseconds = 1000000;

void printDeprecationBanner(const char* target) {
    ksString settings = settingsFileName();
    ksSayOnStandardError("#######################################################\n"
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
    uint8_t id[16];
    createInstanceId(id);
    formatInstanceId(id, identifier_);
    forks_ = ksLibrary.forks;
    setThreshold(parseLevel(this, "Info"));
    // Read once for populate mode to write both keys back; the target is read again at
    // each resolution.
    getOwnIntSetting("Blocking", 0);
    getOwnSetting("Target", "%KESTLOG%");
    blocking_ = getOwnIntSetting("Blocking", 0);
    connection_.setBlocking(blocking_ != 0);
}

ksLogdLogger::~ksLogdLogger() {
    theLogdLogger = nullptr;
    leaveParentsConnection();
    connection_.finish();
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
    uint64_t now = recordClock();
    return now >= nextResolution_ || nextResolution_ - now > resolutionRetryMicroseconds;
}

// A connection that just came up: the header goes out with a send of its own, before the
// record that opened the connection.
bool ksLogdLogger::announce() {
    uint32_t previouslyLost = connection_.lost();
    char header[256]; // the identifier has 36 bytes, the application name at most 63
    int length = ksFormatBuffer(header, sizeof header,
                                "\nPROTOCOL: ksLogd-1.0\nUUID: %s\nLOST: %u\nNAME: %s(log started, "
                                "%u logs previously lost)\n",
                                identifier_, previouslyLost, applicationName(), previouslyLost);
    if (length <= 0 || length >= static_cast<int>(sizeof header))
        length = 0;
    return connection_.sendHeader(header, static_cast<uint64_t>(length));
}

// Records that wait for a name to resolve are lost like any other the collector did not
// get; the first failure says why, once until a resolution succeeds.
bool ksLogdLogger::connect() {
    if (!resolved_) {
        if (!mayResolveNow()) {
            connection_.countLost();
            return false;
        }
        if (!resolveTarget()) {
            nextResolution_ = recordClock() + resolutionRetryMicroseconds;
            if (threshold() == 0)
                return false; // "null": nothing is expected, nothing is lost
            if (!resolutionFailureSaid_)
                ksSayOnStandardError("ksLogdLogger: cannot resolve %s\n", target_.c_str());
            resolutionFailureSaid_ = true;
            connection_.countLost();
            return false;
        }
        resolved_ = true;
        resolutionFailureSaid_ = false;
    }
    switch (connection_.prepare(address_)) {
    case ksLogdConnection::Readiness::up:
        return true;
    case ksLogdConnection::Readiness::cameUp:
        return announce();
    case ksLogdConnection::Readiness::refused:
        break;
    }
    return false;
}

// A forked child is an instance of its own: its own identifier, with its process id,
// and its own connection. The parent's stays untouched.
void ksLogdLogger::leaveParentsConnection() {
    if (forks_ == ksLibrary.forks)
        return;
    forks_ = ksLibrary.forks;
    connection_.abandon();
    uint8_t id[16];
    createInstanceId(id);
    formatInstanceId(id, identifier_);
}

// The record is stamped first: the connection's time checks read the same clock reading.
ksSinkStart ksLogdLogger::begin(ksLogRecord* record) {
    leaveParentsConnection();
    stampRecord(record);
    if (!connect())
        return ksSinkStart::refused;
    return connection_.atLineStart() ? ksSinkStart::line : ksSinkStart::text;
}

// Only a record whose begin took it ends here: one refused was counted there, so nothing
// is counted twice.
void ksLogdLogger::deliver(ksLogRecord*, const char* bytes, uint64_t count) {
    connection_.sendRecord(bytes, count);
}

void ksLogger_ksLogd_Init() {
    ksLibraryLock lock;
    if (!theLogdLogger && !isNeverLog())
        new ksLogdLogger; // owned by the registry from here on
}
