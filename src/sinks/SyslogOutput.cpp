// The system log's socket, connected at the first record and again after a failure.
#include "sinks/SyslogOutput.h"
#include <cstdio>
#include "config/Settings.h"
#include "core/Modules.h"
#include "core/Timestamp.h"
#include "foundation/Format.h"

ksSyslogOutput::ksSyslogOutput(const char* socketPath, int32_t facility)
    : path_(socketPath), facility_(facility) {}

ksSyslogOutput::~ksSyslogOutput() {
    if (socket_ != ksPlatform::kNoSocket)
        ksPlatform::closeSocket(socket_);
    if (lost_ > 0)
        std::fprintf(stderr, "ksFileLogger: Closing, %llu records for the system log were lost.\n",
                     static_cast<unsigned long long>(lost_));
}

void ksSyslogOutput::writeRecord(ksLogRecord* record, const char* text, size_t count) {
    stampRecord(record);
    int32_t unusedDefault = 0;
    ksSyslogRecord message{stampedLocalTime(),
                           facility_,
                           record->level,
                           record->module,
                           moduleName(record->module, &unusedDefault),
                           ksPlatform::currentProcessId(),
                           applicationName(),
                           text,
                           count};
    if ((lost_ > 0 && !sendLostReport(message)) || !sendRecord(message))
        return unreachable();
    said_ = false;
}

bool ksSyslogOutput::sendRecord(const ksSyslogRecord& record) {
    ksSyslogDatagrams datagrams(record);
    while (size_t length = datagrams.next(datagram_))
        if (!sendDatagram(length))
            return false;
    return true;
}

// A warning of the record's module, before the record, when records were dropped.
bool ksSyslogOutput::sendLostReport(const ksSyslogRecord& like) {
    char text[96];
    int length = ksFormatBuffer(text, sizeof text,
                                "%llu records were lost while the system log was unreachable",
                                static_cast<unsigned long long>(lost_));
    ksSyslogRecord report = like;
    report.level = 2;
    report.text = text;
    report.textLength = length > 0 ? static_cast<size_t>(length) : 0;
    if (!sendRecord(report))
        return false;
    lost_ = 0;
    return true;
}

// A receiver that went away (the system log restarted) is connected again once.
bool ksSyslogOutput::sendDatagram(size_t length) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (socket_ == ksPlatform::kNoSocket)
            socket_ = ksPlatform::connectLocalDatagram(path_);
        if (socket_ == ksPlatform::kNoSocket)
            return false;
        int32_t result = ksPlatform::sendDatagram(socket_, datagram_, length, !stalled_);
        stalled_ = result == ksPlatform::kSocketWouldBlock;
        if (result == 0)
            return true;
        if (stalled_)
            return false; // the receiver is there but does not read: keep the socket
        ksPlatform::closeSocket(socket_);
        socket_ = ksPlatform::kNoSocket;
    }
    return false;
}

void ksSyslogOutput::unreachable() {
    ++lost_;
    if (said_)
        return;
    said_ = true;
    std::fprintf(
        stderr,
        "ksFileLogger: the system log at %s is unreachable: records are dropped and counted\n",
        static_cast<const char*>(path_));
}
