// The formatter against the C library's snprintf and fmt::format_to_n on the same directives:
// one benchmark per case and implementation, named "<case>/<implementation>". fmt runs twice:
// with its format string checked at compile time ("fmt") and read at run time ("fmt_runtime").
#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>
#include "Opaque.h"
#include "foundation/Format.h"
#if __has_include(<fmt/format.h>)
#include <fmt/format.h>
#define KS_BENCH_WITH_FMT 1
#endif

namespace {

char buffer[512];
const std::string kLongText(200, 'x');

template <class Format> void run(benchmark::State& state, Format format) {
    for (auto _ : state) {
        int length = format();
        benchmark::DoNotOptimize(length);
        benchmark::ClobberMemory();
    }
}

#ifdef KS_BENCH_WITH_FMT
template <class... Arguments>
int fmtTo(fmt::format_string<Arguments...> format, Arguments&&... arguments) {
    auto result =
        fmt::format_to_n(buffer, sizeof buffer - 1, format, std::forward<Arguments>(arguments)...);
    *result.out = '\0';
    return static_cast<int>(result.size);
}
// The same format string read at run time, as the formatter always reads its own.
template <class... Arguments> int fmtRuntimeTo(const char* format, Arguments&&... arguments) {
    auto result = fmt::format_to_n(buffer, sizeof buffer - 1, fmt::runtime(format),
                                   std::forward<Arguments>(arguments)...);
    *result.out = '\0';
    return static_cast<int>(result.size);
}
#define KS_FMT(name, fmtFormat, ...)                                                               \
    do {                                                                                           \
        benchmark::RegisterBenchmark(name "/fmt", [](benchmark::State& state) {                    \
            run(state, [] { return fmtTo(fmtFormat, __VA_ARGS__); });                              \
        });                                                                                        \
        benchmark::RegisterBenchmark(name "/fmt_runtime", [](benchmark::State& state) {            \
            run(state, [] { return fmtRuntimeTo(opaque(fmtFormat), __VA_ARGS__); });               \
        });                                                                                        \
    } while (0)
#else
#define KS_FMT(name, fmtFormat, ...) (void)0
#endif

// One case: the same output from every implementation.
#define KS_CASE(name, printfFormat, fmtFormat, ...)                                                \
    do {                                                                                           \
        benchmark::RegisterBenchmark(name "/ksLog", [](benchmark::State& state) {                  \
            run(state,                                                                             \
                [] { return ksFormatBuffer(buffer, sizeof buffer, printfFormat, __VA_ARGS__); });  \
        });                                                                                        \
        benchmark::RegisterBenchmark(name "/snprintf", [](benchmark::State& state) {               \
            run(state,                                                                             \
                [] { return std::snprintf(buffer, sizeof buffer, printfFormat, __VA_ARGS__); });   \
        });                                                                                        \
        KS_FMT(name, fmtFormat, __VA_ARGS__);                                                      \
    } while (0)

void registerCases() {
    KS_CASE("format_d", "%d", "{}", opaque(123456));
    KS_CASE("format_08x", "%08x", "{:08x}", opaque(0xbeefu));
    KS_CASE("format_left_s", "%-10s|", "{:<10}|", opaque("hello"));
    KS_CASE("format_precision_s", "%.3s", "{:.3}", opaque("hello"));
    KS_CASE("format_s200", "%s", "{}", opaque(kLongText.c_str()));
    KS_CASE("format_f", "%f", "{:f}", opaque(3.14159265358979));
    KS_CASE("format_3e", "%.3e", "{:.3e}", opaque(12345.6789));
    KS_CASE("format_g", "%g", "{:g}", opaque(0.000123456789));
    KS_CASE("format_5_1f_negative", "%5.1f", "{:5.1f}", opaque(-12.345));
    KS_CASE("format_lld", "%lld", "{}", opaque(1234567890123456789ll));
    KS_CASE("format_log_line", "user %s id=%d took %.3f ms (%s)",
            "user {} id={} took {:.3f} ms ({})", opaque("alice"), opaque(4711), opaque(12.3456),
            opaque("ok"));
}

} // namespace

int main(int argc, char** argv) {
    registerCases();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
