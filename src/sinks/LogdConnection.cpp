// ksLogdConnection: connecting with a retry interval, polling, sending, the lost count
// and its report, and the orderly close.
#include "sinks/LogdConnection.h"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include "foundation/Format.h"

namespace {

constexpr int32_t sendBufferBytes = 102400;

} // namespace

ksLogdConnection::~ksLogdConnection() {
    finish();
}

ksLogdConnection::Readiness ksLogdConnection::prepare(const ksPlatform::SocketAddress& address) {
    if (state_ != connected)
        return connect(address);
    if (lost_ == 0 && pendingLength_ == 0)
        return Readiness::up;
    // Records are being lost: while the socket stays full, a record costs a poll and
    // no send.
    if (!ksPlatform::pollWritable(socket_)) {
        stalled_ = true;
        return refuse();
    }
    if (stalled_ && lost_ > 0)
        std::fprintf(stderr, "ksLogdLogger: Restarting, %u logs were lost.\n", lost_);
    stalled_ = false;
    return Readiness::up; // the lost report goes ahead of this record's block
}

ksLogdConnection::Readiness ksLogdConnection::connect(const ksPlatform::SocketAddress& address) {
    if (state_ == connecting)
        return pollConnection();
    if (!mayTryNow())
        return refuse(); // no collector answered a moment ago: no socket, no system call
    socket_ = ksPlatform::createStreamSocket(address);
    if (socket_ == ksPlatform::kNoSocket)
        return Readiness::refused; // the system's trouble, not the collector's: not counted
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
    uint64_t now = clock_();
    return now >= retryAt_ || retryAt_ - now > lastRetryMicroseconds;
}

// A blocking sink tries again at every record: its caller has chosen to wait.
void ksLogdConnection::attemptFailed() {
    if (blocking_)
        return;
    retryAt_ = clock_() + retryInterval_;
    retryInterval_ = std::min(retryInterval_ * 2, lastRetryMicroseconds);
}

ksLogdConnection::Readiness ksLogdConnection::refuse() {
    ++lost_;
    return Readiness::refused;
}

bool ksLogdConnection::sendHeader(const char* bytes, uint64_t length) {
    if (sendPending() && sendReport() && socket_ != ksPlatform::kNoSocket &&
        ksPlatform::sendBytes(socket_, bytes, static_cast<uint32_t>(length)) ==
            static_cast<int64_t>(length))
        return true;
    // A stream whose header did not arrive whole names no instance: start again later.
    close(socket_ != ksPlatform::kNoSocket);
    attemptFailed();
    ++lost_;
    return false;
}

bool ksLogdConnection::sendRecord(const char* bytes, uint64_t length) {
    bool sent = false;
    if (state_ == connected && sendPending() && sendReport()) {
        if (length == 0)
            return true;
        // One send call, no retry: what does not go at once is lost. A block beyond
        // 4 GiB goes out in part at most, and counts as lost.
        uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(length, UINT32_MAX));
        int64_t result = ksPlatform::sendBytes(socket_, bytes, count);
        if (result == ksPlatform::kSocketFailed)
            close(true);
        sent = result == static_cast<int64_t>(length);
    }
    if (sent) {
        lastByte_ = bytes[length - 1];
        return true;
    }
    if (state_ == connected)
        stalled_ = true;
    lastByte_ = '\n'; // the lost report that goes next ends whatever line is open
    ++lost_;
    return false;
}

// Its leading newline ends a line that a block sent in part left open at the collector.
// The count is taken from lost once the first byte of its report went out; a report
// that did not go at all leaves the count where it was, to be reported in full later.
bool ksLogdConnection::sendReport() {
    if (lost_ == 0)
        return true;
    int length = ksFormatBuffer(pending_, sizeof pending_, "\nLOST: %u\n", lost_);
    if (length <= 0 || length >= static_cast<int>(sizeof pending_))
        return false;
    pendingLength_ = static_cast<uint32_t>(length);
    pendingCount_ = lost_;
    lost_ = 0;
    if (sendPending())
        return true;
    if (pendingLength_ == static_cast<uint32_t>(length)) {
        lost_ += pendingCount_;
        pendingLength_ = 0;
        pendingCount_ = 0;
    }
    return false;
}

bool ksLogdConnection::sendPending() {
    if (pendingLength_ == 0)
        return true;
    if (socket_ == ksPlatform::kNoSocket)
        return false;
    int64_t sent = ksPlatform::sendBytes(socket_, pending_, pendingLength_);
    if (sent == ksPlatform::kSocketFailed) {
        close(true);
        return false;
    }
    if (sent > 0) {
        pendingLength_ -= static_cast<uint32_t>(sent);
        std::memmove(pending_, pending_ + sent, pendingLength_);
    }
    if (pendingLength_ > 0)
        return false;
    pendingCount_ = 0;
    return true;
}

void ksLogdConnection::finish() {
    if (state_ == connected && (lost_ > 0 || pendingLength_ > 0) &&
        ksPlatform::pollWritable(socket_) && sendPending())
        sendReport();
    close(state_ == connected);
    if (lost_ > 0)
        std::fprintf(stderr, "ksLogdLogger: Closing, %u logs were lost.\n", lost_);
    lost_ = 0;
}

// Orderly: what the collector sent is read and dropped first (a socket closed with
// unread bytes is reset, and a reset throws away the blocks the system still holds),
// then this side ends its sending, so the collector reads every block handed over.
// A report cut short is counted again: the collector may not have read its number.
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
    lost_ += pendingCount_;
    pendingCount_ = 0;
    pendingLength_ = 0;
}
