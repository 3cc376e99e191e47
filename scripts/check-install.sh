#!/usr/bin/env bash
# Installs ksLog from a build folder into a temporary prefix, checks what was installed,
# and builds the example consumer (examples/consumer) outside the source tree against
# it twice: with CMake's find_package and with make and pkg-config; both programs run.
# With a Windows cross build present, also checks the distribution archive and runs its
# client and collector under wine.
# Usage: check-install.sh [build folder] [report folder]. Each check prints "name: ok" or
# "name: FAILED"; with a report folder they are also written there as a test report.
set -u
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build/native}
report=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
names=() failures=()

check() { # name, command...: runs the command with its output in the log
  local name=$1; shift
  if "$@" >"$work/$name.log" 2>&1; then
    echo "$name: ok"; names+=("$name"); failures+=("")
  else
    echo "$name: FAILED"; tail -n 30 "$work/$name.log"
    names+=("$name"); failures+=("$(tail -n 30 "$work/$name.log")")
  fi
}

installed_tree() {
  cmake --install "$root/$build" --prefix "$prefix" || return 1
  local file
  for file in include/ksLog.h lib/libkslog.so lib/libkslog.so.0 bin/kslog bin/kslogd \
              lib/cmake/kslog/kslogConfig.cmake lib/cmake/kslog/kslogConfigVersion.cmake \
              lib/cmake/kslog/kslogTargets.cmake lib/pkgconfig/kslog.pc \
              lib/systemd/system/kslogd.service; do
    [ -e "$prefix/$file" ] || { echo "missing: $file"; return 1; }
  done
  objdump -p "$prefix/lib/libkslog.so" | grep -q 'SONAME *libkslog\.so\.0$' ||
    { echo "libkslog.so does not name itself libkslog.so.0"; return 1; }
  # The installed client finds the installed library through its run path.
  "$prefix/bin/kslog" --help | grep -q "$prefix/bin/ksLog.kslog.ini"
}

consumer_output_ok() { # program
  local output
  output=$("$1") && [ "$output" = "consumer: hello from the consumer" ]
}

find_package_consumer() {
  cp -r "$root/examples/consumer" "$work/cmake-consumer" &&
    cmake -S "$work/cmake-consumer" -B "$work/cmake-consumer/build" -G Ninja \
      -DCMAKE_PREFIX_PATH="$prefix" &&
    cmake --build "$work/cmake-consumer/build" &&
    consumer_output_ok "$work/cmake-consumer/build/consumer"
}

pkg_config_consumer() {
  cp -r "$root/examples/consumer" "$work/make-consumer" &&
    PKG_CONFIG_PATH="$prefix/lib/pkgconfig" make -C "$work/make-consumer" &&
    consumer_output_ok "$work/make-consumer/consumer"
}

windows_archive() {
  local archive
  archive=$(bash scripts/package-windows.sh | tail -n 1) || return 1
  local listing
  listing=$(python3 -m zipfile -l "$archive") || return 1
  local file
  for file in bin/kslog.dll bin/kslog.exe bin/kslogd.exe lib/kslog.lib lib/kslog.dll.a \
              lib/kslog.def include/ksLog.h README.txt; do
    grep -q "/$file " <<<"$listing" || { echo "missing from the archive: $file"; return 1; }
  done
  # The unpacked client (with the DLL beside it) and collector run under wine.
  python3 -m zipfile -e "$archive" "$work/unpacked" || return 1
  local unpacked=("$work"/unpacked/*/bin)
  bash scripts/wine-run.sh "${unpacked[0]}/kslog.exe" --help | grep -q '^Usage: kslog ' &&
    bash scripts/wine-run.sh "${unpacked[0]}/kslogd.exe" --help | grep -q '^Usage: kslogd '
}

write_report() { # folder
  mkdir -p "$1"
  {
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<testsuites><testsuite name="InstalledPackage">'
    local i
    for i in "${!names[@]}"; do
      if [ -z "${failures[$i]}" ]; then
        echo "  <testcase name=\"${names[$i]}\" classname=\"InstalledPackage\"/>"
      else
        echo "  <testcase name=\"${names[$i]}\" classname=\"InstalledPackage\">" \
             "<failure message=\"see the output of scripts/check-install.sh\"/></testcase>"
      fi
    done
    echo '</testsuite></testsuites>'
  } >"$1/installed-package.xml"
}

check installed_tree installed_tree
check find_package_consumer find_package_consumer
check pkg_config_consumer pkg_config_consumer
if [ -f build/windows/CMakeCache.txt ]; then
  check windows_archive windows_archive
fi
[ -n "$report" ] && write_report "$report"
for failure in "${failures[@]}"; do
  [ -z "$failure" ] || exit 1
done
exit 0
