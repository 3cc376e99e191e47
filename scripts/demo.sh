#!/usr/bin/env bash
# Shows ksLog at work: builds it, starts the kslogd collector on a free loopback port,
# runs examples/example_tour.cpp from a folder of its own with a settings file that turns
# the file sink and populate mode on and aims the daemon sink at kslogd, then shows the
# log file, the collector's capture and the write file that populate mode created.
# Everything it starts it stops, also when interrupted.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/demo

bash scripts/setup.sh
echo "== building (build/demo)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKSLOG_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null

demo=$(mktemp -d "${TMPDIR:-/tmp}/kslog-demo.XXXXXX")
collector_pid=
stop_everything() {
  if [ -n "$collector_pid" ] && kill -0 "$collector_pid" 2>/dev/null; then
    kill -TERM "$collector_pid" 2>/dev/null || true
    wait "$collector_pid" 2>/dev/null || true
  fi
  collector_pid=
  if [ -z "${KSLOG_DEMO_KEEP:-}" ]; then rm -rf "$demo"; else echo "(kept $demo)"; fi
}
trap stop_everything EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

show() { # title, file
  echo
  echo "== $1: ${2#"$demo"/}"
  cat "$2"
}

# The collector: port 0 lets the system choose; kslogd names the address it got.
target=
if [ -x "$build/bin/kslogd" ]; then
  mkdir "$demo/capture"
  "$build/bin/kslogd" --listen 127.0.0.1:0 --out "$demo/capture" 2>"$demo/kslogd.err" &
  collector_pid=$!
  for _ in $(seq 100); do
    target=$(sed -n 's/^kslogd: listening on \(.*:[0-9]*\)$/\1/p' "$demo/kslogd.err")
    [ -n "$target" ] && break
    kill -0 "$collector_pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$target" ] || { echo "kslogd did not start:"; cat "$demo/kslogd.err"; exit 1; }
  echo "== kslogd is listening on $target"
else
  echo "== kslogd is not built here: the daemon sink's records go nowhere"
fi

# The application's folder: a copy of the program (settings are looked up beside the
# executable) and its read settings file.
app=example_tour
mkdir "$demo/app"
cp "$build/bin/$app" "$demo/app/"
cat >"$demo/app/ksLog.$app.ini" <<EOF
; Read settings of $app: people edit this file, the library only reads it.
[options]
populate=1          ; write every setting looked up and not found to _ksLog.$app.ini

[File]
Level=Debug
File=$demo/app/log_%n_%y%m%d_%H%M%S.txt
Append=0

[ksLogd]
Level=Debug
Target=${target:-null}
Blocking=1          ; wait for the local collector instead of counting records as lost
EOF
show "settings file" "$demo/app/ksLog.$app.ini"

echo
echo "== running $app"
(cd "$demo/app" && env -u KESTLOG "./$app")

shown=0
for log in "$demo"/app/log_*.txt; do
  [ -e "$log" ] || continue
  show "log file" "$log"; shown=1
done
[ $shown = 1 ] || echo "(no log file: this build has no file sink)"

if [ -n "$collector_pid" ]; then
  # The collector's summary comes when it stops; its capture is complete by then.
  kill -TERM "$collector_pid" 2>/dev/null || true # gone already if it had its own ^C
  wait "$collector_pid" 2>/dev/null || true
  collector_pid=
  shown=0
  for capture in "$demo"/capture/*; do
    [ -f "$capture" ] || continue
    show "collector capture" "$capture"; shown=1
  done
  [ $shown = 1 ] || echo "(kslogd captured nothing: this build has no daemon sink)"
  show "kslogd's messages" "$demo/kslogd.err"
fi

if [ -f "$demo/app/_ksLog.$app.ini" ]; then
  show "write file created by populate mode" "$demo/app/_ksLog.$app.ini"
else
  echo "(no write file was created)"
fi
echo
echo "Next: docs/SETTINGS.md explains every key; docs/COLLECTORS.md sends records to rsyslog."
