#!/usr/bin/env bash
# Builds the Windows distribution archive from the cross build (build/windows, configured
# here when missing): build/kslog-<version>-windows-x86_64.zip with the DLL, its import
# libraries (GNU's and Microsoft's format) and module definition file, the header, the
# kslog client, the kslogd collector, the CMake package, kslog.pc and a README. Prints the
# archive's path on its last line.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${KSLOG_WINDOWS_BUILD:-build/windows}

if [ ! -f "$build/CMakeCache.txt" ]; then
  bash scripts/setup.sh
  cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DKSLOG_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target kslog kslog_cli kslogd >/dev/null

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=kslog-$version-windows-x86_64
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cmake --install "$build" --prefix "$stage/$name" --strip >/dev/null

# The README's examples name the archive's folder (@NAME@) as unpacked under C:\libs.
sed -e "s/@NAME@/$name/g" -e "s/@VERSION@/$version/g" >"$stage/$name/README.txt" <<'README'
ksLog @VERSION@ for Windows x86-64
================================

A process-wide logging library: applications write records through the C interface in
include/ksLog.h; the library sends them to a log file or console stream, to a log
collector over TCP, and to callbacks the application registers, as the per-application
settings files next to the executable say.

  bin/kslog.dll          the library (imports system DLLs only)
  bin/kslog.exe          command-line client: kslog --help
  bin/kslogd.exe         the log collector the daemon sink streams to: kslogd --help
  include/ksLog.h        the interface (C and C++)
  lib/kslog.lib          import library for Microsoft's linker (Visual Studio, clang-cl,
                         lld-link)
  lib/kslog.dll.a        import library for MinGW-w64 (GCC, Clang)
  lib/kslog.def          module definition file, for toolchains that make their own
  lib/cmake/kslog/       CMake package: find_package(kslog) gives the target kslog::kslog
  lib/pkgconfig/kslog.pc pkg-config file (MinGW-w64)

Put kslog.dll beside your executable. The C functions and the class ksLogDuration (with
KSLOG_DURATION) work from both toolchains: the DLL exports the class's members under
Microsoft's names and under GCC's.

With Microsoft's toolchain
--------------------------

CMake (Visual Studio generators, Ninja with cl or clang-cl): the package links kslog.lib
for Microsoft's compilers and kslog.dll.a for MinGW-w64.

  list(APPEND CMAKE_PREFIX_PATH "C:/libs/@NAME@")
  find_package(kslog REQUIRED)
  target_link_libraries(app PRIVATE kslog::kslog)
  add_custom_command(TARGET app POST_BUILD COMMAND ${CMAKE_COMMAND} -E copy_if_different
    $<TARGET_FILE:kslog::kslog> $<TARGET_FILE_DIR:app>)

A .vcxproj without CMake, with the archive unpacked to C:\libs: in the project's
properties, for all configurations of the x64 platform,

  C/C++ > General > Additional Include Directories:  C:\libs\@NAME@\include
  Linker > Input > Additional Dependencies:          C:\libs\@NAME@\lib\kslog.lib
  Build Events > Post-Build Event > Command Line:    copy /Y C:\libs\@NAME@\bin\kslog.dll "$(OutDir)"

or in the file itself:

  <ItemDefinitionGroup Condition="'$(Platform)'=='x64'">
    <ClCompile>
      <AdditionalIncludeDirectories>C:\libs\@NAME@\include;%(AdditionalIncludeDirectories)</AdditionalIncludeDirectories>
    </ClCompile>
    <Link>
      <AdditionalDependencies>C:\libs\@NAME@\lib\kslog.lib;%(AdditionalDependencies)</AdditionalDependencies>
    </Link>
    <PostBuildEvent>
      <Command>copy /Y "C:\libs\@NAME@\bin\kslog.dll" "$(OutDir)"</Command>
    </PostBuildEvent>
  </ItemDefinitionGroup>
README
cp README.md "$stage/$name/README.md"

archive=$root/build/$name.zip
rm -f "$archive"
(cd "$stage" && python3 -m zipfile -c "$archive" "$name")
echo "$archive"
