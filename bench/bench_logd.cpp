// The daemon sink streaming over loopback to the real collector, kslogd, started as a
// child process: non-blocking, one thread. A record counts as arrived once kslogd has
// written it to its instance file; "lost_share" is the part that never got there.
//
// - daemon_stream: records as fast as the thread can write them, beside spdlog's TCP
//   sink (which blocks on its socket) sending the same lines to the same collector, and
//   beside the floor of one record, one send: finished lines, each with a send call of
//   its own on a blocking socket; "fragments" counts records that reached the collector
//   cut.
// - daemon_paced_*: a steady rate; the zero-loss search finds the highest rate with
//   nothing lost and the lost share at twice that rate.
//   Beside the sink at 1M/s and in the search: finished lines, each with one send on a
//   non-blocking socket set up as the sink's and the sink's rule for what the socket does
//   not take: the floor of any sink that never waits for the collector.
// - collector_8_connections: kslogd alone, fed by eight connections as fast as they go.
// - refused_with_daemon: a debug record refused while the daemon sink is live.
//
// Each case also reports the load average, since other programs share the machine.
#include <benchmark/benchmark.h>
#include <spdlog/sinks/tcp_sink.h>
#include <spdlog/spdlog.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>
#include "CollectorProcess.h"
#include "Opaque.h"
#include "ksLog.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint16_t module = 1000;
// The collector names each file after the application of its stream.
const std::string ksLogApplication = "bench_logd";
const std::string spdlogApplication = "spdlog";
const std::string loadApplication = "load";
const std::string bareApplication = "bare";

CollectorProcess& collector() {
    static CollectorProcess process;
    return process;
}

double loadAverage() {
    double load[1] = {0};
    return getloadavg(load, 1) == 1 ? load[0] : -1;
}

struct Arrival {
    double lostShare = 0;
    uint64_t fragments = 0; // records that reached the collector cut
};

// Counts what arrived for one application since its last case, then empties its files.
Arrival arrivalOf(const std::string& application, uint64_t sent) {
    uint64_t arrived = collector().settledLines(application, sent);
    Arrival arrival;
    arrival.fragments = collector().fragments(application, "|0000001000 ", " ms");
    collector().forget(application);
    if (sent > 0 && arrived < sent)
        arrival.lostShare = static_cast<double>(sent - arrived) / sent;
    return arrival;
}

double lostShare(const std::string& application, uint64_t sent) {
    return arrivalOf(application, sent).lostShare;
}

void report(benchmark::State& state, const std::string& application) {
    uint64_t sent = static_cast<uint64_t>(state.iterations());
    Arrival arrival = arrivalOf(application, sent);
    state.counters["lost_share"] = arrival.lostShare;
    state.counters["fragments"] = static_cast<double>(arrival.fragments);
    state.counters["load"] = loadAverage();
    state.SetItemsProcessed(state.iterations());
}

// The daemon sink alone (the file sink is off by default), connected before timing.
void connectKsLog() {
    static bool connected = [] {
        setenv("KESTLOG", collector().target().c_str(), 1);
        for (int i = 0; i < 1000 && collector().lines(ksLogApplication) == 0; ++i) {
            KSLOG_INFO(module, "connecting\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        collector().forget(ksLogApplication);
        return true;
    }();
    (void)connected;
}

// spdlog speaks the collector's protocol: its first message is the header, sent with a
// bare pattern, then records take the daemon sink's line layout.
std::shared_ptr<spdlog::logger> spdlogTcpLogger() {
    static auto logger = [] {
        spdlog::sinks::tcp_sink_config config("127.0.0.1", collector().port());
        auto created = std::make_shared<spdlog::logger>(
            "tcp", std::make_shared<spdlog::sinks::tcp_sink_mt>(config));
        created->set_level(spdlog::level::info);
        created->set_pattern("%v");
        created->info("\nPROTOCOL: ksLogd-1.0\nUUID: spdlog-peer\nLOST: 0\nNAME: " +
                      spdlogApplication + "(log started, 0 logs previously lost)");
        created->set_pattern("%L %H:%M:%S:%e|%t|0000001000 %v");
        return created;
    }();
    return logger;
}

void streamKsLog(benchmark::State& state) {
    connectKsLog();
    const char* user = "ann";
    int id = 42;
    double took = 1.25;
    for (auto _ : state) {
        user = opaque(user);
        KSLOG_INFO(module, "user %s id=%d took %.3f ms\n", user, id, took);
    }
    report(state, ksLogApplication);
}

void streamSpdlog(benchmark::State& state) {
    auto logger = spdlogTcpLogger();
    collector().forget(spdlogApplication);
    const char* user = "ann";
    int id = 42;
    double took = 1.25;
    for (auto _ : state) {
        user = opaque(user);
        logger->info("user {} id={} took {:.3f} ms", user, id, took);
    }
    report(state, spdlogApplication);
}

// Holds a loop to a steady rate. A producer taken off its core (on a busy machine) catches
// up on at most a millisecond of records and skips the rest rather than sending them in
// one long burst, so the collector sees a steady load; the achieved rate tells how well
// the producer kept up.
class Pacer {
  public:
    explicit Pacer(double rate)
        : interval_(std::chrono::nanoseconds(std::llround(1e9 / rate))), next_(Clock::now()) {}
    void wait() {
        Clock::time_point now = Clock::now();
        while (now < next_)
            now = Clock::now();
        next_ += interval_;
        if (now - next_ > slack)
            next_ = now;
    }

  private:
    static constexpr auto slack = std::chrono::milliseconds(1);
    Clock::duration interval_;
    Clock::time_point next_;
};

// What the paced cases drive: a way to connect once, a record, and where its records land.
struct Producer {
    void (*connect)();
    void (*write)();
    const std::string& application;
};

void writeKsLogRecord() {
    static const char* user = "ann";
    user = opaque(user);
    KSLOG_INFO(module, "user %s id=%d took %.3f ms\n", user, 42, 1.25);
}

const Producer ksLogProducer{connectKsLog, writeKsLogRecord, ksLogApplication};

void paced(benchmark::State& state, double rate, const Producer& producer) {
    producer.connect();
    Pacer pacer(rate);
    for (auto _ : state) {
        pacer.wait();
        producer.write();
    }
    report(state, producer.application);
}

// A rate offered for a quarter of a second: the rate reached and the share lost.
struct Trial {
    double offered = 0;
    double achieved = 0;
    double lostShare = 0;
};

Trial pacedTrial(double rate, const Producer& producer) {
    constexpr auto duration = std::chrono::milliseconds(250);
    Pacer pacer(rate);
    Clock::time_point start = Clock::now();
    Clock::time_point stop = start + duration;
    uint64_t sent = 0;
    do {
        for (int i = 0; i < 64; ++i, ++sent) {
            pacer.wait();
            producer.write();
        }
    } while (Clock::now() < stop);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    Trial trial{rate, sent / seconds, lostShare(producer.application, sent)};
    if (std::getenv("KSLOG_BENCH_TRIALS")) // to see how the search went
        std::fprintf(stderr, "trial: offered %.0f achieved %.0f lost share %g\n", trial.offered,
                     trial.achieved, trial.lostShare);
    return trial;
}

// Doubles the offered rate until something is lost, then halves the gap a few times.
// The zero-loss rate is the highest rate reached with nothing lost: on a busy machine the
// producer may reach less than it offers, and what it reached is what the sink carried.
// Then twice that rate is offered, to see what it loses.
void zeroLossSearch(benchmark::State& state, const Producer& producer) {
    producer.connect();
    for (auto _ : state) {
        double clean = 0;   // highest offered rate with nothing lost
        double reached = 0; // highest rate reached with nothing lost
        double failed = 0;  // lowest offered rate that lost records
        auto tryRate = [&](double rate) {
            Trial trial = pacedTrial(rate, producer);
            if (trial.lostShare > 0) {
                failed = rate;
                return;
            }
            clean = std::max(clean, rate);
            reached = std::max(reached, trial.achieved);
        };
        for (double rate = 125000; rate <= 16e6 && failed == 0; rate *= 2)
            tryRate(rate);
        for (int step = 0; step < 4 && failed > 0; ++step)
            tryRate((clean + failed) / 2);
        Trial doubled = pacedTrial(2 * std::max(reached, 62500.0), producer);
        state.counters["zero_loss_rate"] = reached;
        state.counters["double_rate_reached"] = doubled.achieved;
        state.counters["lost_share_at_double"] = doubled.lostShare;
        state.counters["load"] = loadAverage();
    }
}

// A blocking client of the collector that announces itself once and then sends lines.
class LoadConnection {
  public:
    explicit LoadConnection(int index, const std::string& application = loadApplication) {
        socket_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(collector().port()));
        if (::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            std::perror("bench: connect to the collector");
            std::exit(1);
        }
        std::string header = "\nPROTOCOL: ksLogd-1.0\nUUID: connection-" + std::to_string(index) +
                             "\nLOST: 0\nNAME: " + application +
                             "(log started, 0 logs previously lost)\n";
        sendAll(header.data(), header.size());
    }
    ~LoadConnection() { close(socket_); }
    // As the daemon sink sets its own.
    void setSendBuffer(int bytes) {
        setsockopt(socket_, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
    }
    void setNonBlocking() { fcntl(socket_, F_SETFL, fcntl(socket_, F_GETFL) | O_NONBLOCK); }
    // Never waits, as the daemon sink: what the socket does not take of a line is kept and
    // goes out before any later line; a line that comes while it waits is lost. No line is
    // cut.
    void trySend(const char* bytes, size_t count) {
        if (!rest_.empty()) {
            rest_.erase(0, sendOnce(rest_.data(), rest_.size()));
            if (!rest_.empty())
                return;
        }
        const size_t taken = sendOnce(bytes, count);
        rest_.assign(bytes + taken, count - taken);
    }
    void sendAll(const char* bytes, size_t count) {
        while (count > 0) {
            ssize_t sent = send(socket_, bytes, count, MSG_NOSIGNAL);
            if (sent <= 0) {
                std::perror("bench: send to the collector");
                std::exit(1);
            }
            bytes += sent;
            count -= static_cast<size_t>(sent);
        }
    }

  private:
    size_t sendOnce(const char* bytes, size_t count) {
        const ssize_t sent = send(socket_, bytes, count, MSG_NOSIGNAL);
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            std::perror("bench: send to the collector");
            std::exit(1);
        }
        return sent > 0 ? static_cast<size_t>(sent) : 0;
    }

    int socket_ = -1;
    std::string rest_;
};

// Lines laid out like the daemon sink's, many to a send.
std::string loadChunk(size_t lines) {
    std::string chunk;
    for (size_t i = 0; i < lines; ++i)
        chunk += "I 12:00:00:000|00001a2c|0000001000 user ann id=42 took 1.250 ms\n";
    return chunk;
}

// The floor of the daemon sink's way: each finished line with one send of its own.
void streamBareSends(benchmark::State& state) {
    static LoadConnection& connection = []() -> LoadConnection& {
        static LoadConnection made(-1, bareApplication);
        made.setSendBuffer(102400);
        return made;
    }();
    static const char line[] = "I 12:00:00:000|00001a2c|0000001000 user ann id=42 took 1.250 ms\n";
    collector().forget(bareApplication);
    for (auto _ : state)
        connection.sendAll(opaque(line), sizeof line - 1);
    report(state, bareApplication);
}

// The floor of a sink that never waits: each finished line with one send on a non-blocking
// socket set up as the daemon sink's, kept or lost as the sink's record would be; the
// collector's count of what arrived tells the lost share.
const std::string nonBlockingApplication = "nonblocking";

LoadConnection& nonBlockingConnection() {
    static LoadConnection& connection = []() -> LoadConnection& {
        static LoadConnection made(-2, nonBlockingApplication);
        made.setSendBuffer(102400);
        made.setNonBlocking();
        return made;
    }();
    return connection;
}

void connectNonBlocking() {
    nonBlockingConnection();
    for (int i = 0; i < 1000 && collector().bytes(nonBlockingApplication) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    collector().forget(nonBlockingApplication);
}

void sendNonBlocking() {
    static const char line[] = "I 12:00:00:000|00001a2c|0000001000 user ann id=42 took 1.250 ms\n";
    nonBlockingConnection().trySend(opaque(line), sizeof line - 1);
}

const Producer nonBlockingProducer{connectNonBlocking, sendNonBlocking, nonBlockingApplication};

// kslogd alone: eight connections send their lines at once, and the time runs until the
// collector has written every byte of them.
void collectorLoad(benchmark::State& state) {
    constexpr int connections = 8;
    constexpr size_t linesPerChunk = 1000;
    constexpr size_t chunksPerConnection = 64;
    static std::vector<std::unique_ptr<LoadConnection>> clients = [] {
        std::vector<std::unique_ptr<LoadConnection>> created;
        for (int i = 0; i < connections; ++i)
            created.push_back(std::make_unique<LoadConnection>(i));
        return created;
    }();
    static const std::string chunk = loadChunk(linesPerChunk);
    const uint64_t expected = uint64_t{connections} * chunksPerConnection * chunk.size();
    collector().forget(loadApplication);
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        std::vector<std::thread> senders;
        for (auto& client : clients)
            senders.emplace_back([&client] {
                for (size_t i = 0; i < chunksPerConnection; ++i)
                    client->sendAll(chunk.data(), chunk.size());
            });
        for (auto& sender : senders)
            sender.join();
        Clock::time_point giveUp = Clock::now() + std::chrono::seconds(60);
        while (collector().bytes(loadApplication) < expected && Clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (collector().bytes(loadApplication) < expected)
            state.SkipWithError("the collector did not write everything");
        collector().forget(loadApplication);
    }
    state.SetItemsProcessed(state.iterations() * connections * chunksPerConnection * linesPerChunk);
    state.counters["load"] = loadAverage();
}

// A refused record still costs one comparison while a default sink streams.
void refusedKsLog(benchmark::State& state) {
    connectKsLog();
    const char* user = "ann";
    int id = 42;
    double took = 1.25;
    for (auto _ : state) {
        KSLOG_DEBUG(module, "user %s id=%d took %.3f ms", user, id, took);
        benchmark::ClobberMemory(); // the level is read again, as in a real loop
    }
}

void refusedSpdlog(benchmark::State& state) {
    auto logger = spdlogTcpLogger();
    const char* user = "ann";
    int id = 42;
    double took = 1.25;
    for (auto _ : state) {
        logger->debug("user {} id={} took {:.3f} ms", user, id, took);
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK(streamKsLog)->Name("daemon_stream/ksLog")->UseRealTime();
BENCHMARK(streamBareSends)->Name("daemon_stream/send")->UseRealTime();
BENCHMARK(streamSpdlog)->Name("daemon_stream/spdlog")->UseRealTime();
BENCHMARK_CAPTURE(paced, ksLog_250k, 250000.0, ksLogProducer)
    ->Name("daemon_paced_250k/ksLog")
    ->UseRealTime();
BENCHMARK_CAPTURE(paced, ksLog_500k, 500000.0, ksLogProducer)
    ->Name("daemon_paced_500k/ksLog")
    ->UseRealTime();
BENCHMARK_CAPTURE(paced, ksLog_1M, 1000000.0, ksLogProducer)
    ->Name("daemon_paced_1M/ksLog")
    ->UseRealTime();
BENCHMARK_CAPTURE(paced, send_1M, 1000000.0, nonBlockingProducer)
    ->Name("daemon_paced_1M/send")
    ->UseRealTime();
BENCHMARK_CAPTURE(zeroLossSearch, ksLog, ksLogProducer)
    ->Name("daemon_zero_loss/ksLog")
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK_CAPTURE(zeroLossSearch, send, nonBlockingProducer)
    ->Name("daemon_zero_loss/send")
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK(collectorLoad)->Name("collector_8_connections/kslogd")->UseManualTime();
BENCHMARK(refusedKsLog)->Name("refused_with_daemon/ksLog");
BENCHMARK(refusedSpdlog)->Name("refused_with_daemon/spdlog");

BENCHMARK_MAIN();
