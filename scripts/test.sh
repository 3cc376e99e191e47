#!/usr/bin/env bash
# Builds ksLog for Linux and Windows and runs every test: natively, under
# AddressSanitizer + UndefinedBehaviorSanitizer, under ThreadSanitizer, under wine,
# installs the library and builds the example consumer against it, and runs each fuzz
# target briefly. The last line counts what passed and failed.
set -u
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)
fuzz_seconds=${KSLOG_FUZZ_SECONDS:-10}

bash scripts/setup.sh || { echo "0 passed, 1 failed"; exit 1; }
bash scripts/wine-prefix.sh

results=$root/build/results
rm -rf "$results" && mkdir -p "$results"
stage_failures=0

configure_and_build() { # folder, cmake arguments...
  local folder=$1; shift
  # Warnings are errors in the project's own builds, not in users' builds.
  cmake -S . -B "build/$folder" -G Ninja -DKSLOG_WERROR=ON "$@" \
    >"build/$folder.configure.log" 2>&1 &&
    cmake --build "build/$folder" -j "$jobs" >"build/$folder.build.log" 2>&1
}

run_ctest() { # folder, label for the results
  local folder=$1 label=$2
  mkdir -p "$results/$label"
  GTEST_OUTPUT="xml:$results/$label/" ctest --test-dir "build/$folder" --output-on-failure \
    --no-tests=error -j 2 2>&1 | tee "build/$folder.test.log" | tail -n 25
  return "${PIPESTATUS[0]}"
}

stage() { # label, folder, cmake arguments...
  local label=$1 folder=$2; shift 2
  echo "== $label"
  if ! configure_and_build "$folder" "$@"; then
    echo "build failed: see build/$folder.*.log"; tail -n 30 "build/$folder.build.log" 2>/dev/null
    stage_failures=$((stage_failures + 1)); return
  fi
  run_ctest "$folder" "$label" || stage_failures=$((stage_failures + 1))
}

mkdir -p build
stage native native -DCMAKE_BUILD_TYPE=RelWithDebInfo
ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  stage sanitized sanitized -DCMAKE_BUILD_TYPE=Debug -DKSLOG_SANITIZE=address,undefined
TSAN_OPTIONS=halt_on_error=1:allocator_may_return_null=1 \
  stage thread thread -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKSLOG_SANITIZE=thread
stage windows windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo

echo "== library boundaries"
boundary_passed=0
if bash scripts/check-exports.sh; then boundary_passed=1; else stage_failures=$((stage_failures + 1)); fi

echo "== installed package"
# Its checks are counted from the report it writes beside the test programs' reports.
bash scripts/check-install.sh build/native "$results/installed-package" ||
  [ -f "$results/installed-package/installed-package.xml" ] ||
  stage_failures=$((stage_failures + 1))

echo "== fuzz (${fuzz_seconds}s per target)"
fuzz_passed=0 fuzz_failed=0
if configure_and_build fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
     -DKSLOG_FUZZ=ON -DKSLOG_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo; then
  for target in build/fuzz/bin/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus=build/fuzz/corpus/$name
    rm -rf "$corpus" && mkdir -p "$corpus"
    cp -r "fuzz/corpus/${name#fuzz_}/." "$corpus/" 2>/dev/null || true
    if "$target" -max_total_time="$fuzz_seconds" -artifact_prefix=build/fuzz/ "$corpus" \
         >"build/fuzz/$name.log" 2>&1; then
      fuzz_passed=$((fuzz_passed + 1)); echo "$name: ok"
    else
      fuzz_failed=$((fuzz_failed + 1)); echo "$name: FAILED"; tail -n 30 "build/fuzz/$name.log"
    fi
  done
else
  echo "fuzz build failed: see build/fuzz.build.log"; tail -n 30 build/fuzz.build.log
  fuzz_failed=$((fuzz_failed + 1))
fi

read -r passed failed < <(python3 scripts/count-results.py "$results")
passed=$((passed + fuzz_passed + boundary_passed))
failed=$((failed + fuzz_failed + stage_failures))
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
