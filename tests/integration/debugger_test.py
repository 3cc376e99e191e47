#!/usr/bin/env python3
"""File=debugger hands each line to the debugger's output in UTF-16 (Windows build, wine).

Runs a copy of the record sender under wine with File=debugger and wine's debugger
channels on: wine reports every OutputDebugString call on its error stream, the text
converted to the Windows code page, so that a "\\xfc" for the u-umlaut shows that the
library converted its UTF-8 to UTF-16 (UTF-8 handed over as bytes would show as
"\\xc3\\xbc").

usage: debugger_test.py SENDER
"""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

LINE = r'\d\d:\d\d:\d\d:\d\d\d\|[0-9a-f]{8}\|0000000300 '
# One call per record; the log's first line goes with the first record.
EXPECTED = [
    r'NAME: kslog_send_records\.exe \(log started\)\\nI ' + LINE + r'plain text\\n',
    r'W ' + LINE + r'J(\\xfc|\\u00fc)rgen\\t(\?|\\u4e2d)(\?|\\u6587)\\n',
]


def wine():
    return shutil.which("wine64") or "/usr/lib/wine/wine64"


def main():
    sender = os.path.abspath(sys.argv[1])
    folder = tempfile.mkdtemp(prefix="kslog-debugger-")
    try:
        for built in [sender] + glob.glob(os.path.join(os.path.dirname(sender), "*.dll")):
            shutil.copy2(built, folder)
        program = os.path.join(folder, os.path.basename(sender))
        with open(os.path.join(folder, "ksLog.kslog_send_records.exe.ini"), "w") as f:
            f.write("[File]\nLevel=Debug\nFile=debugger\n[ksLogd]\nLevel=Off\n")
        records = "3\t300\tplain text\n2\t300\tJ\u00fcrgen\t\u4e2d\u6587\n"
        environment = dict(os.environ, WINEDEBUG="-all,warn+seh,+debugstr")
        result = subprocess.run([wine(), program], input=records.encode(), cwd=folder,
                                capture_output=True, timeout=240, env=environment)
        said = result.stderr.decode(errors="replace")
        calls = re.findall(r'OutputDebugString[AW] L?"(.*)"\s*$', said, re.M)
        failures = []
        if result.returncode != 0:
            failures.append("the sender refused %d record(s)" % result.returncode)
        if len(calls) != len(EXPECTED):
            failures.append("%d calls, %d expected" % (len(calls), len(EXPECTED)))
        for call, pattern in zip(calls, EXPECTED):
            if not re.fullmatch(pattern, call):
                failures.append("%r does not match %r" % (call, pattern))
        if failures:
            print("\n".join(failures) + "\nwine said:\n" + said[-3000:])
            return 1
        print("%d lines reached the debugger's output" % len(calls))
        return 0
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
