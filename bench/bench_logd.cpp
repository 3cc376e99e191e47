// The daemon sink streaming over loopback, non-blocking, one thread, beside spdlog's TCP
// sink (which blocks on its socket). Each writes to a listener of its own that reads as
// fast as it can; "lost_share" is the part of the records that never reached it.
#include <benchmark/benchmark.h>
#include <spdlog/sinks/tcp_sink.h>
#include <spdlog/spdlog.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include "Opaque.h"
#include "ksLog.h"

namespace {

constexpr uint16_t module = 1000;

// Accepts connections one after the other and counts the '|' bytes it reads: a record's
// line prefix has two, the protocol's header and lost reports none.
class DrainingListener {
  public:
    DrainingListener() {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, 4);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
        thread_.detach(); // lives as long as the program
    }
    int port() const { return port_; }
    uint64_t bars() const { return bars_.load(std::memory_order_relaxed); }
    // Waits until nothing has arrived for a while.
    uint64_t settledBars() const {
        uint64_t last = bars();
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            uint64_t now = bars();
            if (now == last)
                return now;
            last = now;
        }
    }

  private:
    void serve() {
        static char chunk[1 << 16];
        for (;;) {
            int connection = accept(listener_, nullptr, nullptr);
            if (connection < 0)
                continue;
            ssize_t got;
            while ((got = read(connection, chunk, sizeof chunk)) > 0) {
                uint64_t count = 0;
                for (ssize_t i = 0; i < got; ++i)
                    count += chunk[i] == '|';
                bars_.fetch_add(count, std::memory_order_relaxed);
            }
            close(connection);
        }
    }

    int listener_ = -1;
    int port_ = 0;
    std::atomic<uint64_t> bars_{0};
    std::thread thread_;
};

void reportLost(benchmark::State& state, const DrainingListener& listener, uint64_t before) {
    double sent = static_cast<double>(state.iterations());
    double arrived = static_cast<double>(listener.settledBars() - before) / 2;
    state.counters["lost_share"] = sent > 0 ? (sent - arrived) / sent : 0;
    state.SetItemsProcessed(state.iterations());
}

// The daemon sink alone (the file sink is off by default), connected before timing.
DrainingListener& ksLogListener() {
    static DrainingListener* listener = [] {
        auto* created = new DrainingListener;
        std::string target = "127.0.0.1:" + std::to_string(created->port());
        setenv("KESTLOG", target.c_str(), 1);
        for (int i = 0; i < 1000 && created->bars() == 0; ++i) {
            KSLOG_INFO(module, "connecting\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        created->settledBars();
        return created;
    }();
    return *listener;
}

std::shared_ptr<spdlog::logger> spdlogTcpLogger(DrainingListener& listener) {
    static auto logger = [&] {
        spdlog::sinks::tcp_sink_config config("127.0.0.1", listener.port());
        auto created = std::make_shared<spdlog::logger>(
            "tcp", std::make_shared<spdlog::sinks::tcp_sink_mt>(config));
        // The same line layout as the daemon sink's: level, time, thread, module column.
        created->set_pattern("%L %H:%M:%S:%e|%t|0000001000 %v");
        created->set_level(spdlog::level::info);
        return created;
    }();
    return logger;
}

void streamKsLog(benchmark::State& state) {
    DrainingListener& listener = ksLogListener();
    uint64_t before = listener.settledBars();
    const char* user = "ann";
    int id = 42;
    double took = 1.25;
    for (auto _ : state) {
        user = opaque(user);
        KSLOG_INFO(module, "user %s id=%d took %.3f ms\n", user, id, took);
    }
    reportLost(state, listener, before);
}

// Records at a steady rate (records per second in the argument): the highest rate with
// nothing lost is the one that counts.
void pacedKsLog(benchmark::State& state) {
    DrainingListener& listener = ksLogListener();
    uint64_t before = listener.settledBars();
    const auto interval = std::chrono::nanoseconds(1000000000 / state.range(0));
    auto next = std::chrono::steady_clock::now();
    const char* user = "ann";
    for (auto _ : state) {
        while (std::chrono::steady_clock::now() < next) {
        }
        next += interval;
        user = opaque(user);
        KSLOG_INFO(module, "user %s id=%d took %.3f ms\n", user, 42, 1.25);
    }
    reportLost(state, listener, before);
}

void streamSpdlog(benchmark::State& state) {
    static DrainingListener listener;
    auto logger = spdlogTcpLogger(listener);
    uint64_t before = listener.settledBars();
    const char* user = "ann";
    int id = 42;
    double took = 1.25;
    for (auto _ : state) {
        user = opaque(user);
        logger->info("user {} id={} took {:.3f} ms", user, id, took);
    }
    reportLost(state, listener, before);
}

} // namespace

BENCHMARK(streamKsLog)->Name("daemon_stream/ksLog");
BENCHMARK(streamSpdlog)->Name("daemon_stream/spdlog");
BENCHMARK(pacedKsLog)
    ->Name("daemon_paced/ksLog")
    ->Arg(250000)
    ->Arg(500000)
    ->Arg(1000000)
    ->UseRealTime();

BENCHMARK_MAIN();
