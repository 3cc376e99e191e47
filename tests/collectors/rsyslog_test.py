#!/usr/bin/env python3
"""Records reach rsyslog whole and byte for byte.

Starts rsyslogd in the foreground with the configuration that docs/COLLECTORS.md
recommends (a TCP input, here on a free loopback port, nothing else), points a program's daemon sink at it through the settings
file beside a copy of the program, writes a table of records and compares rsyslog's output
file with what the daemon sink sends: the protocol header's lines, then one line per record
(prefix and text). rsyslogd is stopped whatever happens.

  rsyslog_test.py --sender PATH   the real daemon sink: PATH reads "<level>\t<module>\t<text>"
                                  lines on standard input and logs each as a record
  rsyslog_test.py --stand-in      a socket client that sends the protocol's bytes itself,
                                  to check the rsyslog configuration alone
"""
import argparse
import ctypes
import os
import re
import shutil
import signal
import socket
import string
import subprocess
import sys
import tempfile
import time

# The configuration that docs/COLLECTORS.md recommends, run as written apart from the port
# (0, read back from a file), the output file and a work directory of its own: rsyslog's
# defaults would escape the tab (as #011), cut records at 8 kB and parse each line as a
# syslog message, and the test shows that this configuration does none of that.
DOCUMENT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs",
                        "COLLECTORS.md")
DOCUMENTED_FILE = "/etc/rsyslog.d/30-kslog.conf"


def documented_configuration(caption="`%s`:" % DOCUMENTED_FILE):
    """The first code block after the caption in docs/COLLECTORS.md."""
    text = open(DOCUMENT, encoding="utf-8").read()
    marker = text.find(caption)
    start = text.find("```", marker) if marker >= 0 else -1
    end = text.find("```", start + 3) if start >= 0 else -1
    if end < 0:
        raise SystemExit("no rsyslog configuration after %s in %s" % (caption, DOCUMENT))
    return text[text.index("\n", start) + 1:end]


def test_configuration(work, output, port_file):
    conf = documented_configuration()
    for old, new in (('port="12222"', 'port="0" listenPortFileName="%s"' % port_file),
                     ('file="/var/log/kslog/received.log"', 'file="%s"' % output)):
        if conf.count(old) != 1:
            raise SystemExit("the documented rsyslog configuration has no single %s" % old)
        conf = conf.replace(old, new)
    return 'global(workDirectory="%s")\n' % work + conf


TWENTY_KB = "".join((string.ascii_letters + string.digits)[i % 62] for i in range(20 * 1024))

# level, module, text: each becomes one record and so one line of rsyslog's output.
RECORDS = [
    (3, 300, "plain text"),
    (1, 300, "an error record"),
    (2, 7000, "a\ttab and\tanother"),
    (3, 300, "UTF-8: J\u00fcrgen \u4e2d\u6587 \u2713 \U0001F600"),
    (4, 300, TWENTY_KB),
    (5, 7000, "   blanks kept at both ends   "),
    (3, 300, "<13>Oct 11 22:14:15 host tag: text that looks like syslog"),
]

TIME = r"\d\d:\d\d:\d\d:\d\d\d"
THREAD = r"[0-9a-f]{8}"
UUID = r"[0-9a-f]{8}-[0-9a-f]{4}-1[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}"


def level_letter(level):
    return "E" if level <= 1 else "W" if level == 2 else "I" if level == 3 else "D"


def header_lines(application):
    """The header's lines as they reach the output (its leading empty line is dropped)."""
    return [
        ("exact", "PROTOCOL: ksLogd-1.0"),
        ("pattern", "UUID: " + UUID),
        ("exact", "LOST: 0"),
        ("exact", "NAME: %s(log started, 0 logs previously lost)" % application),
    ]


def record_line(level, module, text):
    """A record line: the prefix's time and thread vary, everything else is exact."""
    return ("pattern", re.escape(level_letter(level) + " ") + TIME + r"\|" + THREAD + r"\|" +
            re.escape("%010u " % module + text))


class Rsyslog:
    def __init__(self, folder):
        self.folder = folder
        self.output = os.path.join(folder, "received.log")
        self.port_file = os.path.join(folder, "port")
        self.log = os.path.join(folder, "rsyslogd.log")
        self.process = None

    def start(self):
        executable = shutil.which("rsyslogd") or "/usr/sbin/rsyslogd"
        if not os.access(executable, os.X_OK):
            raise SystemExit("rsyslogd is missing: scripts/setup.sh installs it")
        work = os.path.join(self.folder, "work")
        os.mkdir(work)
        conf = os.path.join(self.folder, "rsyslog.conf")
        with open(conf, "w") as f:
            f.write(test_configuration(work, self.output, self.port_file))
        with open(self.log, "wb") as log:
            self.process = subprocess.Popen(
                [executable, "-n", "-C", "-f", conf, "-i", os.path.join(self.folder, "pid")],
                stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                preexec_fn=stop_with_parent)
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise SystemExit("rsyslogd ended at start:\n" + self.messages())
            if os.path.exists(self.port_file) and open(self.port_file).read().strip():
                return int(open(self.port_file).read().strip())
            time.sleep(0.05)
        raise SystemExit("rsyslogd did not report its port:\n" + self.messages())

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def messages(self):
        return open(self.log, errors="replace").read() if os.path.exists(self.log) else ""

    def received(self, expected_count, seconds=20):
        """rsyslog's output lines, once expected_count have arrived or the time is up."""
        deadline = time.monotonic() + seconds
        lines = []
        while time.monotonic() < deadline:
            if os.path.exists(self.output):
                with open(self.output, "rb") as f:
                    lines = f.read().split(b"\n")[:-1]
                if len(lines) >= expected_count:
                    time.sleep(0.3)  # anything beyond the expected lines is a failure too
                    with open(self.output, "rb") as f:
                        return f.read().split(b"\n")[:-1]
            time.sleep(0.1)
        return lines


def stop_with_parent():
    """rsyslogd gets SIGTERM if this script dies without its clean-up (Linux)."""
    try:
        ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        pass


def send_with_library(sender, folder, port):
    """Runs a copy of the sender beside a settings file that aims its daemon sink at port."""
    application = os.path.basename(sender)
    app_folder = os.path.join(folder, "app")
    os.mkdir(app_folder)
    program = os.path.join(app_folder, application)
    shutil.copy2(sender, program)
    with open(os.path.join(app_folder, "ksLog.%s.ini" % application), "w") as f:
        f.write("[ksLogd]\nLevel=Debug\nTarget=127.0.0.1:%d\nBlocking=1\n"
                "[options]\nmax_len_logger=65536\n" % port)
    lines = "".join("%d\t%d\t%s\n" % record for record in RECORDS)
    environment = {k: v for k, v in os.environ.items() if k != "KESTLOG"}
    result = subprocess.run([program], input=lines.encode(), cwd=app_folder, env=environment,
                            capture_output=True, timeout=60)
    if result.returncode != 0:
        raise SystemExit("the sender's library refused %d record(s); stderr:\n%s" %
                         (result.returncode, result.stderr.decode(errors="replace")))
    return application


def send_stand_in(port):
    """The bytes the daemon sink sends, from a plain socket, for an application "stand-in"."""
    application = "stand-in"
    stream = ("\nPROTOCOL: ksLogd-1.0\nUUID: 6ba7b810-9dad-11d1-80b4-00c04fd430c8\nLOST: 0\n"
              "NAME: %s(log started, 0 logs previously lost)\n" % application)
    for level, module, text in RECORDS:
        stream += "%s 09:05:07:042|00001a2c|%010u %s\n" % (level_letter(level), module, text)
    with socket.create_connection(("127.0.0.1", port)) as connection:
        connection.sendall(stream.encode())
    return application


def compare(received, expected):
    failures = []
    if len(received) != len(expected):
        failures.append("%d lines arrived, %d expected" % (len(received), len(expected)))
    for number, ((kind, want), got) in enumerate(zip(expected, received), 1):
        text = got.decode("utf-8", errors="surrogateescape")
        same = text == want if kind == "exact" else re.fullmatch(want, text) is not None
        if not same:
            failures.append("line %d differs: got %r (%d bytes), expected %s %r" %
                            (number, text[:120], len(got), kind, want[:120]))
    return failures


def main():
    parser = argparse.ArgumentParser()
    mode = parser.add_mutually_exclusive_group(required=True)
    mode.add_argument("--sender", help="program whose daemon sink writes the records")
    mode.add_argument("--stand-in", action="store_true", help="send the protocol bytes directly")
    arguments = parser.parse_args()

    signal.signal(signal.SIGTERM, lambda *_: sys.exit("terminated"))
    folder = tempfile.mkdtemp(prefix="kslog-rsyslog-")
    rsyslog = Rsyslog(folder)
    try:
        port = rsyslog.start()
        if arguments.stand_in:
            application = send_stand_in(port)
        else:
            application = send_with_library(os.path.abspath(arguments.sender), folder, port)
        expected = header_lines(application) + [record_line(*r) for r in RECORDS]
        failures = compare(rsyslog.received(len(expected)), expected)
        if failures:
            print("\n".join(failures))
            print("rsyslogd said:\n" + rsyslog.messages())
            return 1
        print("%d lines arrived whole, the longest %d bytes" % (len(expected), len(TWENTY_KB)))
        return 0
    finally:
        rsyslog.stop()
        if not os.environ.get("KSLOG_KEEP_TEMP"):
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
