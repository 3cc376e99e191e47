// ksLogdConnection: connecting with a retry interval, polling, sending with the unsent
// rest kept, the lost count and its report, and the orderly close.
#include "sinks/LogdConnection.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "foundation/Fatal.h"
#include "foundation/Format.h"
#include "config/Message.h"
#include "core/Timestamp.h"

namespace {

constexpr int32_t sendBufferBytes = 102400;

// One send call; a text beyond 4 GiB goes in part at most.
int64_t sendOnce(ksPlatform::SocketHandle socket, const char* bytes, uint64_t length) {
    uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(length, UINT32_MAX));
    return ksPlatform::recordCalls.send(socket, bytes, count);
}

} // namespace

ksLogdConnection::~ksLogdConnection() {
    finish();
    std::free(unsent_);
}

// The rest of an earlier record and the lost report go out before the record begins;
// while the socket does not take them, the record is lost.
ksLogdConnection::Readiness ksLogdConnection::prepare(const ksPlatform::SocketAddress& address) {
    if (state_ == connected && peerHasClosed())
        close(false);
    if (state_ != connected)
        return connect(address);
    if (lost_ == 0 && unsentLength_ == 0)
        return Readiness::up;
    // While the socket stays full, a record costs a poll and no send.
    if (!ksPlatform::pollWritable(socket_)) {
        stalled_ = true;
        return refuse();
    }
    if (stalled_ && lost_ > 0)
        ksSayOnStandardError("ksLogdLogger: Restarting, %u logs were lost.\n", lost_);
    stalled_ = false;
    if (sendUnsent() && sendReport())
        return Readiness::up;
    stalled_ = state_ == connected;
    return refuse();
}

// A collector that has read everything and hung up leaves a socket that still takes a
// record, which would then be lost unseen: such a connection ends before the record, which
// goes on a new one or is counted. Asking costs a system call, as much as half a send, so
// a stream asks at most once a millisecond: a collector that hangs up in the middle of a
// stream has not read everything, and the next send after its reset fails and is counted.
bool ksLogdConnection::peerHasClosed() {
    uint64_t now = recordClock();
    if (now - peerCheckedAt_ < peerCheckMicroseconds)
        return false; // a clock set back makes the difference huge: it asks
    peerCheckedAt_ = now;
    return ksPlatform::peerHasClosed(socket_);
}

ksLogdConnection::Readiness ksLogdConnection::connect(const ksPlatform::SocketAddress& address) {
    if (state_ == connecting)
        return pollConnection();
    if (!mayTryNow())
        return refuse(); // no collector answered a moment ago: no socket, no system call
    socket_ = ksPlatform::createStreamSocket(address);
    if (socket_ == ksPlatform::kNoSocket) {
        attemptFailed(); // no descriptor left, say: the record is lost all the same
        return refuse();
    }
    if (!blocking_)
        ksPlatform::setNonBlocking(socket_);
    ksPlatform::setSendBufferSize(socket_, sendBufferBytes);
    state_ = connecting;
    int32_t result = ksPlatform::connectSocket(socket_, address);
    if (result == 0)
        return cameUp();
    if (result == ksPlatform::kSocketFailed) {
        close(false);
        attemptFailed();
        return refuse();
    }
    return pollConnection();
}

ksLogdConnection::Readiness ksLogdConnection::pollConnection() {
    switch (ksPlatform::pollConnect(socket_)) {
    case ksPlatform::ConnectProgress::connected:
        return cameUp();
    case ksPlatform::ConnectProgress::failed:
        close(false);
        attemptFailed();
        break;
    case ksPlatform::ConnectProgress::pending:
        break;
    }
    return refuse();
}

ksLogdConnection::Readiness ksLogdConnection::cameUp() {
    state_ = connected;
    lastByte_ = '\n';
    stalled_ = false;
    retryInterval_ = firstRetryMicroseconds;
    return Readiness::cameUp;
}

// A wall clock set back by more than the longest interval ends the wait at once.
bool ksLogdConnection::mayTryNow() const {
    if (blocking_ || retryAt_ == 0)
        return true;
    uint64_t now = recordClock();
    return now >= retryAt_ || retryAt_ - now > lastRetryMicroseconds;
}

// A blocking sink tries again at every record: its caller has chosen to wait.
void ksLogdConnection::attemptFailed() {
    if (blocking_)
        return;
    retryAt_ = recordClock() + retryInterval_;
    retryInterval_ = std::min(retryInterval_ * 2, lastRetryMicroseconds);
}

ksLogdConnection::Readiness ksLogdConnection::refuse() {
    ++lost_;
    return Readiness::refused;
}

bool ksLogdConnection::sendHeader(const char* bytes, uint64_t length) {
    uint32_t counted = lost_ + unsentRecords_;
    if (sendUnsent() && sendReport() && socket_ != ksPlatform::kNoSocket &&
        sendOnce(socket_, bytes, length) == static_cast<int64_t>(length))
        return true;
    // A stream whose header did not arrive whole names no instance, so the lost report
    // sent ahead of it reached nobody: its count stays. Start again later.
    close(socket_ != ksPlatform::kNoSocket);
    attemptFailed();
    lost_ = std::max(lost_, counted) + 1;
    return false;
}

bool ksLogdConnection::sendRecord(const char* bytes, uint64_t length) {
    if (state_ == connected) {
        if (length == 0)
            return true;
        int64_t result = sendOnce(socket_, bytes, length);
        if (result != ksPlatform::kSocketFailed) {
            uint64_t sent = result > 0 ? static_cast<uint64_t>(result) : 0;
            if (sent < length)
                keepUnsent(bytes + sent, length - sent, 1);
            lastByte_ = bytes[length - 1];
            return true;
        }
        close(true);
    }
    lastByte_ = '\n'; // the lost report that goes next ends whatever line is open
    ++lost_;
    return false;
}

// Its leading newline ends a line that the collector was left in. The count is taken
// from lost once the first byte of its report went out; a report that did not go at all
// leaves the count where it was, to be reported in full later.
bool ksLogdConnection::sendReport() {
    if (lost_ == 0)
        return true;
    char report[24];
    int length = ksFormatBuffer(report, sizeof report, "\nLOST: %u\n", lost_);
    if (length <= 0 || length >= static_cast<int>(sizeof report))
        return false;
    int64_t sent = sendOnce(socket_, report, static_cast<uint64_t>(length));
    if (sent == ksPlatform::kSocketFailed) {
        close(true);
        return false;
    }
    if (sent <= 0)
        return false;
    uint32_t count = lost_;
    lost_ = 0;
    if (sent == length)
        return true;
    keepUnsent(report + sent, static_cast<uint64_t>(length - sent), count);
    return false;
}

bool ksLogdConnection::sendUnsent() {
    if (unsentLength_ == 0)
        return true;
    if (socket_ == ksPlatform::kNoSocket)
        return false;
    int64_t sent = sendOnce(socket_, unsent_ + unsentOffset_, unsentLength_);
    if (sent == ksPlatform::kSocketFailed) {
        close(true);
        return false;
    }
    if (sent > 0) {
        unsentOffset_ += static_cast<uint64_t>(sent);
        unsentLength_ -= static_cast<uint64_t>(sent);
    }
    if (unsentLength_ > 0)
        return false;
    unsentRecords_ = 0;
    return true;
}

void ksLogdConnection::keepUnsent(const char* bytes, uint64_t length, uint32_t records) {
    if (length > unsentCapacity_) {
        unsent_ = static_cast<char*>(ksRealloc(unsent_, static_cast<size_t>(length)));
        unsentCapacity_ = length;
    }
    std::memcpy(unsent_, bytes, static_cast<size_t>(length));
    unsentOffset_ = 0;
    unsentLength_ = length;
    unsentRecords_ = records;
}

void ksLogdConnection::abandon() {
    unsentRecords_ = 0;
    close(false);
    lost_ = 0;
    retryAt_ = 0;
    retryInterval_ = firstRetryMicroseconds;
}

void ksLogdConnection::finish() {
    if (state_ == connected && (lost_ > 0 || unsentLength_ > 0) &&
        ksPlatform::pollWritable(socket_) && sendUnsent())
        sendReport();
    close(state_ == connected);
    if (lost_ > 0)
        ksSayOnStandardError("ksLogdLogger: Closing, %u logs were lost.\n", lost_);
    lost_ = 0;
}

// Orderly: what the collector sent is read and dropped first (a socket closed with
// unread bytes is reset, and a reset throws away the records the system still holds),
// then this side ends its sending, so the collector reads every record handed over.
// A record or report cut short counts as lost: the collector did not get it whole.
void ksLogdConnection::close(bool orderly) {
    if (socket_ != ksPlatform::kNoSocket) {
        if (orderly) {
            ksPlatform::discardReceived(socket_);
            ksPlatform::shutdownSending(socket_);
        }
        ksPlatform::closeSocket(socket_);
    }
    socket_ = ksPlatform::kNoSocket;
    state_ = disconnected;
    lastByte_ = '\n';
    stalled_ = false;
    lost_ += unsentRecords_;
    unsentRecords_ = 0;
    unsentOffset_ = 0;
    unsentLength_ = 0;
}
