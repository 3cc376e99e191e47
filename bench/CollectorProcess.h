// The reference collector as the benchmarks' real peer: kslogd started as a child process
// on a free loopback port, writing one file per instance into a folder of its own. What
// arrived is read back from those files, so a record counts only once the collector
// has written it.
#pragma once
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#ifndef KSLOG_KSLOGD_PROGRAM
#define KSLOG_KSLOGD_PROGRAM "kslogd"
#endif

class CollectorProcess {
  public:
    // The program is $KSLOGD when set, else the kslogd that was built with the benchmarks.
    CollectorProcess() {
        const char* chosen = std::getenv("KSLOGD");
        program_ = chosen && *chosen ? chosen : KSLOG_KSLOGD_PROGRAM;
        makeFolder();
        start();
    }
    ~CollectorProcess() { stop(); }
    CollectorProcess(const CollectorProcess&) = delete;
    CollectorProcess& operator=(const CollectorProcess&) = delete;

    int port() const { return port_; }
    std::string target() const { return "127.0.0.1:" + std::to_string(port_); }

    // Record lines written so far for the instances whose application name is given.
    // Counted incrementally: each call reads only what was appended since the last.
    uint64_t lines(const std::string& application) {
        uint64_t total = 0;
        for (auto& [path, count] : filesOf(application)) {
            count.lines += newlinesAfter(path, count.offset);
            total += count.lines;
        }
        return total;
    }

    // Bytes written so far for those instances (cheaper than lines when only size matters).
    uint64_t bytes(const std::string& application) {
        uint64_t total = 0;
        for (auto& entry : filesOf(application))
            total += fileSize(entry.first);
        return total;
    }

    // Waits until `expected` lines arrived, or until nothing more arrived for a while.
    uint64_t settledLines(const std::string& application, uint64_t expected) {
        uint64_t last = lines(application);
        auto quietSince = std::chrono::steady_clock::now();
        while (last < expected && std::chrono::steady_clock::now() - quietSince < quietPeriod) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            uint64_t now = lines(application);
            if (now != last)
                quietSince = std::chrono::steady_clock::now();
            last = now;
        }
        return last;
    }

    // Record lines that arrived cut: lines holding a record's prefix (its module column)
    // that do not end as every record of the benchmarks ends. Reads the files whole, so
    // call it once per case, before forget().
    uint64_t fragments(const std::string& application, const std::string& moduleColumn,
                       const std::string& ending) {
        uint64_t cut = 0;
        for (auto& entry : filesOf(application)) {
            std::FILE* file = std::fopen(entry.first.c_str(), "rb");
            if (!file)
                continue;
            static char line[1 << 16];
            while (std::fgets(line, sizeof line, file)) {
                std::string_view text(line);
                if (!text.empty() && text.back() == '\n')
                    text.remove_suffix(1);
                if (text.find(moduleColumn) != std::string_view::npos &&
                    (text.size() < ending.size() ||
                     text.substr(text.size() - ending.size()) != ending))
                    ++cut;
            }
            std::fclose(file);
        }
        return cut;
    }

    // Empties the instances' files once the collector has nothing more to write, so that
    // a case counts from zero and the folder does not grow over the run. The collector
    // appends, so it goes on writing at the new end.
    void forget(const std::string& application) {
        settledLines(application, UINT64_MAX);
        for (auto& [path, count] : filesOf(application)) {
            truncate(path.c_str(), 0);
            count = FileCount{};
        }
    }

  private:
    struct FileCount {
        uint64_t offset = 0;
        uint64_t lines = 0;
    };
    static constexpr auto quietPeriod = std::chrono::milliseconds(300);

    void makeFolder() {
        const char* temp = std::getenv("TMPDIR");
        std::string pattern = std::string(temp && *temp ? temp : "/tmp") + "/kslog-bench-XXXXXX";
        if (!mkdtemp(pattern.data()))
            fail("cannot create a folder for the collector's files");
        folder_ = pattern;
    }

    void start() {
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0)
            fail("cannot create a pipe");
        pid_t parent = getpid();
        child_ = fork();
        if (child_ < 0)
            fail("cannot fork");
        if (child_ == 0)
            runCollector(pipeEnds[1], parent);
        close(pipeEnds[1]);
        diagnostics_ = fdopen(pipeEnds[0], "r");
        readPort();
        // The collector reports every connection on standard error: read on so that it
        // never blocks on a full pipe, and keep the text for the summary at the end.
        reader_ = std::thread([this] { readDiagnostics(); });
    }

    // In the child: only calls that are safe after fork.
    [[noreturn]] void runCollector(int errorEnd, pid_t parent) {
        prctl(PR_SET_PDEATHSIG, SIGTERM); // never outlive a benchmark that crashed
        if (getppid() != parent)
            _exit(127);
        int nothing = open("/dev/null", O_WRONLY);
        dup2(nothing, 1);
        dup2(errorEnd, 2);
        execl(program_.c_str(), "kslogd", "--listen", "127.0.0.1:0", "--out", folder_.c_str(),
              static_cast<char*>(nullptr));
        const char message[] = "cannot run the collector\n";
        ssize_t ignored = write(2, message, sizeof message - 1);
        (void)ignored;
        _exit(127);
    }

    void readPort() {
        char line[512];
        const char announcement[] = "kslogd: listening on 127.0.0.1:";
        while (std::fgets(line, sizeof line, diagnostics_)) {
            if (std::strncmp(line, announcement, sizeof announcement - 1) == 0) {
                port_ = std::atoi(line + sizeof announcement - 1);
                return;
            }
        }
        fail(("no port from " + program_ + " (set KSLOGD to the collector's path)").c_str());
    }

    void readDiagnostics() {
        char line[512];
        while (std::fgets(line, sizeof line, diagnostics_)) {
            if (std::strncmp(line, "kslogd: summary", 15) == 0 ||
                std::strncmp(line, "kslogd: instance", 16) == 0) {
                std::lock_guard<std::mutex> guard(summaryLock_);
                summary_ += line;
            }
        }
    }

    // SIGTERM makes the collector flush and print its summary, shown beside the results.
    void stop() {
        if (child_ > 0) {
            kill(child_, SIGTERM);
            int status = 0;
            waitpid(child_, &status, 0);
            child_ = -1;
        }
        if (reader_.joinable())
            reader_.join();
        if (diagnostics_)
            std::fclose(diagnostics_);
        std::fputs(summary_.c_str(), stderr);
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    // The collector names a file "<application>-<identifier>.log".
    std::map<std::string, FileCount>& filesOf(const std::string& application) {
        auto& files = files_[application];
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
            std::string name = entry.path().filename().string();
            if (name.size() > application.size() && name.compare(0, application.size(), application) == 0 &&
                name[application.size()] == '-')
                files.try_emplace(entry.path().string());
        }
        return files;
    }

    static uint64_t fileSize(const std::string& path) {
        struct stat status {};
        return stat(path.c_str(), &status) == 0 ? static_cast<uint64_t>(status.st_size) : 0;
    }

    static uint64_t newlinesAfter(const std::string& path, uint64_t& offset) {
        int file = open(path.c_str(), O_RDONLY);
        if (file < 0)
            return 0;
        static char chunk[1 << 16];
        uint64_t count = 0;
        ssize_t got;
        while ((got = pread(file, chunk, sizeof chunk, static_cast<off_t>(offset))) > 0) {
            for (const char* at = chunk; (at = static_cast<const char*>(
                                              std::memchr(at, '\n', chunk + got - at)));
                 ++at)
                ++count;
            offset += static_cast<uint64_t>(got);
        }
        close(file);
        return count;
    }

    [[noreturn]] static void fail(const char* message) {
        std::fprintf(stderr, "bench: %s\n", message);
        std::exit(1);
    }

    std::string program_;
    std::string folder_;
    pid_t child_ = -1;
    int port_ = 0;
    std::FILE* diagnostics_ = nullptr;
    std::thread reader_;
    std::mutex summaryLock_;
    std::string summary_;
    std::map<std::string, std::map<std::string, FileCount>> files_;
};
