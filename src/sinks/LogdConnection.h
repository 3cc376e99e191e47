// ksLogdConnection: the daemon sink's TCP connection to the collector. It connects
// (without waiting, unless the sink blocks), sends each record with one call, keeps the
// part the socket did not take (of one record at most) to send before anything else,
// counts the records it could not take as lost, keeps that count until a lost report has
// carried it to the collector, and closes in order. The collector never sees a record
// cut short while the connection lasts. Every record the sink takes part in is counted
// here at most once: either the connection refuses it, or it is sent, or it is lost.
#pragma once
#include <cstdint>
#include "platform/platform.h"

class ksLogdConnection {
  public:
    enum class Readiness {
        up,      // connected, nothing waiting: send the record
        cameUp,  // connected just now: send the header first
        refused, // no connection for this record (counted as lost when the collector
                 // was expected and did not answer)
    };

    // After a connection attempt fails, a non-blocking sink makes no new socket before
    // this much time has passed: it doubles from the first to the last value, and a
    // connection brings it back to the first.
    static constexpr uint64_t firstRetryMicroseconds = 4000;
    static constexpr uint64_t lastRetryMicroseconds = 1024000;

    ksLogdConnection() = default;
    // Finishes: see finish().
    ~ksLogdConnection();
    ksLogdConnection(const ksLogdConnection&) = delete;
    ksLogdConnection& operator=(const ksLogdConnection&) = delete;

    void setBlocking(bool blocking) { blocking_ = blocking; }

    // Before a record: connects or checks the connection, and sends what must go before
    // the record (the rest of an earlier one, the lost report).
    Readiness prepare(const ksPlatform::SocketAddress& address);
    // On a connection that came up: the pending lost report, then the header. False when
    // the header did not go out whole: the connection is closed and the record that
    // opened it counted as lost.
    bool sendHeader(const char* bytes, uint64_t length);
    // After prepare said up: the record with one send call; what the socket did not take
    // is kept and goes first next time. False (and the record counted) when the
    // connection failed.
    bool sendRecord(const char* bytes, uint64_t length);
    // Tells what nobody has heard of yet: a pending count goes out as a lost report if
    // the socket takes it at once, and otherwise to the standard error stream. Then the
    // connection is closed in order.
    void finish();

    // A record that found no collector address (a name that does not resolve): lost like
    // any other record the collector did not get, and reported with them.
    void countLost() { ++lost_; }

    // In a child made by fork(): the connection and its counts belong to the parent,
    // which goes on using them. Let go of this process's copy of the socket, without a
    // word to the collector; the next record connects anew.
    void abandon();

    // The next record starts a line at the collector.
    bool atLineStart() const { return lastByte_ == '\n'; }
    // Records not delivered that the collector has not been told of (the header says it).
    uint32_t lost() const { return lost_; }

  private:
    enum State { disconnected, connecting, connected };

    Readiness connect(const ksPlatform::SocketAddress& address);
    Readiness pollConnection();
    Readiness cameUp();
    bool mayTryNow() const;
    void attemptFailed();
    Readiness refuse();
    bool peerHasClosed();
    bool sendReport();
    bool sendUnsent();
    void keepUnsent(const char* bytes, uint64_t length, uint32_t records);
    void close(bool orderly);

    State state_ = disconnected;
    ksPlatform::SocketHandle socket_ = ksPlatform::kNoSocket;
    bool blocking_ = false;
    uint32_t lost_ = 0;
    // '\n' at the start of a connection and after a record not sent (the lost report
    // that must precede the next record begins with a newline); otherwise the last byte
    // of the last record sent or kept.
    char lastByte_ = '\n';
    // Records were lost because the connection did not take them: once it takes bytes
    // again, the sink says so on the standard error stream.
    bool stalled_ = false;
    // The end of a record or lost report that the socket took in part: it goes before
    // anything else, so that the collector never reads a record or a number cut short.
    // The buffer grows to the longest record kept and is reused.
    char* unsent_ = nullptr;
    uint64_t unsentCapacity_ = 0;
    uint64_t unsentOffset_ = 0; // where the bytes still to send begin
    uint64_t unsentLength_ = 0;
    uint32_t unsentRecords_ = 0; // what counts as lost if the connection drops it
    // Wall clock, microseconds: no new socket before this moment (non-blocking only).
    uint64_t retryAt_ = 0;
    uint64_t retryInterval_ = firstRetryMicroseconds;
    // Wall clock, microseconds: when the peer was last asked whether it hung up.
    uint64_t peerCheckedAt_ = 0;
    static constexpr uint64_t peerCheckMicroseconds = 1000;
};
