#!/usr/bin/env bash
# Creates wine's prefix once: its first start takes a while and prints noise.
set -u
wine=$(command -v wine64 || true)
[ -n "$wine" ] || wine=/usr/lib/wine/wine64
export WINEDEBUG=-all
prefix=${WINEPREFIX:-$HOME/.wine}
if [ ! -f "$prefix/system.reg" ]; then
  echo "creating the wine prefix in $prefix"
  "$wine" wineboot --init >/dev/null 2>&1 || true
  "${wine%64}server" -w 2>/dev/null || wineserver -w 2>/dev/null || true
fi
