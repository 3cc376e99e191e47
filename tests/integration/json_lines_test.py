#!/usr/bin/env python3
"""Every line of the file sink's JSON layout parses with Python's json module.

Runs a copy of the record sender (tests/collectors/SendRecords.cpp, --escaped) beside a
settings file with Layout=json, once writing a log file and once the standard output,
with records that hold quotes, backslashes, tabs, newlines, every byte from 0x01 to 0x1F,
broken UTF-8, a hex dump and a record without its newline. Each line must be one JSON
object whose fields say what the record was.

usage: json_lines_test.py SENDER [EMULATOR...]
"""
import datetime
import glob
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

# level, module, text as the sender reads it (\\, \n, \t, \xNN decoded), the text's bytes
RECORDS = [
    (3, 300, r"plain\n", b"plain\n"),
    (1, 300, r"say \x22hi\x22 \\ bye\n", b'say "hi" \\ bye\n'),
    (2, 7000, r"a\ttab, lines\nsecond\nthird\n", b"a\ttab, lines\nsecond\nthird\n"),
    (4, 300, "".join(r"\x%02x" % b for b in range(1, 32)) + r"\n", bytes(range(1, 32)) + b"\n"),
    (3, 300, r"J\xc3\xbcrgen \xe4\xb8\xad\xe6\x96\x87 \xf0\x9f\x98\x80\n",
     "J\u00fcrgen \u4e2d\u6587 \U0001F600\n".encode()),
    (3, 300, r"broken \xc3 \xe4\xb8. \x80 \xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80 \xff\n",
     b"broken \xc3 \xe4\xb8. \x80 \xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80 \xff\n"),
    (3, 300, r"no newline at its end", b"no newline at its end"),
    (3, 300, r"del \x7f, C1 \xc2\x85, separator \xe2\x80\xa8\n",
     b"del \x7f, C1 \xc2\x85, separator \xe2\x80\xa8\n"),
]
HEX_DUMP = (4, 300, r"hexdump:A\x00B\x22", None)
LEVELS = {1: "error", 2: "warning", 3: "info", 4: "debug"}
FIELDS = ["time", "level", "module", "module_name", "process", "thread", "application",
          "text"]


def per_byte(data):
    """The text as the layout keeps it: valid UTF-8 as it is, U+FFFD for each other byte."""
    out, i = [], 0
    while i < len(data):
        for n in (1, 2, 3, 4):
            try:
                out.append(data[i:i + n].decode("utf-8"))
                i += n
                break
            except UnicodeDecodeError:
                pass
        else:
            out.append("\ufffd")
            i += 1
    return "".join(out)


def run_sender(sender, emulator, folder, target):
    application = os.path.basename(sender)
    program = os.path.join(folder, application)
    for built in [sender] + glob.glob(os.path.join(os.path.dirname(sender), "*.dll")):
        shutil.copy2(built, folder)  # on Windows, the library beside the program
    settings = "ksLog.%s.ini" % application
    with open(os.path.join(folder, settings), "w") as f:
        f.write("[File]\nLevel=Debug\nFile=%s\nLayout=json\n[ksLogd]\nLevel=Off\n" % target)
    lines = "".join("%d\t%d\t%s\n" % r[:3] for r in RECORDS + [HEX_DUMP])
    result = subprocess.run(emulator + [program, "--escaped"], input=lines.encode(), cwd=folder,
                            capture_output=True, timeout=120)
    if result.returncode != 0:
        raise SystemExit("the sender refused %d record(s): %r" % (result.returncode,
                                                                   result.stderr[-2000:]))
    return application, result.stdout


def check(output, application):
    failures = []
    lines = output.split(b"\n")
    if lines[-1] != b"":
        failures.append("the last line has no end: %r" % lines[-1][:100])
    objects = []
    for number, line in enumerate(lines[:-1], 1):
        line = line.rstrip(b"\r")  # Windows ends lines with CR LF
        try:
            objects.append(json.loads(line.decode("utf-8")))
        except (UnicodeDecodeError, ValueError) as error:
            failures.append("line %d is not JSON (%s): %r" % (number, error, line[:200]))
    if failures:
        return failures
    started, records = objects[0], objects[1:]
    if started.get("log_started") is not True or started.get("application") != application:
        failures.append("the first object is not the log's start: %r" % started)
    if len(records) != len(RECORDS) + 1:
        return failures + ["%d records, %d expected" % (len(records), len(RECORDS) + 1)]
    for (level, module, _, data), got in zip(RECORDS, records):
        if list(got) != FIELDS:
            failures.append("fields %r" % list(got))
        text = per_byte(data[:-1] if data.endswith(b"\n") else data)
        expected = {"level": LEVELS[level], "module": module, "application": application,
                    "text": text, "module_name": None}
        for key, value in expected.items():
            if got.get(key) != value:
                failures.append("%s: %r, expected %r" % (key, got.get(key), value))
        if not re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d", got["time"]):
            failures.append("time %r" % got["time"])
        else:
            moment = datetime.datetime.fromisoformat(got["time"])
            age = datetime.datetime.now(datetime.timezone.utc) - moment
            if abs(age.total_seconds()) > 600:
                failures.append("time %r is not now" % got["time"])
    dump = records[-1]["text"]
    if not re.fullmatch(r"Buffer pointer=\S+ length=4\n   41 00 42 22 +- A\.B\"", dump):
        failures.append("hex dump %r" % dump)
    return failures


def main():
    sender, emulator = os.path.abspath(sys.argv[1]), sys.argv[2:]
    failures = []
    for target in ("records.jsonl", "stdout"):
        folder = tempfile.mkdtemp(prefix="kslog-json-")
        try:
            application, output = run_sender(sender, emulator, folder, target)
            if target != "stdout":
                with open(os.path.join(folder, target), "rb") as f:
                    output = f.read()
            failures += ["%s: %s" % (target, failure) for failure in check(output, application)]
        finally:
            shutil.rmtree(folder, ignore_errors=True)
    print("\n".join(failures) if failures else "every line is a JSON object of its record")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
