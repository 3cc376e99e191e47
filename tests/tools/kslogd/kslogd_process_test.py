#!/usr/bin/env python3
"""Runs kslogd as a process on a loopback port and talks to it with raw sockets: exact
bytes in its files and on its standard output, JSON lines, reconnections, lost counts,
the summary at SIGTERM or SIGINT, hostile streams and many connections at once.

usage: kslogd_process_test.py [--smoke] [--emulator PROGRAM] [--sanitized] KSLOGD
--smoke runs only what makes sense for the Windows build under an emulator."""
import argparse
import json
import os
import pty
import re
import resource
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

TIMEOUT = 60


def header(uuid, name, lost=0):
    return (b"\nPROTOCOL: ksLogd-1.0\nUUID: " + uuid + b"\nLOST: %d\nNAME: " % lost + name +
            b"(log started, %d logs previously lost)\n" % lost)


def record(text, level=b"I", module=b"Core      "):
    return level + b" 09:05:07:042|00001a2c|" + module + b" " + text


def limit(descriptors, file_size):
    """In the child: fewer descriptors, or files that cannot grow past file_size bytes
    (writes beyond it fail as on a full disk, without the signal that would end it)."""
    if descriptors:
        resource.setrlimit(resource.RLIMIT_NOFILE, (descriptors, descriptors))
    if file_size:
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (file_size, file_size))


class Collector:
    """One kslogd process with its standard streams read in the background."""

    def __init__(self, command, options, terminal=False, descriptors=None, file_size=None,
                 read_pause=0):
        self.terminal = None
        self.read_pause = read_pause  # a slow reader of standard output: seconds per read
        stdout = subprocess.PIPE
        if terminal:  # standard output on a pseudo-terminal, read through its other side
            self.terminal, stdout = pty.openpty()
        self.process = subprocess.Popen(command + ["--listen", "127.0.0.1:0"] + options,
                                        stdout=stdout, stderr=subprocess.PIPE,
                                        start_new_session=True,
                                        preexec_fn=lambda: limit(descriptors, file_size))
        if terminal:
            os.close(stdout)
        self.output = {"stdout": b"", "stderr": b""}
        self.changed = threading.Condition()
        self.readers = [threading.Thread(target=self._read, args=(name,), daemon=True)
                        for name in self.output]
        for reader in self.readers:
            reader.start()
        try:
            found = self.wait("stderr", rb"kslogd: listening on 127\.0\.0\.1:(\d+)\r?\n")
        except AssertionError:
            self.kill()
            raise
        self.port = int(found.group(1))

    def _read(self, name):
        if name == "stdout" and self.terminal is not None:
            descriptor = self.terminal
        else:
            descriptor = getattr(self.process, name).fileno()
        slow = name == "stdout" and self.read_pause
        while True:
            if slow:
                time.sleep(self.read_pause)
            try:
                block = os.read(descriptor, 4096 if slow else 65536)
            except OSError:  # a terminal's other side reports the end as an error
                block = b""
            with self.changed:
                if block:
                    self.output[name] += block
                self.changed.notify_all()
            if not block:
                return

    def wait(self, name, pattern, count=1):
        """Waits until pattern occurs count times in the stream; returns the last match."""
        deadline = time.monotonic() + TIMEOUT
        with self.changed:
            while True:
                matches = list(re.finditer(pattern, self.output[name]))
                if len(matches) >= count:
                    return matches[-1]
                left = deadline - time.monotonic()
                if left <= 0 or (self.process.poll() is not None and
                                 not any(r.is_alive() for r in self.readers)):
                    raise AssertionError("no %r x%d in %s:\n%s" % (
                        pattern, count, name, self.output[name][-3000:].decode(errors="replace")))
                self.changed.wait(min(left, 0.5))

    def connect(self):
        return socket.create_connection(("127.0.0.1", self.port), timeout=TIMEOUT)

    def stop(self, signal_number=signal.SIGTERM):
        self.process.send_signal(signal_number)
        status = self.process.wait(TIMEOUT)
        for reader in self.readers:
            reader.join(TIMEOUT)
        return status

    def kill(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait(TIMEOUT)


# Scenarios: steps run in order against one collector, then it is stopped and its output
# checked. Steps: ("send", client, bytes), ("close", client), ("wait", stream, pattern,
# count). Expectations: "stdout" exact bytes, "files" {name: bytes} for --out, "json" the
# objects of the JSON lines, "summary" lines that must appear on standard error.
U1 = b"0a1b2c3d-0000-1000-8000-00aabbccddee"
U2 = b"99999999-0000-1000-8000-00aabbccddee"
MEGABYTE_LINE = record(b"x" * (1 << 20))


def closed(count=1):
    return ("wait", "stderr", rb"kslogd: closed: ", count)


def rejected(reason, count=1):
    return ("wait", "stderr", rb"kslogd: rejected [^\n]*: " + reason, count)


SCENARIOS = [
    {"name": "lines tagged on standard output, a line continued and a lost report",
     "steps": [("send", 1, header(U1, b"app") + record(b"hello\n") + record(b"open")),
               ("send", 1, b"ed\n\nLOST: 2\n"),
               ("send", 1, record(b"x\n", b"D")),
               ("close", 1), closed()],
     "stdout": b"app: " + record(b"hello\n") + b"app: " + record(b"opened\n") +
               b"app: " + record(b"x\n", b"D"),
     "summary": [b"kslogd: summary: 1 instances, 1 connections, 0 displaced, 0 rejected, "
                 b"0 lines not written",
                 b"kslogd: instance app " + U1 + b": 1 connections, %d bytes, 3 lines, 2 lost" % len(
                     header(U1, b"app") + record(b"hello\n") + record(b"open") +
                     b"ed\n\nLOST: 2\n" + record(b"x\n", b"D"))]},
    {"name": "a reconnection appends to the instance's file and its lost count comes once",
     "options": ["--out", "{out}"],
     "steps": [("send", 1, header(U1, b"app") + record(b"one\n")), ("close", 1), closed(),
               ("send", 2, b"\nLOST: 4\n" + header(U1, b"app", 4) + record(b"two\n")),
               ("close", 2), closed(2),
               ("send", 3, header(U2, b"other") + record(b"three\n")), ("close", 3), closed(3)],
     "files": {"app-" + U1.decode() + ".log": record(b"one\n") + record(b"two\n"),
               "other-" + U2.decode() + ".log": record(b"three\n")},
     "summary": [b"kslogd: instance app " + U1 + b": 2 connections, %d bytes, 2 lines, 4 lost" % len(
                     header(U1, b"app") + record(b"one\n") + b"\nLOST: 4\n" +
                     header(U1, b"app", 4) + record(b"two\n"))]},
    {"name": "a line left open by a lost connection is ended, not glued to the next",
     "options": ["--out", "{out}"],
     "steps": [("send", 1, header(U1, b"app") + record(b"partial")), ("close", 1), closed(),
               ("send", 2, header(U1, b"app") + record(b"next\n")), ("close", 2), closed(2)],
     "files": {"app-" + U1.decode() + ".log": record(b"partial\n") + record(b"next\n")}},
    {"name": "JSON lines for any bytes",
     "options": ["--json"],
     "steps": [("send", 1, header(U1, b"a\x01\xff") + record(b"tab\there caf\xc3\xa9 \"q\"\n") +
                b"   48 65 - He\n" + record(b"bad \xc3( \x00 end\n", b"E", b"0000007000") +
                b"E 03/14/2026 09:05:07:042|DEADBEEF|Core       dated\n"),
               ("close", 1), closed()],
     "json": [{"instance": U1.decode(), "application": "a\x01\ufffd", "level": "I",
               "time": "09:05:07:042", "thread": "00001a2c", "module": "Core",
               "text": "tab\there caf\u00e9 \"q\""},
              {"instance": U1.decode(), "application": "a\x01\ufffd", "level": "", "time": "",
               "thread": "", "module": "", "text": "   48 65 - He"},
              {"instance": U1.decode(), "application": "a\x01\ufffd", "level": "E",
               "time": "09:05:07:042", "thread": "00001a2c", "module": "0000007000",
               "text": "bad \ufffd( \x00 end"},
              {"instance": U1.decode(), "application": "a\x01\ufffd", "level": "E",
               "time": "03/14/2026 09:05:07:042", "thread": "DEADBEEF", "module": "Core",
               "text": "dated"}]},
    {"name": "JSON lines into the instance's file",
     "options": ["--json", "--out", "{out}"],
     "steps": [("send", 1, header(U1, b"app") + record(b"hi\n")), ("close", 1), closed()],
     "files": {"app-" + U1.decode() + ".jsonl":
               b'{"instance":"' + U1 + b'","application":"app","level":"I",'
               b'"time":"09:05:07:042","thread":"00001a2c","module":"Core","text":"hi"}\n'}},
    {"name": "garbage, an endless header and a foreign protocol while another is served",
     "steps": [("send", 1, header(U1, b"app") + record(b"before\n")),
               ("wait", "stdout", rb"before", 1),
               ("send", 2, b"GET / HTTP/1.0\r\n\r\n"), rejected(b"no protocol header"),
               ("send", 3, b"\nPROTOCOL: ksLogd-1.0\nUUID: " + b"u" * 20000),
               rejected(b"header too long"),
               ("send", 4, b"\nPROTOCOL: ksLogd-9.9\n"), rejected(b"unknown protocol"),
               ("send", 5, b"\x00\xff" * 1000), rejected(b"no protocol header", 2),
               ("send", 1, record(b"after\n")), ("close", 1), closed()],
     "stdout": b"app: " + record(b"before\n") + b"app: " + record(b"after\n"),
     "summary": [b"kslogd: summary: 1 instances, 5 connections, 0 displaced, 4 rejected, "
                 b"0 lines not written"]},
    {"name": "a line of a megabyte reaches the file whole",
     "options": ["--out", "{out}"],
     "steps": [("send", 1, header(U1, b"app") + MEGABYTE_LINE + b"\n" + record(b"next\n")),
               ("close", 1), closed()],
     "files": {"app-" + U1.decode() + ".log": MEGABYTE_LINE + b"\n" + record(b"next\n")},
     "summary": [b"kslogd: instance app " + U1 + b": 1 connections, %d bytes, 2 lines, 0 lost" % len(
                     header(U1, b"app") + MEGABYTE_LINE + b"\n" + record(b"next\n"))]},
    {"name": "a line of a megabyte on standard output comes in tagged pieces",
     "steps": [("send", 1, header(U1, b"app") + MEGABYTE_LINE + b"\n"), ("close", 1), closed()],
     "pieces": MEGABYTE_LINE},
    {"name": "lost counts past 2^64 stop at the largest count",
     "steps": [("send", 1, header(U1, b"app") + b"\nLOST: 9999999999999999999\n" * 2),
               ("close", 1), closed()],
     "summary": [b"kslogd: instance app " + U1 + b": 1 connections, 174 bytes, 0 lines, "
                 b"18446744073709551615 lost"]},
    {"name": "names that would meet across the identifier get files of their own",
     "options": ["--out", "{out}"],
     "steps": [("send", 1, header(b"6ba7b810-9dad-11d1-80b4-00c04fd430c8", b"orders") +
                record(b"one\n")), ("close", 1), closed(),
               ("send", 2, header(b"9dad-11d1-80b4-00c04fd430c8", b"orders-6ba7b810") +
                record(b"two\n")), ("close", 2), closed(2)],
     "files": {"orders-6ba7b810-9dad-11d1-80b4-00c04fd430c8.log": record(b"one\n"),
               "orders-6ba7b810-~396461642d313164312d383062342d303063303466643433306338.log":
               record(b"two\n")}},
    {"name": "SIGINT stops it as SIGTERM does, after reading what was already sent",
     "signal": signal.SIGINT,
     "steps": [("send", 1, header(U1, b"app") + record(b"x\n")), ("wait", "stdout", rb"x\n", 1),
               ("send", 1, record(b"last"))],
     "stdout": b"app: " + record(b"x\n") + b"app: " + record(b"last\n"),
     "summary": [b"kslogd: instance app " + U1 + b": 1 connections, %d bytes, 2 lines, 0 lost" % len(
                     header(U1, b"app") + record(b"x\n") + record(b"last"))]},
]


def run_steps(collector, steps):
    clients = {}
    for step in steps:
        if step[0] == "send":
            if step[1] not in clients:
                clients[step[1]] = collector.connect()
            clients[step[1]].sendall(step[2])
        elif step[0] == "close":
            clients.pop(step[1]).close()
        else:
            collector.wait(step[1], step[2], step[3])
    return clients


def check_scenario(command, scenario, work):
    out = os.path.join(work, "out")
    options = [option.replace("{out}", out) for option in scenario.get("options", [])]
    collector = Collector(command, options)
    try:
        clients = run_steps(collector, scenario["steps"])
        status = collector.stop(scenario.get("signal", signal.SIGTERM))
        for client in clients.values():
            client.close()
    finally:
        collector.kill()
    stdout, stderr = collector.output["stdout"], collector.output["stderr"]
    assert status == 0, "exit status %d" % status
    if "stdout" in scenario:
        assert stdout == scenario["stdout"], stdout[:2000]
    if "files" in scenario:
        found = {name: open(os.path.join(out, name), "rb").read() for name in os.listdir(out)}
        assert found == scenario["files"], {k: v[:300] for k, v in found.items()}
    if "json" in scenario:
        assert [json.loads(line) for line in stdout.splitlines()] == scenario["json"], stdout
    if "pieces" in scenario:
        lines = stdout.split(b"\n")[:-1]
        assert all(line.startswith(b"app: ") and len(line) <= 5 + 65536 for line in lines)
        assert b"".join(line[5:] for line in lines) == scenario["pieces"]
    for line in scenario.get("summary", []):
        assert line + b"\n" in stderr, stderr[-3000:]


def check_hostile_names(command, work):
    """Names and identifiers from the network never lead outside the output folder."""
    out = os.path.join(work, "deep", "out")
    names = [b"../../x", b"/etc/passwd", b"..\\..\\y", b"a\x00b", b"n" * 10240, b".", b"-rf"]
    collector = Collector(command, ["--out", out])
    try:
        for index, name in enumerate(names):
            uuid = b"../../../uuid%d" % index
            with collector.connect() as client:
                client.sendall(header(uuid, name) + record(b"%d\n" % index))
            collector.wait("stderr", rb"kslogd: closed: ", index + 1)
        assert collector.stop() == 0
    finally:
        collector.kill()
    files = sorted(os.listdir(out))
    assert len(files) == len(names), files
    for name in files:
        assert re.fullmatch(r"[A-Za-z0-9_~][A-Za-z0-9._~-]*", name) and len(name) <= 200, name
        assert os.path.isfile(os.path.join(out, name))
    assert sorted(os.listdir(work)) == ["deep"] and os.listdir(os.path.join(work, "deep")) == ["out"]


def peak_memory_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        return int(re.search(r"VmHWM:\s*(\d+) kB", status.read()).group(1))


def check_memory_bounded(command, work):
    """A line of 64 MiB passes through without being held whole."""
    out = os.path.join(work, "out")
    collector = Collector(command, ["--out", out])
    size = 64 << 20
    try:
        before = peak_memory_kib(collector.process.pid)
        with collector.connect() as client:
            client.sendall(header(U1, b"app"))
            block = b"y" * (1 << 20)
            for _ in range(size >> 20):
                client.sendall(block)
            client.sendall(b"\n")
        collector.wait("stderr", rb"kslogd: closed: ")
        growth = peak_memory_kib(collector.process.pid) - before
        assert collector.stop() == 0
    finally:
        collector.kill()
    assert os.path.getsize(os.path.join(out, "app-" + U1.decode() + ".log")) == size + 1
    assert growth < 16 << 10, "peak memory grew by %d KiB" % growth


def check_many_connections(command, work):
    """A thousand connections at once, and another client still served among them."""
    count = 1000
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, min(hard, 4 * count)), hard))
    collector = Collector(command, [])
    try:
        clients = []
        for index in range(count):
            client = collector.connect()
            client.sendall(header(U1, b"many") + record(b"%d\n" % index))
            clients.append(client)
        collector.wait("stderr", rb"kslogd: connected: ", count)
        with collector.connect() as late:
            late.sendall(header(U2, b"late") + record(b"served\n"))
            collector.wait("stdout", rb"late: [^\n]*served\n")
        for client in clients:
            client.close()
        collector.wait("stderr", rb"kslogd: closed: ", count + 1)
        assert collector.stop() == 0
    finally:
        collector.kill()
    assert collector.output["stdout"].count(b"\n") == count + 1
    assert (b"kslogd: instance many " + U1 + b": %d connections" % count) in collector.output["stderr"]


def check_silent_connections_give_way(command, work):
    """Connections that only send a header give way to a new application when all places are taken."""
    count = 1100
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, min(hard, 4 * count)), hard))
    collector = Collector(command, [])
    silent = []
    try:
        for index in range(count):
            client = collector.connect()
            client.sendall(header(U1, b"silent"))
            silent.append(client)
        collector.wait("stderr", rb"kslogd: closed: silent [^\n]*: connection table full\n",
                       count - 1024)
        with collector.connect() as late:
            late.sendall(header(U2, b"late") + record(b"served\n"))
            collector.wait("stdout", rb"late: [^\n]*served\n")
        assert silent[0].recv(1) == b""  # the quietest gave way
        assert collector.stop() == 0
    finally:
        for client in silent:
            client.close()
        collector.kill()
    assert (b"kslogd: summary: 2 instances, %d connections, %d displaced, 0 rejected" %
            (count + 1, count + 1 - 1024)) in collector.output["stderr"]


def check_descriptors_run_out(command, work):
    """Out of file descriptors, the quietest connection also gives way to a new one."""
    collector = Collector(command, [], descriptors=48)
    silent = []
    try:
        for _ in range(60):
            client = collector.connect()
            client.sendall(header(U1, b"silent"))
            silent.append(client)
        collector.wait("stderr", rb"kslogd: closed: silent [^\n]*: no file descriptor left\n")
        with collector.connect() as late:
            late.sendall(header(U2, b"late") + record(b"served\n"))
            collector.wait("stdout", rb"late: [^\n]*served\n")
        assert collector.stop() == 0
    finally:
        for client in silent:
            client.close()
        collector.kill()


def check_instances_forgotten(command, work):
    """A full instance table forgets instances without a connection, keeping their counts."""
    collector = Collector(command, ["--max-instances", "3"])
    try:
        with collector.connect() as lasting:
            lasting.sendall(header(U1, b"lasting"))
            collector.wait("stderr", rb"kslogd: connected: lasting")
            for index in range(6):
                with collector.connect() as client:
                    client.sendall(header(uuid_of(index), b"short", 2) + record(b"%d\n" % index))
                collector.wait("stderr", rb"kslogd: closed: short", index + 1)
            lasting.sendall(record(b"still here\n"))
            collector.wait("stdout", rb"lasting: [^\n]*still here\n")
        assert collector.stop() == 0
    finally:
        collector.kill()
    stderr = collector.output["stderr"]
    assert b"kslogd: summary: 7 instances, 7 connections, 0 displaced, 0 rejected" in stderr, stderr
    assert b"kslogd: forgotten 4 instances: 4 connections, " in stderr, stderr
    assert re.search(rb"kslogd: forgotten 4 instances: [^\n]* 4 lines, 8 lost\n", stderr), stderr
    assert b"kslogd: instance lasting " + U1 + b": 1 connections" in stderr
    assert b"rejected" not in stderr.replace(b"0 rejected", b"")


def check_planted_links(command, work):
    """A link or a FIFO planted at an instance's file name is not followed; others are served."""
    out = os.path.join(work, "out")
    os.makedirs(out)
    victim = os.path.join(work, "victim")
    with open(victim, "wb") as file:
        file.write(b"keep\n")
    os.symlink(victim, os.path.join(out, "linked-%s.log" % U1.decode()))
    os.mkfifo(os.path.join(out, "fifo-%s.log" % U1.decode()))
    collector = Collector(command, ["--out", out])
    try:
        for index, name in enumerate([b"linked", b"fifo", b"plain"]):
            with collector.connect() as client:
                client.sendall(header(U1, name) + record(b"secret\n"))
            collector.wait("stderr", rb"kslogd: closed: ", index + 1)
        assert collector.stop() == 0
    finally:
        collector.kill()
    stderr = collector.output["stderr"]
    assert open(victim, "rb").read() == b"keep\n"
    assert re.search(rb"kslogd: cannot open [^\n]*linked-[^\n]*: a symbolic link is in the way\n",
                     stderr), stderr
    assert re.search(rb"kslogd: cannot open [^\n]*fifo-[^\n]*: not a regular file\n", stderr), stderr
    assert open(os.path.join(out, "plain-%s.log" % U1.decode()), "rb").read() == record(b"secret\n")
    assert b", 2 lines not written" in stderr, stderr


def check_json_pieces_whole_characters(command, work):
    """With --json, a line longer than a piece is cut between characters."""
    collector = Collector(command, ["--json"])
    text = "x" + "\u00e9\u20ac\U0001f600" * 30000
    try:
        with collector.connect() as client:
            client.sendall(header(U1, b"app") + record(text.encode() + b"\n"))
        collector.wait("stderr", rb"kslogd: closed: ")
        assert collector.stop() == 0
    finally:
        collector.kill()
    objects = [json.loads(line) for line in collector.output["stdout"].splitlines()]
    assert len(objects) > 3 and all(o.get("continued") for o in objects[1:])
    assert all("\ufffd" not in o["text"] for o in objects)
    assert "".join(o["text"] for o in objects) == text


def check_json_whole_despite_signals(command, work):
    """With --json to a slow reader, signals never cut an object: every line is whole."""
    collector = Collector(command, ["--json"], read_pause=0.002)
    lines = 2000
    stop = threading.Event()

    def hang_up():
        while not stop.wait(0.005):
            collector.process.send_signal(signal.SIGHUP)

    signaller = threading.Thread(target=hang_up)
    signaller.start()
    try:
        with collector.connect() as client:
            client.sendall(header(U1, b"app") + b"".join(
                record(b"%05d %s\n" % (n, b"y" * 2000)) for n in range(lines)))
        collector.wait("stderr", rb"kslogd: closed: ")
        stop.set()
        signaller.join()
        assert collector.stop() == 0
    finally:
        stop.set()
        signaller.join()
        collector.kill()
    texts = [json.loads(line)["text"] for line in collector.output["stdout"].splitlines()]
    assert texts == ["%05d %s" % (n, "y" * 2000) for n in range(lines)], len(texts)


def check_full_disk_said_once(command, work):
    """--out on a full disk: lines stored + lines not written = lines sent, and the
    reason is said once."""
    out = os.path.join(work, "out")
    name = os.path.join(out, "app-%s.log" % U1.decode())
    collector = Collector(command, ["--out", out], file_size=100000)
    lines = 3000
    try:
        with collector.connect() as client:
            client.sendall(header(U1, b"app") +
                           b"".join(record(b"%05d %s\n" % (n, b"z" * 60)) for n in range(lines)))
        collector.wait("stderr", rb"kslogd: closed: ")
        assert collector.stop() == 0
    finally:
        collector.kill()
    stored = open(name, "rb").read().count(b"\n")
    errors = collector.output["stderr"]
    assert 0 < stored < lines, stored
    assert b"%d lines not written" % (lines - stored) in errors, (stored, errors[-600:])
    failures = re.findall(rb"kslogd: cannot write [^\n]*: File too large\n", errors)
    assert len(failures) == 1, errors[-600:]


def check_terminal_escapes(command, work):
    """On a terminal, record text shows control characters escaped."""
    collector = Collector(command, [], terminal=True)
    try:
        with collector.connect() as client:
            client.sendall(header(U1, b"app") + record(b"\x1b[2J\x1b]0;x\x07 \xc2\x9b31m caf\xc3\xa9\tend\n"))
            collector.wait("stdout", rb"end\r?\n")
        assert collector.stop() == 0
    finally:
        collector.kill()
    assert collector.output["stdout"].replace(b"\r\n", b"\n") == (
        b"app: " + record(b"\\x1b[2J\\x1b]0;x\\x07 \\xc2\\x9b31m caf\xc3\xa9\tend\n"))


def check_reopen_on_hangup(command, work):
    """SIGHUP reopens the output files, as a log rotation's postrotate asks."""
    out = os.path.join(work, "out")
    name = os.path.join(out, "app-%s.log" % U1.decode())
    collector = Collector(command, ["--out", out])
    try:
        with collector.connect() as client:
            client.sendall(header(U1, b"app") + record(b"before\n"))
            collector.wait("stderr", rb"kslogd: connected: ")
            deadline = time.monotonic() + TIMEOUT
            while not os.path.exists(name) or os.path.getsize(name) == 0:
                assert time.monotonic() < deadline
                time.sleep(0.05)
            os.rename(name, name + ".1")
            collector.process.send_signal(signal.SIGHUP)
            collector.wait("stderr", rb"kslogd: output files reopened\n")
            client.sendall(record(b"after\n"))
        collector.wait("stderr", rb"kslogd: closed: ")
        assert collector.stop() == 0
    finally:
        collector.kill()
    assert open(name + ".1", "rb").read() == record(b"before\n")
    assert open(name, "rb").read() == record(b"after\n")


def uuid_of(index):
    return b"%08x-0000-4000-8000-00aabbccddee" % index


def stream_for(index):
    """Endless lines of varied length, in chunks that cut lines apart."""
    lines = b"".join(record(b"client %d line %06d %s\n" % (index, n, b"z" * ((n * 37) % 300)))
                     for n in range(3000))
    chunk = 100003
    at = 0
    while True:
        block = lines[at % len(lines):] + lines
        yield block[:chunk]
        at += chunk


def stream_until_stopped(client, chunks, sent, stop):
    for chunk in chunks:
        if stop.is_set():
            return
        sent.append(chunk)  # before sending: a part of it may arrive before a failure
        try:
            client.sendall(chunk)
        except OSError:
            return


def check_stop_under_load(command, work):
    """A stop while clients stream stores exactly the bytes received, in whole lines."""
    for round_number in range(3):  # the moment of the stop varies; one round may miss
        stop_while_streaming(command, os.path.join(work, str(round_number)))


def stop_while_streaming(command, work, clients=8):
    out = os.path.join(work, "out")
    collector = Collector(command, ["--out", out])
    threads, sent, stop = [], [[] for _ in range(clients)], threading.Event()
    try:
        for index in range(clients):
            client = collector.connect()
            client.sendall(header(uuid_of(index), b"load%d" % index))
            thread = threading.Thread(target=stream_until_stopped,
                                      args=(client, stream_for(index), sent[index], stop))
            threads.append((thread, client))
            thread.start()
        collector.wait("stderr", rb"kslogd: connected: ", clients)
        time.sleep(0.3)
        status = collector.stop()
        stop.set()
        for thread, client in threads:
            thread.join(TIMEOUT)
            client.close()
    finally:
        stop.set()
        collector.kill()
    assert status == 0, status
    for index in range(clients):
        name = b"load%d" % index
        found = re.search(rb"kslogd: instance " + name + rb" [^:]*: 1 connections, (\d+) bytes",
                          collector.output["stderr"])
        received = int(found.group(1)) - len(header(uuid_of(index), name))
        stream = b"".join(sent[index])
        assert 0 < received <= len(stream), (received, len(stream))
        expected = stream[:received]
        if not expected.endswith(b"\n"):
            expected += b"\n"  # the line the stop cut is ended, never glued to another
        path = os.path.join(out, "%s-%s.log" % (name.decode(), uuid_of(index).decode()))
        stored = open(path, "rb").read()
        assert stored == expected, "%s: %d bytes stored, %d expected, first difference at %d" % (
            path, len(stored), len(expected),
            next((i for i, (a, b) in enumerate(zip(stored, expected)) if a != b),
                 min(len(stored), len(expected))))


def check_header_timeout(command, work):
    """A connection that never sends its header is closed after --header-timeout."""
    collector = Collector(command, ["--header-timeout", "1"])
    try:
        with collector.connect() as silent:
            started = time.monotonic()
            assert silent.recv(1) == b""
            assert time.monotonic() - started < 30
        collector.wait("stderr", rb"kslogd: rejected [^\n]*: no header in time\n")
        assert collector.stop() == 0
    finally:
        collector.kill()


def run_command(command, arguments):
    return subprocess.run(command + arguments, capture_output=True, timeout=TIMEOUT)


def check_command_line(command, work):
    cases = [  # the messages themselves are the options test's
        (["--bogus"], 2, b"kslogd: unknown option '--bogus'\nTry 'kslogd --help'.\n"),
        (["--out"], 2, b"kslogd: --out wants a value\nTry 'kslogd --help'.\n"),
    ]
    for arguments, status, message in cases:
        result = run_command(command, arguments)
        assert (result.returncode, result.stderr) == (status, message), (arguments, result)
    result = run_command(command, ["--help"])
    assert result.returncode == 0 and result.stdout.startswith(b"Usage: kslogd"), result
    with socket.socket() as busy:
        busy.bind(("127.0.0.1", 0))
        busy.listen()
        result = run_command(command, ["--listen", "127.0.0.1:%d" % busy.getsockname()[1]])
        assert result.returncode == 1 and b"kslogd: cannot listen on" in result.stderr, result


def check_smoke(command, work):
    """The Windows build: --help, then one client's line on standard output."""
    result = run_command(command, ["--help"])
    assert result.returncode == 0 and result.stdout.startswith(b"Usage: kslogd"), result
    collector = Collector(command, [])
    try:
        with collector.connect() as client:
            client.sendall(header(U1, b"app.exe") + record(b"from wine\n"))
            collector.wait("stdout", rb"app\.exe: I 09:05:07:042\|00001a2c\|Core       from wine\n")
    finally:
        collector.kill()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--smoke", action="store_true")
    parser.add_argument("--emulator")
    parser.add_argument("--sanitized", action="store_true",
                        help="skip the check at the descriptor limit, where sanitizers fail")
    parser.add_argument("--only", help="run only the checks whose name holds this text")
    parser.add_argument("kslogd")
    arguments = parser.parse_args()
    command = ([arguments.emulator] if arguments.emulator else []) + [arguments.kslogd]
    if arguments.smoke:
        checks = [("Windows build smoke run", lambda work: check_smoke(command, work))]
    else:
        checks = [(s["name"], lambda work, s=s: check_scenario(command, s, work))
                  for s in SCENARIOS]
        checks += [(f.__doc__.splitlines()[0], lambda work, f=f: f(command, work)) for f in
                   (check_hostile_names, check_memory_bounded, check_many_connections,
                    check_silent_connections_give_way, check_instances_forgotten,
                    check_planted_links, check_json_pieces_whole_characters,
                    check_json_whole_despite_signals, check_full_disk_said_once,
                    check_terminal_escapes, check_reopen_on_hangup, check_stop_under_load,
                    check_header_timeout)]
        if not arguments.sanitized:
            checks.append((check_descriptors_run_out.__doc__,
                           lambda work: check_descriptors_run_out(command, work)))
        checks.append(("command line", lambda work: check_command_line(command, work)))
    checks = [(name, check) for name, check in checks
              if not arguments.only or arguments.only in name]
    failures = 0
    for name, check in checks:
        with tempfile.TemporaryDirectory() as work:
            try:
                check(work)
                print("ok:", name)
            except Exception as failure:  # report every failing check, not only the first
                failures += 1
                print("FAILED:", name, "\n ", repr(failure)[:4000])
    print("%d checks, %d failed" % (len(checks), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
