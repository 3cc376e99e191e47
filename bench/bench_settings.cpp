// What one settings lookup costs: it finds the locator file, creates the directories,
// recovers and reads both settings files (50 keys each) and discards them. The peer reads
// the same two files with the C library and does nothing else: the floor of the I/O.
//
// And what a settings text of many keys costs to parse and to look a key up in, at
// 100,000 and 1,000,000 keys: the cost must grow with the size of the text, not with its
// square. The peer splits the same text into lines and keeps them in a standard hash map.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_map>
#include "config/IniDocument.h"
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

// Ten keys to a section, as "[section_N]" and "key_N=value_N" lines.
const std::string& manyKeys(int64_t keys) {
    static std::unordered_map<int64_t, std::string> texts;
    std::string& text = texts[keys];
    if (text.empty()) {
        for (int64_t i = 0; i < keys; ++i) {
            if (i % 10 == 0)
                text += "[section_" + std::to_string(i / 10) + "]\r\n";
            text += "key_" + std::to_string(i) + "=value_" + std::to_string(i) + "\r\n";
        }
    }
    return text;
}

void parseManyKeys(benchmark::State& state) {
    const std::string& text = manyKeys(state.range(0));
    std::string lastSection = "section_" + std::to_string((state.range(0) - 1) / 10);
    std::string lastKey = "key_" + std::to_string(state.range(0) - 1);
    for (auto _ : state) {
        ksIniDocument document;
        document.parse(text.data(), text.size());
        benchmark::DoNotOptimize(document.get(lastSection.c_str(), lastKey.c_str(), "", nullptr));
    }
}
// One case per size, so that the table keeps both.
BENCHMARK(parseManyKeys)
    ->Name("settings_parse_100k/ksLog")
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(parseManyKeys)
    ->Name("settings_parse_1M/ksLog")
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void splitManyKeys(benchmark::State& state) {
    const std::string& text = manyKeys(state.range(0));
    for (auto _ : state) {
        std::unordered_map<std::string, std::string> lines;
        std::string_view rest(text);
        while (!rest.empty()) {
            size_t end = rest.find('\n');
            std::string_view line = rest.substr(0, end);
            size_t equals = line.find('=');
            lines.emplace(std::string(line.substr(0, equals)),
                          std::string(equals == line.npos ? "" : line.substr(equals + 1)));
            rest.remove_prefix(end == rest.npos ? rest.size() : end + 1);
        }
        benchmark::DoNotOptimize(lines.size());
    }
}
BENCHMARK(splitManyKeys)
    ->Name("settings_parse_100k/std_unordered_map")
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(splitManyKeys)
    ->Name("settings_parse_1M/std_unordered_map")
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

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
