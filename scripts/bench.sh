#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them; prints, per case, the median time of
# ksLog and its ratio to each peer measured in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKSLOG_BENCH=ON \
  -DKSLOG_TESTS=OFF >/dev/null
cmake --build build/bench -j "$(nproc)" >/dev/null
mkdir -p build/bench/results
# Standard error (the daemon sink's "Restarting" messages, the collector's summary) goes
# to a file beside each program's results.
for program in build/bench/bin/bench_*; do
  [ -n "${1:-}" ] && [[ "$(basename "$program")" != *"$1"* ]] && continue
  name=$(basename "$program")
  "$program" --benchmark_repetitions=7 --benchmark_report_aggregates_only=true \
    --benchmark_format=json >"build/bench/results/$name.json" 2>"build/bench/results/$name.err"
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
python3 scripts/bench-table.py build/bench/results/*.json
