#!/usr/bin/env python3
"""Records reach a real rsyslogd through the file sink's File=syslog:PATH, byte for byte.

Starts rsyslogd with imuxsock listening on a socket in a temporary folder (rsyslog's own
defaults otherwise, so its message size is the default 8 kB) and a template that writes
each message's parsed fields and raw bytes as JSON. A copy of the record sender logs a
table of records to that socket; each must arrive as the datagram the system log expects:
priority from the level, the program's name as the tag, its process id, the module and
the text, a long record in several datagrams. Then, with no socket at all, records are
dropped and counted, said once on the standard error stream, and reported to the system
log when it is back; a path where nothing takes datagrams (a file, a FIFO, a stream
socket, a path too long for a socket) or a receiver that stops reading costs records, not
the program's time. rsyslogd is stopped whatever happens.

usage: syslog_test.py SENDER
"""
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

from rsyslogd import Rsyslogd, wait_for, wait_until

CONFIGURATION = """global(workDirectory="%(work)s" parser.escapeControlCharactersOnReceive="off")
module(load="imuxsock" SysSock.Use="off")
template(name="fields" type="list") {
  constant(value="{")
  property(name="pri" format="jsonf") constant(value=",")
  property(name="programname" format="jsonf") constant(value=",")
  property(name="procid" format="jsonf") constant(value=",")
  property(name="msg" format="jsonf") constant(value=",")
  property(name="rawmsg" format="jsonf")
  constant(value="}\\n")
}
ruleset(name="test") { action(type="omfile" file="%(output)s" template="fields") }
input(type="imuxsock" Socket="%(socket)s" ruleset="test")
"""

LONG = "".join("0123456789abcdefghijklmnopqrstuvwxyz"[i % 36] for i in range(20000))
# level, module, text (one record each, with a newline added), expected priority: the
# facility local0 (16 * 8) and the level's severity
RECORDS = [
    (1, 300, "an error", 128 + 3),
    (2, 7000, "a warning\twith a tab", 128 + 4),
    (3, 12, "info of a named module", 128 + 6),
    (4, 300, "J\u00fcrgen \u4e2d\u6587 \U0001F600", 128 + 7),
    (9, 300, "   blanks kept   ", 128 + 7),
]
MODULE_NAMES = {12: "DATABASE"}
DATAGRAM = 8096


def expected_datagrams(application, pid, module, text, priority):
    """(priority, raw message pattern, msg) of each datagram a record becomes."""
    head = "<%d>" % priority
    tag = "%s[%d]: %s " % (application, pid, MODULE_NAMES.get(module, str(module)))
    room = DATAGRAM - len((head + "Dec  8 00:15:07 " + tag).encode())
    data, pieces = text.encode(), []
    while True:
        pieces.append(data[:room].decode())  # the table's long text is ASCII
        data = data[room:]
        if not data:
            return [(priority, re.escape(head) + r"[A-Z][a-z]{2} [ \d]\d \d\d:\d\d:\d\d " +
                     re.escape(tag + piece), " " + tag.split(": ", 1)[1] + piece)
                    for piece in pieces]


def start_sender(sender, folder, target):
    application = os.path.basename(sender)
    program = os.path.join(folder, application)
    shutil.copy2(sender, program)
    with open(os.path.join(folder, "ksLog.%s.ini" % application), "w") as f:
        f.write("[File]\nLevel=Debug\nFile=syslog:%s\nFacility=LOCAL0\nLOG_DATABASE=1\n"
                "[ksLogd]\nLevel=Off\n"
                "[options]\nmax_len_logger=65536\n" % target)
    process = subprocess.Popen([program, "--echo"], stdin=subprocess.PIPE,
                               stderr=subprocess.PIPE, stdout=subprocess.PIPE, cwd=folder)
    return application, process


def send(sender, records):
    sender.stdin.write("".join("%d\t%d\t%s\n" % r[:3] for r in records).encode())
    sender.stdin.flush()


def wait_done(sender, count):
    """Until the sender has logged its count-th record ("done <count>" on its output)."""
    expected = b"done %d\n" % count
    while True:
        line = sender.stdout.readline()
        if not line or line == expected:
            return


def received(output):
    if not os.path.exists(output):
        return []
    with open(output, "rb") as f:
        return [json.loads(line) for line in f.read().decode().splitlines()]


def compare(messages, expected):
    failures = []
    if len(messages) != len(expected):
        failures.append("%d messages arrived, %d expected" % (len(messages), len(expected)))
    for number, (got, (priority, raw, msg)) in enumerate(zip(messages, expected), 1):
        if got["pri"] != str(priority):
            failures.append("message %d: priority %s, expected %d" % (number, got["pri"], priority))
        if not re.fullmatch(raw, got["rawmsg"], re.S):
            failures.append("message %d: %r does not match %r" % (number, got["rawmsg"][:150],
                                                                 raw[:150]))
        if got["msg"] != msg:
            failures.append("message %d: msg %r, expected %r" % (number, got["msg"][:150],
                                                                 msg[:150]))
    return failures


def run(sender_path, folder):
    socket_path = os.path.join(folder, "log")
    output = os.path.join(folder, "received.jsonl")
    rsyslog = Rsyslogd(os.path.join(folder, "rsyslog"), lambda work: CONFIGURATION % {
        "work": work, "output": output, "socket": socket_path})
    application, sender = start_sender(sender_path, folder, socket_path)
    failures = []
    try:
        # No socket yet: three records are dropped and counted.
        send(sender, [(3, 300, "dropped %d" % n, 0) for n in range(3)])
        wait_done(sender, 3)
        rsyslog.start(lambda: os.path.exists(socket_path))
        records = RECORDS + [(3, 300, LONG, 128 + 6)]
        send(sender, records)
        sender.stdin.close()
        sender.wait(60)
        expected = [(128 + 4, r"<132>.*" + re.escape("[%d]: 300 3 records were lost while the system "
                                               "log was unreachable" % sender.pid),
                     " 300 3 records were lost while the system log was unreachable")]
        for level, module, text, priority in records:
            expected += expected_datagrams(application, sender.pid, module, text, priority)
        wait_until(lambda: len(received(output)) >= len(expected), 20)
        failures += compare(received(output), expected)
        said = sender.stderr.read().decode(errors="replace")
        if said.count("is unreachable") != 1 or socket_path not in said:
            failures.append("the standard error stream said %r" % said)
    finally:
        if sender.poll() is None:
            sender.kill()
            sender.wait()
        rsyslog.stop()
    if failures:
        print("\n".join(failures) + "\nrsyslogd said:\n" + rsyslog.messages())
        return 1
    print("%d messages arrived as sent" % len(expected))
    return 0


def unreachable_sockets(sender_path, folder):
    """Things at the socket's path that take no datagram: each costs the records, said
    once, and holds the program no longer than a second."""
    failures = []
    for kind in ("file", "fifo", "stream socket", "long path"):
        case = os.path.join(folder, kind.replace(" ", "-"))
        os.mkdir(case)
        path = os.path.join(case, "log")
        listener = None
        if kind == "file":
            open(path, "w").close()
        elif kind == "fifo":
            os.mkfifo(path)
        elif kind == "stream socket":
            listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            listener.bind(path)
            listener.listen(1)
        else:
            path = os.path.join(case, "x" * 200)
        _, sender = start_sender(sender_path, case, path)
        started = time.monotonic()
        send(sender, [(3, 300, "record %d" % n, 0) for n in range(3)])
        sender.stdin.close()
        status = sender.wait(30)
        said = sender.stderr.read().decode(errors="replace")
        if listener:
            listener.close()
        if status != 0 or said.count("is unreachable") != 1 or time.monotonic() - started > 5:
            failures.append("%s: status %d, said %r" % (kind, status, said))
    return failures


def stuck_receiver(sender_path, folder):
    """A receiver that does not read holds the program once (a second), not at every
    record; what it missed is counted and reported when it reads again."""
    case = os.path.join(folder, "stuck")
    os.mkdir(case)
    path = os.path.join(case, "log")
    receiver = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
    receiver.bind(path)
    _, sender = start_sender(sender_path, case, path)
    failures = []
    try:
        started = time.monotonic()
        # The queue fills; one send waits its second; the rest are dropped at once.
        send(sender, [(3, 300, "record %d" % n, 0) for n in range(40)])
        wait_done(sender, 40)
        receiver.setblocking(False)
        taken = []
        while True:
            try:
                taken.append(receiver.recv(65536))
            except BlockingIOError:
                break
        send(sender, [(3, 300, "after", 0)])
        sender.stdin.close()
        sender.wait(30)
        elapsed = time.monotonic() - started
        receiver.setblocking(True)
        receiver.settimeout(5)
        late = [receiver.recv(65536), receiver.recv(65536)]
        lost = 40 - len(taken)
        report = b"300 %d records were lost while the system log was unreachable" % lost
        if not taken or not late[0].endswith(report) or not late[1].endswith(b"300 after"):
            failures.append("stuck receiver: %d taken, then %r" % (len(taken), late))
        if elapsed > 6:
            failures.append("stuck receiver: the program took %.1f s" % elapsed)
    finally:
        if sender.poll() is None:
            sender.kill()
            sender.wait()
        receiver.close()
    return failures


def main():
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("terminated"))
    folder = tempfile.mkdtemp(prefix="kslog-syslog-")
    try:
        failures = unreachable_sockets(os.path.abspath(sys.argv[1]), folder)
        failures += stuck_receiver(os.path.abspath(sys.argv[1]), folder)
        if failures:
            print("\n".join(failures))
            return 1
        return run(os.path.abspath(sys.argv[1]), folder)
    finally:
        if not os.environ.get("KSLOG_KEEP_TEMP"):
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
