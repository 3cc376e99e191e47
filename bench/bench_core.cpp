// The record path beside spdlog: records refused by level, through ksLog_Begin and
// through the header's macros, and an accepted record handed to a callback that does
// nothing (spdlog: a null sink), on one thread and on two.
#include <benchmark/benchmark.h>
#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>
#include <cstdlib>
#include <memory>
#include "Opaque.h"
#include "ksLog.h"

namespace {

constexpr uint16_t module = 1000;

void ignoreRecord(void*, ksLogRecord*, const char*, uint64_t) {}

// The callback sink at "info": debug records are refused by _ksLog_Level. The daemon
// sink, a default sink, is pointed at "null" and switches itself off at the first record
// it sees, so that accepted records measure the callback sink's path alone.
struct KsLogSetUp {
    KsLogSetUp() {
        setenv("KESTLOG", "null", 1);
        ksLog_SetLogFunc(KSLOG_THRESHOLD_INFO, ignoreRecord, nullptr);
        KSLOG_INFO(module, "set up\n");
    }
};

std::shared_ptr<spdlog::logger> spdlogNullLogger() {
    static auto logger = [] {
        auto created = std::make_shared<spdlog::logger>(
            "bench", std::make_shared<spdlog::sinks::null_sink_mt>());
        created->set_level(spdlog::level::info);
        return created;
    }();
    return logger;
}

void beginRefusedKsLog(benchmark::State& state) {
    static KsLogSetUp setUp;
    for (auto _ : state) {
        ksLogRecord* record = ksLog_Begin(KSLOG_LEVEL_DEBUG, module);
        benchmark::DoNotOptimize(record);
    }
}

void macroRefusedKsLog(benchmark::State& state) {
    static KsLogSetUp setUp;
    const char* user = "ann";
    int id = 42;
    double took = 1.25;
    for (auto _ : state) {
        KSLOG_DEBUG(module, "user %s id=%d took %.3f ms", user, id, took);
        benchmark::ClobberMemory(); // the level is read again, as in a real loop
    }
}

void refusedSpdlog(benchmark::State& state) {
    auto logger = spdlogNullLogger();
    const char* user = "ann";
    int id = 42;
    double took = 1.25;
    for (auto _ : state) {
        logger->debug("user {} id={} took {:.3f} ms", user, id, took);
        benchmark::ClobberMemory();
    }
}

void recordAcceptedKsLog(benchmark::State& state) {
    static KsLogSetUp setUp;
    const char* user = "ann";
    int id = 42;
    double took = 1.25;
    for (auto _ : state) {
        user = opaque(user);
        KSLOG_INFO(module, "user %s id=%d took %.3f ms", user, id, took);
    }
}

void recordAcceptedSpdlog(benchmark::State& state) {
    auto logger = spdlogNullLogger();
    const char* user = "ann";
    int id = 42;
    double took = 1.25;
    for (auto _ : state) {
        user = opaque(user);
        logger->info("user {} id={} took {:.3f} ms", user, id, took);
    }
}

} // namespace

BENCHMARK(beginRefusedKsLog)->Name("begin_refused/ksLog");
BENCHMARK(refusedSpdlog)->Name("begin_refused/spdlog");
BENCHMARK(macroRefusedKsLog)->Name("macro_refused/ksLog");
BENCHMARK(refusedSpdlog)->Name("macro_refused/spdlog");
BENCHMARK(recordAcceptedKsLog)->Name("record_accepted/ksLog");
BENCHMARK(recordAcceptedSpdlog)->Name("record_accepted/spdlog");
BENCHMARK(recordAcceptedKsLog)->Name("record_accepted/ksLog")->Threads(2)->UseRealTime();
BENCHMARK(recordAcceptedSpdlog)->Name("record_accepted/spdlog")->Threads(2)->UseRealTime();

BENCHMARK_MAIN();
