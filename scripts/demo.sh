#!/usr/bin/env bash
# Builds ksLog and runs the example programs, showing the library at work.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/demo -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKSLOG_TESTS=OFF >/dev/null
cmake --build build/demo -j "$(nproc)" >/dev/null
for example in build/demo/bin/example_*; do
  echo "== $(basename "$example")"
  "$example"
done
