// ksSyslogOutput: the system log as the file sink's output, "File=syslog" (the socket
// /dev/log) or "File=syslog:/path/of/socket". Each record goes out as one datagram (a
// long one as several) in the form that the journal and rsyslog parse: priority from
// the level, the application as the tag, the process id, the module and the text.
//
// A missing or failing socket costs the record, not the caller: the output says so once
// on the standard error stream, counts what it drops, and tells the system log how many
// records were lost when it reaches it again.
#pragma once
#include <cstddef>
#include <cstdint>
#include "core/SyslogMessage.h"
#include "foundation/String.h"
#include "ksLog.h"
#include "platform/platform.h"

constexpr const char* kSystemLogSocket = "/dev/log";

class ksSyslogOutput {
  public:
    ksSyslogOutput(const char* socketPath, int32_t facility);
    ~ksSyslogOutput();
    ksSyslogOutput(const ksSyslogOutput&) = delete;
    ksSyslogOutput& operator=(const ksSyslogOutput&) = delete;

    // The record with text as its text. Takes the record's timestamp when it has none.
    void send(ksLogRecord* record, const char* text, size_t count);
    // Records dropped since the system log last took one.
    uint64_t lost() const { return lost_; }

  private:
    bool sendRecord(const ksSyslogRecord& record);
    bool sendDatagram(size_t length);
    bool sendLostReport(const ksSyslogRecord& like);
    void unreachable();

    ksString path_;
    int32_t facility_;
    ksPlatform::SocketHandle socket_ = ksPlatform::kNoSocket;
    uint64_t lost_ = 0;
    bool said_ = false; // the loss was reported on the standard error stream
    char datagram_[kSyslogDatagramSize];
};
