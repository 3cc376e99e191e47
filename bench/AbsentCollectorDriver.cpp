// An info record while no collector listens (the default daemon sink aimed at a closed
// port, no other sink taking records) beside an info record delivered to a callback
// that does nothing, measured in turns in one run. Plain C++ over the public interface,
// so that the same program runs natively and with kslog.dll under wine, where Google
// Benchmark is not built.
//
// Usage: absent_collector_driver [records per turn] [turns]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include "ksLog.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint16_t module = 1000;
// Port 1 (tcpmux) has no listener on the machines this runs on.
const char* const closedPort = "127.0.0.1:1";

void setTarget(const char* target) {
#ifdef _WIN32
    static char text[64];
    std::snprintf(text, sizeof text, "KESTLOG=%s", target);
    _putenv(text);
#else
    setenv("KESTLOG", target, 1);
#endif
}

void ignoreRecord(void*, ksLogRecord*, const char*, uint64_t) {}

// A fresh library whose only taking sink is the one the case measures.
void setUpAbsentCollector() {
    ksLog_Term();
    setTarget(closedPort);
}

void setUpCallback() {
    ksLog_Term();
    setTarget("null");
    ksLog_SetLogFunc(KSLOG_THRESHOLD_INFO, ignoreRecord, nullptr);
    KSLOG_INFO(module, "set up\n"); // the daemon sink switches itself off here
}

// Nanoseconds per record.
double timeRecords(long records) {
    const char* user = "ann";
    int id = 42;
    double took = 1.25;
    for (long i = 0; i < records / 10 + 1; ++i)
        KSLOG_INFO(module, "user %s id=%d took %.3f ms", user, id, took);
    Clock::time_point start = Clock::now();
    for (long i = 0; i < records; ++i) {
        volatile const char* hidden = user; // no constant folding of the arguments
        KSLOG_INFO(module, "user %s id=%d took %.3f ms", const_cast<const char*>(hidden), id, took);
    }
    std::chrono::duration<double, std::nano> spent = Clock::now() - start;
    return spent.count() / static_cast<double>(records);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    long records = argc > 1 ? std::atol(argv[1]) : 200000;
    int turns = argc > 2 ? std::atoi(argv[2]) : 7;
    if (records <= 0 || turns <= 0)
        return 2;
    std::vector<double> absent, callback;
    for (int turn = 0; turn < turns; ++turn) {
        setUpAbsentCollector();
        absent.push_back(timeRecords(records));
        setUpCallback();
        callback.push_back(timeRecords(records));
    }
    ksLog_Term();
    double a = median(absent), c = median(callback);
    std::printf("absent collector: %.1f ns/record\ncallback:         %.1f ns/record\n"
                "ratio:            %.2f\n",
                a, c, a / c);
    return 0;
}
