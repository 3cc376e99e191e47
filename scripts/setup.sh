#!/usr/bin/env bash
# Installs what building and testing ksLog needs on Debian 12, only where missing.
set -euo pipefail

# clang, lld and llvm: the fuzz targets, and the Windows tests of Microsoft's toolchain
# (clang for its ABI, lld-link, llvm-dlltool, which also makes kslog.lib).
packages=(cmake ninja-build g++ clang lld llvm libclang-rt-14-dev libgtest-dev googletest
          libbenchmark-dev libspdlog-dev libfmt-dev g++-mingw-w64-x86-64-posix
          mingw-w64-x86-64-dev wine64 python3 libasio-dev pkg-config rsyslog rsyslog-relp make)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
