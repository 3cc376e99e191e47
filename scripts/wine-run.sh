#!/usr/bin/env bash
# Runs a Windows test program under wine64. A crash under wine can still exit with 0,
# so wine's "Unhandled" report on the error stream also counts as a failure.
set -u
wine=$(command -v wine64 || true)
[ -n "$wine" ] || wine=/usr/lib/wine/wine64
export WINEDEBUG=-all
errors=$(mktemp)
"$wine" "$@" 2> >(tee "$errors" >&2)
status=$?
wait
if grep -q 'Unhandled' "$errors"; then
  echo "wine-run: the program crashed" >&2
  [ $status -ne 0 ] || status=1
fi
rm -f "$errors"
exit $status
