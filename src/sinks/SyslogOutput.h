// ksSyslogOutput: the system log as the file sink's output, "File=syslog" (the socket
// /dev/log) or "File=syslog:/path/of/socket". Each record goes out as one datagram (a
// long one as several) in the form that the journal and rsyslog parse: priority from
// the level, the application as the tag, the process id, the module and the text.
//
// A missing or failing socket costs the record, not the caller: the output says so once
// on the standard error stream (once per outage), counts what it drops, and tells the
// system log how many records were lost when it reaches it again, or the standard error
// stream when the output closes first.
#pragma once
#include <cstddef>
#include <cstdint>
#include "core/SyslogMessage.h"
#include "foundation/String.h"
#include "ksLog.h"
#include "platform/platform.h"
#include "sinks/LogOutput.h"

constexpr const char* kSystemLogSocket = "/dev/log";

class ksSyslogOutput : public ksLogOutput {
  public:
    ksSyslogOutput(const char* socketPath, int32_t facility);
    ~ksSyslogOutput() override;

    // Lines (the log's first line) have no place in the system log.
    size_t write(const char*, size_t count) override { return count; }
    bool flush() override { return true; }
    bool takesRecords() const override { return true; }
    // The record with text as its text. Takes the record's timestamp when it has none.
    void writeRecord(ksLogRecord* record, const char* text, size_t count) override;

  private:
    bool sendRecord(const ksSyslogRecord& record);
    bool sendDatagram(size_t length);
    bool sendLostReport(const ksSyslogRecord& like);
    void unreachable();

    ksString path_;
    int32_t facility_;
    ksPlatform::SocketHandle socket_ = ksPlatform::kNoSocket;
    uint64_t lost_ = 0; // since the system log last took a record
    bool said_ = false; // the loss was reported on the standard error stream
    // The receiver let a send wait in vain: until it takes a datagram again, sends do not
    // wait, so that a stuck system log holds the application once, not at every record.
    bool stalled_ = false;
    char datagram_[kSyslogDatagramSize];
};
