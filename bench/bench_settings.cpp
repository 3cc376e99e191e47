// What one settings lookup costs: it finds the locator file, creates the directories,
// recovers and reads both settings files (50 keys each) and discards them. The peer reads
// the same two files with the C library and does nothing else: the floor of the I/O.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>
#include "config/Config.h"
#include "config/Paths.h"
#include "config/Settings.h"

namespace {

std::string directory() {
    ksString path;
    return ksExecutableDirectory(&path) ? std::string(path.c_str()) : std::string("./");
}

std::string readFilePath() {
    return directory() + settingsFileName().c_str();
}
std::string writeFilePath() {
    return directory() + "_" + settingsFileName().c_str();
}

// 50 keys in five sections, as a settings file that people maintain might hold them.
std::string fiftyKeys(const char* valuePrefix) {
    std::string text = "; settings\r\n";
    const char* sections[] = {"File", "ksLogd", "options", "Func", "Extra"};
    for (int s = 0; s < 5; ++s) {
        text += std::string("[") + sections[s] + "]\r\n";
        for (int k = 0; k < 10; ++k)
            text += "LOG_MODULE_" + std::to_string(s * 10 + k) + "=" + valuePrefix +
                    std::to_string(k) + "\r\n";
    }
    return text;
}

bool writeText(const std::string& path, const std::string& text) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
}

void settingsLookup(benchmark::State& state) {
    for (auto _ : state) {
        int32_t value = ksReadIntSetting("Extra", "LOG_MODULE_45", -7, false, true);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(settingsLookup)->Name("settings_lookup/ksLog");

void readBothFiles(benchmark::State& state) {
    std::string paths[2] = {readFilePath(), writeFilePath()};
    char buffer[4096];
    for (auto _ : state) {
        for (const std::string& path : paths) {
            FILE* file = std::fopen(path.c_str(), "rb");
            if (!file)
                continue;
            size_t got = std::fread(buffer, 1, sizeof buffer, file);
            benchmark::DoNotOptimize(got);
            std::fclose(file);
        }
    }
}
BENCHMARK(readBothFiles)->Name("settings_lookup/stdio_read_only");

} // namespace

int main(int argc, char** argv) {
    std::string readPath = readFilePath();
    std::string writePath = writeFilePath();
    if (!writeText(readPath, fiftyKeys("r")) || !writeText(writePath, fiftyKeys("1"))) {
        std::fprintf(stderr, "cannot write the settings files beside the benchmark\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(readPath.c_str());
    std::remove(writePath.c_str());
    return 0;
}
