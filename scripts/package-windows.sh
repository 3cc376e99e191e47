#!/usr/bin/env bash
# Builds the Windows distribution archive from the cross build (build/windows, configured
# here when missing): build/kslog-<version>-windows-x86_64.zip with the DLL, its import
# library and module definition file, the header, the kslog client, the CMake package,
# kslog.pc and a README. Prints the archive's path on its last line.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${KSLOG_WINDOWS_BUILD:-build/windows}

if [ ! -f "$build/CMakeCache.txt" ]; then
  bash scripts/setup.sh
  cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DKSLOG_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target kslog kslog_cli >/dev/null

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=kslog-$version-windows-x86_64
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cmake --install "$build" --prefix "$stage/$name" --strip >/dev/null

cat >"$stage/$name/README.txt" <<README
ksLog $version for Windows x86-64
================================

A process-wide logging library: applications write records through the C interface in
include/ksLog.h; the library sends them to a log file or console stream, to a log
collector over TCP, and to callbacks the application registers, as the per-application
settings files next to the executable say.

  bin/kslog.dll          the library (imports system DLLs only)
  bin/kslog.exe          command-line client: kslog --help
  include/ksLog.h        the interface (C and C++)
  lib/kslog.dll.a        import library for MinGW-w64 (GCC, Clang)
  lib/kslog.def          module definition file; for Microsoft's linker make an import
                         library with: lib /def:kslog.def /out:kslog.lib /machine:x64
  lib/cmake/kslog/       CMake package: find_package(kslog) gives the target kslog::kslog
  lib/pkgconfig/kslog.pc pkg-config file

Put kslog.dll beside your executable. The class ksLogDuration is exported with GCC's
C++ names and is usable from MinGW-w64 builds only; the C functions work everywhere.
README
cp README.md "$stage/$name/README.md"

archive=$root/build/$name.zip
rm -f "$archive"
(cd "$stage" && python3 -m zipfile -c "$archive" "$name")
echo "$archive"
