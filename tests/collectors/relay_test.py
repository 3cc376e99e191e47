#!/usr/bin/env python3
"""The documented RELP relay loses nothing and duplicates nothing across an outage.

Runs two rsyslogd of the test's own on loopback: the local one with the configuration of
docs/COLLECTORS.md and its relay ruleset (daemon sink in over TCP, out over RELP through a
disk-assisted queue), and the central store with its documented configuration. A program
logs 3,000 records through its daemon sink; the central rsyslogd is stopped after the first
1,000 and started again after the next 1,000. Every record must reach the central store
exactly once and byte for byte. Both rsyslogd are stopped whatever happens.

  relay_test.py --sender PATH   PATH reads "<level>\t<module>\t<text>" lines on standard
                                input and logs each as a record (see rsyslog_test.py)
"""
import argparse
import glob
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

import rsyslog_test as collectors
from rsyslogd import Rsyslogd, wait_for, wait_until

RECORD_COUNT = 3000
OUTAGE = range(1000, 2000)  # records written while the central store is down
SECONDS = 60                # for each stage to arrive


def record_text(number):
    """Texts unique by their number, some with a tab, UTF-8 or 5 kB of letters."""
    extras = ("", "\ttab\tseparated", " J\u00fcrgen \u4e2d\u6587 \u2713", " " + "x" * 5000)
    return "record %04d%s" % (number, extras[number % len(extras)])


def relay_configuration(work, output, port_file, central_port):
    """The local rsyslog: the documented file with its ruleset replaced by the relay's."""
    base = collectors.test_configuration(work, output, port_file)
    relay = collectors.documented_configuration("`%s`, relay ruleset:" %
                                                collectors.DOCUMENTED_FILE)
    relay = replace_once(relay, 'target="logs.example.com" port="20514"',
                         'target="127.0.0.1" port="%d"' % central_port)
    relay = replace_once(relay, 'file="/var/log/kslog/received.log"', 'file="%s"' % output)
    base_ruleset = re.compile(r'^ruleset\(name="kslog"\) \{.*?^\}\n', re.S | re.M)
    if len(base_ruleset.findall(base)) != 1:
        raise SystemExit("the documented rsyslog configuration has no single kslog ruleset")
    return base_ruleset.sub(lambda _: relay, base)


def central_configuration(work, store, port):
    settings = re.search(r"^global\(.*?\)\n", collectors.documented_configuration(), re.S | re.M)
    central = collectors.documented_configuration("`/etc/rsyslog.d/30-kslog-central.conf`:")
    central = replace_once(central, 'port="20514"', 'address="127.0.0.1" port="%d"' % port)
    central = replace_once(central, '"/var/log/kslog/', '"%s/' % store)
    return 'global(workDirectory="%s")\n' % work + settings.group(0) + central


def replace_once(text, old, new):
    if text.count(old) != 1:
        raise SystemExit("the documented relay configuration has no single %s" % old)
    return text.replace(old, new)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def accepts(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=1).close()
        return True
    except OSError:
        return False


def lines_of(pattern):
    """The complete lines of the one file that matches pattern (none while it is missing)."""
    files = glob.glob(pattern)
    if len(files) > 1:
        raise SystemExit("the central store wrote several files: %s" % files)
    if not files:
        return []
    with open(files[0], "rb") as f:
        return f.read().split(b"\n")[:-1]


def start_sender(sender, folder, port):
    """A copy of the sender beside settings that aim its daemon sink at port."""
    application = os.path.basename(sender)
    app_folder = os.path.join(folder, "app")
    os.mkdir(app_folder)
    program = os.path.join(app_folder, application)
    shutil.copy2(sender, program)
    with open(os.path.join(app_folder, "ksLog.%s.ini" % application), "w") as f:
        f.write("[ksLogd]\nLevel=Debug\nTarget=127.0.0.1:%d\nBlocking=1\n"
                "[options]\nmax_len_logger=65536\n" % port)
    environment = {k: v for k, v in os.environ.items() if k != "KESTLOG"}
    process = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE, cwd=app_folder, env=environment)
    return application, process


def send(sender, numbers):
    sender.stdin.write("".join("3\t300\t%s\n" % record_text(n) for n in numbers).encode())
    sender.stdin.flush()


PREFIX = re.compile(rb"I \d\d:\d\d:\d\d:\d\d\d\|[0-9a-f]{8}\|0000000300 ")


def compare(received, application):
    """Failures unless the header and every record arrived exactly once, byte for byte.
    rsyslog's disk-assisted queue keeps the order of neither, so order is not checked."""
    header = collectors.header_lines(application)
    failures = collectors.compare(received[:len(header)], header)
    counts = {}
    for line in received[len(header):]:
        prefix = PREFIX.match(line)
        text = line[prefix.end():] if prefix else b"(no record prefix) " + line
        counts[text] = counts.get(text, 0) + 1
    expected = {record_text(n).encode(): n for n in range(RECORD_COUNT)}
    for text, count in counts.items():
        if text not in expected:
            failures.append("not sent: %r" % text[:120])
        elif count != 1:
            failures.append("record %d arrived %d times" % (expected[text], count))
    failures += ["record %d is missing" % n for text, n in expected.items() if text not in counts]
    return failures


def run(sender_path, folder):
    local_output = os.path.join(folder, "local", "received.log")
    port_file = os.path.join(folder, "local", "port")
    store = os.path.join(folder, "central", "store")
    central_port = free_port()
    central = Rsyslogd(os.path.join(folder, "central"),
                       lambda work: central_configuration(work, store, central_port))
    local = Rsyslogd(os.path.join(folder, "local"),
                     lambda work: relay_configuration(work, local_output, port_file,
                                                      central_port))
    stored = lambda: lines_of(os.path.join(store, "*.log"))
    try:
        central.start(lambda: accepts(central_port))
        local.start(lambda: os.path.exists(port_file) and open(port_file).read().strip())
        application, sender = start_sender(sender_path, folder,
                                           int(open(port_file).read().strip()))
        headers = len(collectors.header_lines(application))
        try:
            send(sender, range(OUTAGE.start))
            wait_for(lambda: len(stored()) >= headers + OUTAGE.start, SECONDS,
                     "the first records did not reach the central store")
            central.stop()
            send(sender, OUTAGE)
            wait_for(lambda: len(lines_of(local_output)) >= headers + OUTAGE.stop, SECONDS,
                     "the local rsyslogd did not take the records of the outage")
            central.start(lambda: accepts(central_port))
            send(sender, range(OUTAGE.stop, RECORD_COUNT))
            sender.stdin.close()
            if sender.wait(SECONDS) != 0:
                raise SystemExit("the sender's library refused records: " +
                                 sender.stderr.read().decode(errors="replace"))
            # Short of every record, the comparison below says which are missing.
            if wait_until(lambda: len(stored()) >= headers + RECORD_COUNT, SECONDS):
                time.sleep(1)  # a record delivered twice would come now
        finally:
            if sender.poll() is None:
                sender.kill()
                sender.wait()
        failures = compare(stored(), application)
        if failures:
            print("\n".join(failures[:20]))
            print("local rsyslogd said:\n" + local.messages())
            print("central rsyslogd said:\n" + central.messages())
            return 1
        print("%d records reached the central store once each across its outage" %
              RECORD_COUNT)
        return 0
    finally:
        local.stop()
        central.stop()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sender", required=True,
                        help="program whose daemon sink writes the records")
    arguments = parser.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("terminated"))
    folder = tempfile.mkdtemp(prefix="kslog-relay-")
    try:
        return run(os.path.abspath(arguments.sender), folder)
    finally:
        if not os.environ.get("KSLOG_KEEP_TEMP"):
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
