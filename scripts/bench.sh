#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs every program in bench/; prints one table with,
# per case, ksLog's median, each peer's median measured in the same run, and their ratio.
# Usage: bench.sh [--markdown] [part of a program's name]
#   --markdown  prints the machine and the table in Markdown, as docs/PERFORMANCE.md has it
set -euo pipefail
cd "$(dirname "$0")/.."
markdown=
if [ "${1:-}" = "--markdown" ]; then markdown=--markdown; shift; fi
only=${1:-}

bash scripts/setup.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKSLOG_BENCH=ON \
  -DKSLOG_TESTS=OFF >/dev/null
cmake --build build/bench -j "$(nproc)" >/dev/null
results=build/bench/results
rm -rf "$results" && mkdir -p "$results"
failed=0
for program in build/bench/bin/bench_*; do
  name=$(basename "$program")
  [ -n "$only" ] && [[ "$name" != *"$only"* ]] && continue
  echo "running $name" >&2
  if ! "$program" --benchmark_repetitions=7 --benchmark_report_aggregates_only=true \
       --benchmark_format=json >"$results/$name.json" 2>"$results/$name.log"; then
    echo "$name failed: see $results/$name.log" >&2
    rm -f "$results/$name.json"
    failed=1
  fi
done
shopt -s nullglob
reports=("$results"/*.json)
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
[ ${#reports[@]} -gt 0 ] || { echo "no benchmark ran" >&2; exit 1; }
python3 scripts/bench-table.py $markdown "${reports[@]}"
if [ -n "$markdown" ]; then
  echo
  echo "Compiler: $(c++ --version | head -n 1); kernel $(uname -r)."
fi
exit $failed
