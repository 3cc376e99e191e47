#!/usr/bin/env bash
# Checks the libraries' boundaries: the Linux library exports only the interface, and the
# DLL imports only system DLLs and exports only the interface.
set -u
status=0
interface='^(ksLog_[A-Za-z_]+|ksLogger_[A-Za-z]+_Init|_ksLog_Level|_ZN13ksLogDuration.*)$'
# The DLL also exports ksLogDuration's members under Microsoft's decorated names, each of them.
microsoft_names=('??0ksLogDuration@@QEAA@GGHPEBD@Z' '??1ksLogDuration@@QEAA@XZ'
                 '??4ksLogDuration@@QEAAAEAV0@AEBV0@@Z'
                 '?ksLogDuration_F@ksLogDuration@@SAPEBDPEBDZZ')

so=build/native/bin/libkslog.so
dll=build/windows/bin/kslog.dll
for library in "$so" "$dll"; do
  [ -f "$library" ] || { echo "missing: $library (build it first)"; status=1; }
done
extra=$(nm -D --defined-only "$so" | awk '{print $3}' | grep -vE "$interface")
if [ -n "$extra" ]; then
  echo "libkslog.so exports internal symbols:"; echo "$extra"; status=1
fi

imports=$(x86_64-w64-mingw32-objdump -p "$dll" | awk '/DLL Name:/ {print $3}' |
  grep -viE '^(KERNEL32|WS2_32|IPHLPAPI|SHELL32|msvcrt|ADVAPI32)\.dll$')
if [ -n "$imports" ]; then
  echo "kslog.dll imports non-system DLLs:"; echo "$imports"; status=1
fi
all_exports=$(x86_64-w64-mingw32-objdump -p "$dll" |
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk 'NR > 1 && NF {print $NF}')
exports=$(grep -vE "$interface" <<<"$all_exports" |
  grep -vxF -f <(printf '%s\n' "${microsoft_names[@]}"))
if [ -n "$exports" ]; then
  echo "kslog.dll exports internal symbols:"; echo "$exports"; status=1
fi
for name in "${microsoft_names[@]}"; do
  grep -qxF -e "$name" <<<"$all_exports" ||
    { echo "kslog.dll does not export $name"; status=1; }
done
[ $status -eq 0 ] && echo "library boundaries: ok"
exit $status
