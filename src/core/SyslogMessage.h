// The system log's message form: what glibc's syslog() sends to /dev/log,
// "<PRI>Mmm dd hh:mm:ss TAG[PID]: MESSAGE", which the journal and rsyslog both parse into
// priority, identifier, process id and message. Long records become several datagrams.
#pragma once
#include <cstddef>
#include <cstdint>
#include "platform/platform.h"

// The largest datagram sent: rsyslog's default message size, which the journal takes too.
constexpr size_t kSyslogDatagramSize = 8096;
constexpr int32_t kSyslogFacilityUser = 1;

struct ksSyslogRecord {
    ksPlatform::LocalTime time;
    int32_t facility; // 0 to 23
    uint16_t level;
    uint16_t module;
    const char* moduleName; // null for a module without a name
    uint32_t processId;
    const char* application;
    const char* text; // the record's text; one newline at its end is left out
    size_t textLength;
};

// The facility's code for its name ("user", "daemon", "local0" to "local7", ... any
// case), or -1 for a name the system log does not know.
int32_t syslogFacility(const char* name);

// The datagrams of one record, each the same header, the module's name or number and a
// blank, then the next part of the text, cut between UTF-8 characters.
class ksSyslogDatagrams {
  public:
    explicit ksSyslogDatagrams(const ksSyslogRecord& record);
    // Writes the next datagram into out and returns its length; 0 after the last.
    size_t next(char (&out)[kSyslogDatagramSize]);

  private:
    static constexpr size_t kHeaderSize = 160;
    char header_[kHeaderSize];
    size_t headerLength_;
    const char* text_;
    size_t left_;
    bool started_ = false;
};
