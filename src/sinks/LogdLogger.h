// ksLogdLogger: the daemon sink. It streams records over TCP to a log collector: each
// connection opens with a header naming the protocol, this instance, the records lost
// so far and the application, then every record travels whole, with one send call,
// laid out like a line of the file sink. By default nothing waits for the network: the socket is
// non-blocking, polls have a zero time-out, and a record that cannot go at once is
// counted as lost.
#pragma once
#include <cstdint>
#include "core/Logger.h"
#include "platform/platform.h"
#include "sinks/InstanceId.h"
#include "sinks/LogdConnection.h"

class ksLogdLogger : public ksLogger {
  public:
    ksLogdLogger();
    ~ksLogdLogger() override;

    ksSinkStart begin(ksLogRecord* record) override;
    void deliver(ksLogRecord* record, const char* bytes, uint64_t count) override;


  private:
    bool resolveTarget();
    bool mayResolveNow();
    bool connect();
    bool announce();
    void leaveParentsConnection();

    ksLogdConnection connection_;
    ksPlatform::SocketAddress address_{};
    ksString target_;
    bool resolved_ = false;
    bool resolutionFailureSaid_ = false; // the current failure to resolve was reported
    // A name the resolver could not find is asked for again no sooner than this (wall
    // clock, microseconds), unless the sink blocks: each lookup may wait for the network.
    uint64_t nextResolution_ = 0;
    int32_t blocking_ = 0;
    uint32_t forks_ = 0; // ksLibrary.forks when this process made the connection
    char identifier_[kInstanceIdTextSize];
};
