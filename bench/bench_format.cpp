// The formatter against the C library's snprintf and fmt::format_to_n on the same directives:
// one benchmark per case and implementation, named "<case>/<implementation>". fmt runs twice:
// with its format string checked at compile time ("fmt") and read at run time ("fmt_runtime").
//
// The range cases ("<class>@<point>") sweep each class of directive over the values users log:
// doubles from 1e-300 to 1e300 and subnormals, integers of every width and sign, strings of
// 1 to 4,096 bytes. `bench-table.py --classes` sums them up per class: the median and the worst
// ratio over the points.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>
#include "Opaque.h"
#include "foundation/Format.h"
#if __has_include(<fmt/format.h>)
#include <fmt/format.h>
#define KS_BENCH_WITH_FMT 1
#endif

namespace {

char buffer[8192];
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

// One range point: the same value through every implementation, the format strings literal so
// that fmt checks its own at compile time.
#define KS_POINT(name, printfFormat, fmtFormat, value)                                             \
    do {                                                                                           \
        const std::string caseName = (name);                                                       \
        const auto v = (value);                                                                    \
        benchmark::RegisterBenchmark((caseName + "/ksLog").c_str(), [v](benchmark::State& state) { \
            run(state,                                                                             \
                [v] { return ksFormatBuffer(buffer, sizeof buffer, printfFormat, opaque(v)); });   \
        });                                                                                        \
        benchmark::RegisterBenchmark(                                                              \
            (caseName + "/snprintf").c_str(), [v](benchmark::State& state) {                       \
                run(state, [v] {                                                                   \
                    return std::snprintf(buffer, sizeof buffer, printfFormat, opaque(v));          \
                });                                                                                \
            });                                                                                    \
        KS_FMT_POINT(caseName, fmtFormat, v);                                                      \
    } while (0)
#ifdef KS_BENCH_WITH_FMT
#define KS_FMT_POINT(name, fmtFormat, v)                                                           \
    do {                                                                                           \
        benchmark::RegisterBenchmark((caseName + "/fmt").c_str(), [v](benchmark::State& state) {   \
            run(state, [v] { return fmtTo(fmtFormat, opaque(v)); });                               \
        });                                                                                        \
        benchmark::RegisterBenchmark(                                                              \
            (caseName + "/fmt_runtime").c_str(), [v](benchmark::State& state) {                    \
                run(state, [v] { return fmtRuntimeTo(opaque(fmtFormat), opaque(v)); });            \
            });                                                                                    \
    } while (0)
#else
#define KS_FMT_POINT(name, fmtFormat, v) (void)0
#endif

// 1.2345678901234567 times a power of ten: every digit a double holds is non-zero.
double atDecimalExponent(int exponent) {
    char text[40];
    std::snprintf(text, sizeof text, "1.2345678901234567e%d", exponent);
    return std::strtod(text, nullptr);
}

void registerFloatingRange() {
    std::vector<std::pair<std::string, double>> points;
    for (int exponent = -300; exponent <= 300; exponent += 25)
        points.emplace_back("e" + std::to_string(exponent), atDecimalExponent(exponent));
    points.emplace_back("subnormal_min", 4.9406564584124654e-324);
    points.emplace_back("subnormal", 1.2345678901234567e-310);
    for (const auto& [label, value] : points) {
        KS_POINT("e@" + label, "%e", "{:e}", value);
        KS_POINT(".3e@" + label, "%.3e", "{:.3e}", value);
        KS_POINT("f@" + label, "%f", "{:f}", value);
        KS_POINT(".2f@" + label, "%.2f", "{:.2f}", value);
        KS_POINT("g@" + label, "%g", "{:g}", value);
        KS_POINT(".17g@" + label, "%.17g", "{:.17g}", value);
    }
}

// A value of the given number of decimal digits, every digit different from its neighbours.
uint64_t withDigits(int digits) {
    uint64_t value = 0;
    for (int i = 0; i < digits; ++i)
        value = value * 10 + static_cast<uint64_t>((i * 7 + 1) % 9 + 1);
    return value;
}

void registerIntegerRange() {
    for (int digits = 1; digits <= 10; ++digits) {
        const auto value =
            static_cast<int>(withDigits(digits) > 2147483647 ? 2147483647 : withDigits(digits));
        KS_POINT("d@" + std::to_string(digits), "%d", "{}", value);
        KS_POINT("d@-" + std::to_string(digits), "%d", "{}", -value);
    }
    for (int digits = 1; digits <= 19; digits += 2) {
        const auto value = static_cast<long long>(withDigits(digits));
        KS_POINT("lld@" + std::to_string(digits), "%lld", "{}", value);
        KS_POINT("lld@-" + std::to_string(digits), "%lld", "{}", -value);
    }
    for (int bits = 4; bits <= 32; bits += 4) {
        const unsigned value = 0xFEDCBA98u >> (32 - bits);
        KS_POINT("x@" + std::to_string(bits), "%x", "{:x}", value);
        KS_POINT("08x@" + std::to_string(bits), "%08x", "{:08x}", value);
    }
}

const std::string kText(4096, 'x');
const std::wstring kWideText(256, L'w');

void registerStringRange() {
    for (int length : {1, 4, 16, 64, 200, 256, 1000, 1024, 4096}) {
        const char* text = kText.c_str() + kText.size() - static_cast<size_t>(length);
        KS_POINT("s@" + std::to_string(length), "%s", "{}", text);
        // The floor: finding the end of the same bytes and copying them.
        benchmark::RegisterBenchmark(("s@" + std::to_string(length) + "/copy").c_str(),
                                     [text](benchmark::State& state) {
                                         run(state, [text] {
                                             const char* from = opaque(text);
                                             const size_t size = std::strlen(from);
                                             std::memcpy(buffer, from, size + 1);
                                             return static_cast<int>(size);
                                         });
                                     });
    }
    KS_POINT(".Ns@3", "%.3s", "{:.3}", kText.c_str());
    KS_POINT(".Ns@20", "%.20s", "{:.20}", kText.c_str());
    KS_POINT(".Ns@100", "%.100s", "{:.100}", kText.c_str());
    KS_POINT(".Ns@1000", "%.1000s", "{:.1000}", kText.c_str());
    // fmt writes no wide text into narrow output: snprintf is the one peer.
    for (int length : {1, 16, 256}) {
        const wchar_t* text = kWideText.c_str() + kWideText.size() - static_cast<size_t>(length);
        const std::string caseName = "ls@" + std::to_string(length);
        benchmark::RegisterBenchmark(
            (caseName + "/ksLog").c_str(), [text](benchmark::State& state) {
                run(state,
                    [text] { return ksFormatBuffer(buffer, sizeof buffer, "%ls", opaque(text)); });
            });
        benchmark::RegisterBenchmark(
            (caseName + "/snprintf").c_str(), [text](benchmark::State& state) {
                run(state,
                    [text] { return std::snprintf(buffer, sizeof buffer, "%ls", opaque(text)); });
            });
    }
}

void registerLogLines() {
    KS_CASE("line@request", "GET %s %d %lld bytes in %.3f ms", "GET {} {} {} bytes in {:.3f} ms",
            opaque("/api/v1/items?id=42"), opaque(200), opaque(123456789ll), opaque(12.3456));
    KS_CASE("line@state", "[%08x] %-12s %5d %g", "[{:08x}] {:<12} {:5} {:g}", opaque(0xbeefu),
            opaque("connected"), opaque(-17), opaque(0.000123456789));
    KS_CASE("line@values", "x=%.2f y=%.2f z=%e n=%u", "x={:.2f} y={:.2f} z={:e} n={}",
            opaque(1234.5678), opaque(-0.001234), opaque(6.02214076e23), opaque(4000000000u));
}

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
    registerFloatingRange();
    registerIntegerRange();
    registerStringRange();
    registerLogLines();
}

} // namespace

int main(int argc, char** argv) {
    registerCases();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
