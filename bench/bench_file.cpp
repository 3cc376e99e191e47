// One flushed line in a log file per record, with the line prefix: the file sink beside
// spdlog's basic file sink (a similar pattern, flushed on every message), the plain C way
// (fprintf of a fixed prefix and the message, then fflush), a bare write of the finished
// line, and snprintf of the line followed by its write: the floor of a logger that formats.
// On one thread and on two. Beside them, on one thread, a record that only a callback takes
// and one that the file sink and a callback both take: the second should cost no more than
// a file record and a callback record together.
// Bounded logs: the file sink with MaxSize and Rotate set beside the same without them and
// beside spdlog's rotating file sink (sizes large enough that no rotation falls into the
// loop: the per-record checks are measured), and a rotation itself (rename, open, first
// line, retention's scan) on every record.
//
// The same file sink with its other layout and destination: the JSON layout beside the text
// layout over texts of several lengths (with spdlog's hand-made JSON pattern, which escapes
// nothing, as a peer), and a record to the system log's socket (a socket of the run's own,
// drained by a thread) beside a flushed file record and a bare send of the finished datagram.
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <atomic>
#include <thread>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include "Opaque.h"
#include "config/Settings.h"
#include "ksLog.h"
#include "platform/platform.h"
#include "sinks/RotatingLog.h"

namespace fs = std::filesystem;

namespace {

constexpr uint16_t module = 1000;
const char* user = "ann";
const int id = 42;
const double took = 1.25;

// The logs of one run, removed at exit.
struct LogFolder {
    LogFolder() {
        path = fs::temp_directory_path() /
               ("kslog-bench-" + std::to_string(ksPlatform::currentProcessId()));
        fs::create_directories(path);
    }
    ~LogFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string file(const char* name) const { return (path / name).string(); }
    fs::path path;
};
LogFolder logs;

// The file sink at "info", alone, with these [File] lines: the settings file beside the
// program names them, and goes once the sink has opened its output. A case that asks for
// other lines than the last one starts the library again.
void useFileSink(const std::string& fileLines) {
    // The threads of a case all ask: the first starts the library, the others find it done.
    static std::mutex starting;
    std::lock_guard<std::mutex> hold(starting);
    static std::string current;
    if (fileLines == current)
        return;
    ksLog_Term();
    char* program = ksPlatform::executablePath();
    fs::path settings =
        fs::path(program).parent_path() / (std::string("ksLog.") + applicationName() + ".ini");
    std::free(program);
    std::FILE* out = std::fopen(settings.string().c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", settings.string().c_str());
        std::exit(1);
    }
    // The daemon sink is off: without a collector it would try to connect at every record.
    std::fprintf(out, "[File]\r\nLevel=Info\r\n%s[ksLogd]\r\nLevel=Off\r\n", fileLines.c_str());
    std::fclose(out);
    KSLOG_INFO(module, "opened\n");
    fs::remove(settings);
    current = fileLines;
}

std::string fileLines(const char* name, const char* more = "") {
    return "File=" + logs.file(name) + "\r\n" + more;
}

void useTextFile() {
    useFileSink(fileLines("kslog.log"));
}

std::shared_ptr<spdlog::logger> spdlogFileLogger() {
    static auto logger = [] {
        auto created = std::make_shared<spdlog::logger>(
            "bench",
            std::make_shared<spdlog::sinks::basic_file_sink_mt>(logs.file("spdlog.log"), true));
        created->set_pattern("%L %H:%M:%S:%e|%t|0000001000 %v");
        created->set_level(spdlog::level::info);
        created->flush_on(spdlog::level::trace);
        return created;
    }();
    return logger;
}

std::FILE* plainFile() {
    static std::FILE* file = std::fopen(logs.file("fprintf.log").c_str(), "w");
    return file;
}

ksPlatform::FileHandle createdFile(const char* name) {
    ksPlatform::FileHandle handle = ksPlatform::kNoFile;
    ksPlatform::openFile(logs.file(name).c_str(),
                         {false, true, false, ksPlatform::OpenDisposition::createAlways}, &handle);
    return handle;
}

void flushedKsLog(benchmark::State& state) {
    useTextFile();
    const char* name = user;
    for (auto _ : state) {
        name = opaque(name);
        KSLOG_INFO(module, "user %s id=%d took %.3f ms\n", name, id, took);
    }
}

void ignoreRecord(void*, ksLogRecord*, const char*, uint64_t) {}

// A callback that does nothing, registered for the length of one case, at a threshold that
// also takes the debug records the file sink refuses.
struct WithCallback {
    WithCallback() { ksLog_SetLogFunc(KSLOG_THRESHOLD_ALL, ignoreRecord, nullptr); }
    ~WithCallback() { ksLog_SetLogFunc(KSLOG_THRESHOLD_OFF, ignoreRecord, nullptr); }
};

// A record at the given level with the callback registered: a debug record only the callback
// takes, an info record the file sink takes as well.
template <int level> void withCallbackKsLog(benchmark::State& state) {
    useTextFile();
    WithCallback callback;
    const char* name = user;
    for (auto _ : state) {
        name = opaque(name);
        KSLOG_WRITE(level, module, "user %s id=%d took %.3f ms\n", name, id, took);
    }
}

void flushedSpdlog(benchmark::State& state) {
    auto logger = spdlogFileLogger();
    const char* name = user;
    for (auto _ : state) {
        name = opaque(name);
        logger->info("user {} id={} took {:.3f} ms", name, id, took);
    }
}

void boundedKsLog(benchmark::State& state) {
    useFileSink(fileLines("bounded.log", "MaxSize=1G\r\nRotate=daily\r\nKeep=3\r\n"));
    const char* name = user;
    for (auto _ : state) {
        name = opaque(name);
        KSLOG_INFO(module, "user %s id=%d took %.3f ms\n", name, id, took);
    }
}

void boundedSpdlog(benchmark::State& state) {
    static auto logger = [] {
        auto created = std::make_shared<spdlog::logger>(
            "bounded", std::make_shared<spdlog::sinks::rotating_file_sink_mt>(
                           logs.file("spdlog-rotating.log"), size_t{1} << 30, 3));
        created->set_pattern("%L %H:%M:%S:%e|%t|0000001000 %v");
        created->set_level(spdlog::level::info);
        created->flush_on(spdlog::level::trace);
        return created;
    }();
    const char* name = user;
    for (auto _ : state) {
        name = opaque(name);
        logger->info("user {} id={} took {:.3f} ms", name, id, took);
    }
}

// Every line rotates: rename, lock, open, first line, and retention's scan of a folder
// that holds state.range(0) other files besides the log's own three.
void rotationItself(benchmark::State& state) {
    fs::path folder = logs.path / ("rotation-" + std::to_string(state.range(0)));
    fs::create_directories(folder);
    for (int64_t i = 0; i < state.range(0); ++i)
        std::fclose(std::fopen((folder / ("other-" + std::to_string(i))).string().c_str(), "w"));
    ksRotationSettings settings;
    settings.maxSize = 1;
    settings.keep = 3;
    std::string path = (folder / "app.log").string();
    static const char first[] = "NAME: bench (log started)\n";
    static const char line[] = "I 12:34:56:789|0000abcd|0000001000 user ann id=42 took 1.250 ms\n";
    ksRotatingLog log(path.c_str(), "bench", settings);
    log.setFirstLine(first, sizeof first - 1);
    log.open(path.c_str(), false, ksPlatform::wallClockMicroseconds());
    log.write(first, sizeof first - 1, true, ksPlatform::wallClockMicroseconds());
    for (auto _ : state)
        log.write(opaque(line), sizeof line - 1, true, ksPlatform::wallClockMicroseconds());
}

// The floor of a rotation on this file system: a rename, the creation of the new file
// and its first line, with nothing around them.
void bareRotation(benchmark::State& state) {
    fs::path folder = logs.path / "bare-rotation";
    fs::create_directories(folder);
    std::string path = (folder / "app.log").string();
    static const char first[] = "NAME: bench (log started)\n";
    ksPlatform::FileHandle file = ksPlatform::openLogFile(path.c_str(), true);
    uint64_t turn = 0;
    for (auto _ : state) {
        std::string aside = path + "." + std::to_string(turn++ % 4);
        ksPlatform::deleteFile(aside.c_str());
        ksPlatform::moveFile(path.c_str(), aside.c_str());
        ksPlatform::closeLogFile(file);
        file = ksPlatform::openLogFile(path.c_str(), true);
        ksPlatform::writeLogFile(file, opaque(first), sizeof first - 1);
    }
    ksPlatform::closeLogFile(file);
}

void flushedFprintf(benchmark::State& state) {
    std::FILE* file = plainFile();
    const char* name = user;
    for (auto _ : state) {
        name = opaque(name);
        std::fprintf(file, "I 12:34:56:789|0000abcd|0000001000 user %s id=%d took %.3f ms\n", name,
                     id, took);
        std::fflush(file);
    }
}

void flushedWrite(benchmark::State& state) {
    static const char line[] = "I 12:34:56:789|0000abcd|0000001000 user ann id=42 took 1.250 ms\n";
    static ksPlatform::FileHandle file = createdFile("write.log");
    for (auto _ : state)
        ksPlatform::writeFile(file, opaque(line), sizeof line - 1);
}

// The floor of any logger that formats its line: snprintf of the line (its prefix fixed, as
// fprintf's) and one write of what it made. On this kind of machine the two together cost
// more than the write alone and the formatting alone: each disturbs the other's caches.
void formattedWrite(benchmark::State& state) {
    static ksPlatform::FileHandle file = createdFile("formatted.log");
    char line[256];
    const char* name = user;
    for (auto _ : state) {
        name = opaque(name);
        const int length = std::snprintf(
            line, sizeof line, "I 12:34:56:789|0000abcd|0000001000 user %s id=%d took %.3f ms\n",
            name, id, took);
        ksPlatform::writeFile(file, line, static_cast<uint32_t>(length));
    }
}

// Printable text of the given length with a quote, a backslash and a tab in every 64 bytes,
// which the JSON layout escapes.
std::string textOfLength(int64_t length) {
    std::string text;
    for (int64_t i = 0; i < length; ++i)
        text += "\"\\\tabcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ;:,."[i % 64];
    return text;
}

template <bool json> void layoutKsLog(benchmark::State& state) {
    useFileSink(json ? fileLines("kslog.jsonl", "Layout=json\r\n") : fileLines("kslog.log"));
    const std::string text = textOfLength(state.range(0));
    const char* name = user;
    for (auto _ : state) {
        name = opaque(name);
        KSLOG_INFO(module, "user %s id=%d took %.3f ms %s\n", name, id, took, text.c_str());
    }
}

std::shared_ptr<spdlog::logger> spdlogJsonLogger() {
    static auto logger = [] {
        auto created = std::make_shared<spdlog::logger>(
            "bench-json",
            std::make_shared<spdlog::sinks::basic_file_sink_mt>(logs.file("spdlog.jsonl"), true));
        created->set_pattern(
            "{\"time\":\"%Y-%m-%dT%H:%M:%S.%e%z\",\"level\":\"%l\",\"module\":1000,"
            "\"process\":%P,\"thread\":%t,\"application\":\"bench\",\"text\":\"%v\"}");
        created->set_level(spdlog::level::info);
        created->flush_on(spdlog::level::trace);
        return created;
    }();
    return logger;
}

void layoutSpdlogJson(benchmark::State& state) {
    auto logger = spdlogJsonLogger();
    const std::string text = textOfLength(state.range(0));
    const char* name = user;
    for (auto _ : state) {
        name = opaque(name);
        logger->info("user {} id={} took {:.3f} ms {}", name, id, took, text);
    }
}

// A socket of the run's own in the place of the system log's, drained by a thread.
class SyslogReceiver {
  public:
    SyslogReceiver() : path_(logs.file("log.sock")) {
        socket_ = ::socket(AF_UNIX, SOCK_DGRAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path_.c_str());
        if (socket_ < 0 || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address)) {
            std::fprintf(stderr, "cannot listen at %s\n", path_.c_str());
            std::exit(1);
        }
        drain_ = std::thread([this] {
            char datagram[8192];
            while (::recv(socket_, datagram, sizeof datagram, 0) >= 0 && !stop_)
                ;
        });
    }
    ~SyslogReceiver() {
        stop_ = true;
        ::shutdown(socket_, SHUT_RDWR);
        ksPlatform::SocketHandle wake = ksPlatform::connectLocalDatagram(path_.c_str());
        if (wake != ksPlatform::kNoSocket) {
            ksPlatform::sendDatagram(wake, "", 0, true);
            ksPlatform::closeSocket(wake);
        }
        drain_.join();
        ::close(socket_);
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    int socket_ = -1;
    std::atomic<bool> stop_{false};
    std::thread drain_;
};

SyslogReceiver& syslogReceiver() {
    static SyslogReceiver receiver;
    return receiver;
}

void syslogKsLog(benchmark::State& state) {
    useFileSink("File=syslog:" + syslogReceiver().path() + "\r\n");
    const char* name = user;
    for (auto _ : state) {
        name = opaque(name);
        KSLOG_INFO(module, "user %s id=%d took %.3f ms\n", name, id, took);
    }
}

void syslogSend(benchmark::State& state) {
    static const char datagram[] =
        "<14>Dec  8 00:15:07 bench_file[4242]: 1000 user ann id=42 took 1.250 ms";
    ksPlatform::SocketHandle socket =
        ksPlatform::connectLocalDatagram(syslogReceiver().path().c_str());
    for (auto _ : state)
        ksPlatform::sendDatagram(socket, opaque(datagram), sizeof datagram - 1, true);
    ksPlatform::closeSocket(socket);
}

} // namespace

BENCHMARK(layoutKsLog<true>)->Name("json_layout/ksLog")->Arg(0)->Arg(100)->Arg(1000);
BENCHMARK(layoutKsLog<false>)->Name("json_layout/text_layout")->Arg(0)->Arg(100)->Arg(1000);
BENCHMARK(layoutSpdlogJson)->Name("json_layout/spdlog_unescaped")->Arg(0)->Arg(100)->Arg(1000);
BENCHMARK(syslogKsLog)->Name("syslog/ksLog");
BENCHMARK(flushedKsLog)->Name("syslog/file_flushed");
BENCHMARK(syslogSend)->Name("syslog/send");
BENCHMARK(flushedKsLog)->Name("file_flushed/ksLog");
BENCHMARK(flushedSpdlog)->Name("file_flushed/spdlog");
BENCHMARK(flushedFprintf)->Name("file_flushed/fprintf");
BENCHMARK(boundedKsLog)->Name("file_bounded/ksLog");
BENCHMARK(boundedSpdlog)->Name("file_bounded/spdlog");
BENCHMARK(rotationItself)->Name("rotation/ksLog")->Arg(0)->Arg(10000);
BENCHMARK(bareRotation)->Name("rotation/bare");
BENCHMARK(flushedWrite)->Name("file_flushed/write");
BENCHMARK(formattedWrite)->Name("file_flushed/snprintf_write");
BENCHMARK(withCallbackKsLog<KSLOG_LEVEL_DEBUG>)->Name("callback_only/ksLog");
BENCHMARK(withCallbackKsLog<KSLOG_LEVEL_INFO>)->Name("file_and_callback/ksLog");
BENCHMARK(flushedKsLog)->Name("file_flushed/ksLog")->Threads(2)->UseRealTime();
BENCHMARK(flushedSpdlog)->Name("file_flushed/spdlog")->Threads(2)->UseRealTime();
BENCHMARK(flushedFprintf)->Name("file_flushed/fprintf")->Threads(2)->UseRealTime();
BENCHMARK(flushedWrite)->Name("file_flushed/write")->Threads(2)->UseRealTime();
BENCHMARK(formattedWrite)->Name("file_flushed/snprintf_write")->Threads(2)->UseRealTime();

BENCHMARK_MAIN();
