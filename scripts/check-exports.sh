#!/usr/bin/env bash
# Checks the libraries' boundaries: the Linux library exports only the interface, and the
# DLL imports only system DLLs and exports only the interface.
set -u
status=0
interface='^(ksLog_[A-Za-z_]+|ksLogger_[A-Za-z]+_Init|_ksLog_Level|_ZN13ksLogDuration.*)$'

so=build/native/bin/libkslog.so
extra=$(nm -D --defined-only "$so" | awk '{print $3}' | grep -vE "$interface")
if [ -n "$extra" ]; then
  echo "libkslog.so exports internal symbols:"; echo "$extra"; status=1
fi

dll=build/windows/bin/kslog.dll
imports=$(x86_64-w64-mingw32-objdump -p "$dll" | awk '/DLL Name:/ {print $3}' |
  grep -viE '^(KERNEL32|WS2_32|IPHLPAPI|SHELL32|msvcrt|ADVAPI32)\.dll$')
if [ -n "$imports" ]; then
  echo "kslog.dll imports non-system DLLs:"; echo "$imports"; status=1
fi
exports=$(x86_64-w64-mingw32-objdump -p "$dll" |
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk 'NR > 1 && NF {print $NF}' |
  grep -vE "$interface")
if [ -n "$exports" ]; then
  echo "kslog.dll exports internal symbols:"; echo "$exports"; status=1
fi
[ $status -eq 0 ] && echo "library boundaries: ok"
exit $status
