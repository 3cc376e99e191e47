// ksLogdConnection: the daemon sink's TCP connection to the collector. It connects
// (without waiting, unless the sink blocks), sends each block whole or counts its record
// as lost, keeps that count until a lost report has carried it to the collector, and
// closes in order. Every record the sink takes part in is counted here at most once:
// either the connection refuses it before its block is gathered, or its block is sent.
#pragma once
#include <cstdint>
#include "platform/platform.h"

class ksLogdConnection {
  public:
    enum class Readiness {
        up,      // connected: gather the record's block and send it
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
    // The clock of the retry interval (wall clock, microseconds); tests replace it.
    void setClock(uint64_t (*clock)()) { clock_ = clock; }

    // Before a record: connects or checks the connection.
    Readiness prepare(const ksPlatform::SocketAddress& address);
    // On a connection that came up: the pending lost report, then the header. False when
    // the header did not go out whole: the connection is closed and the record that
    // opened it counted as lost.
    bool sendHeader(const char* bytes, uint64_t length);
    // The record's block with one send call, after the pending lost report; false (and
    // the record counted) unless the whole block went out.
    bool sendRecord(const char* bytes, uint64_t length);
    // Tells what nobody has heard of yet: a pending count goes out as a lost report if
    // the socket takes it at once, and otherwise to the standard error stream. Then the
    // connection is closed in order.
    void finish();

    bool isConnected() const { return state_ == connected; }
    // The next block starts a line at the collector.
    bool atLineStart() const { return lastByte_ == '\n'; }
    // Records not delivered that the collector has not been told of.
    uint32_t lost() const { return lost_; }

  private:
    enum State { disconnected, connecting, connected };

    Readiness connect(const ksPlatform::SocketAddress& address);
    Readiness pollConnection();
    Readiness cameUp();
    bool mayTryNow() const;
    void attemptFailed();
    Readiness refuse();
    bool sendReport();
    bool sendPending();
    void close(bool orderly);

    State state_ = disconnected;
    ksPlatform::SocketHandle socket_ = ksPlatform::kNoSocket;
    bool blocking_ = false;
    uint32_t lost_ = 0;
    // '\n' at the start of a connection and after a block not sent whole (the lost
    // report that must precede the next block begins with a newline); otherwise the
    // last byte of the last block sent.
    char lastByte_ = '\n';
    // Records were lost because the connection did not take their blocks: once it
    // takes bytes again, the sink says so on the standard error stream.
    bool stalled_ = false;
    // The unsent end of a lost report that went out in part: it goes before anything
    // else, so that the collector never reads a number cut short.
    char pending_[24];
    uint32_t pendingLength_ = 0;
    uint32_t pendingCount_ = 0; // the count that report carries
    // Wall clock, microseconds: no new socket before this moment (non-blocking only).
    uint64_t retryAt_ = 0;
    uint64_t retryInterval_ = firstRetryMicroseconds;
    uint64_t (*clock_)() = ksPlatform::wallClockMicroseconds;
};
