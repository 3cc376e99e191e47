#!/usr/bin/env python3
"""Runs a program that logs through the daemon sink (natively, or a Windows build under
wine) against a listener on this side of loopback, and checks what arrives: a connection
opening (an optional lost report and the header) and the program's records.

usage: stream_to_listener.py PROGRAM [EMULATOR...]"""
import re
import socket
import subprocess
import sys
import threading

OPENING = re.compile(
    rb"^(\nLOST: (\d+)\n)?\nPROTOCOL: ksLogd-1\.0\nUUID: "
    rb"[0-9a-f]{8}-[0-9a-f]{4}-1[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}\n"
    rb"LOST: (\d+)\nNAME: example_daemon(\.exe)?\(log started, (\d+) logs previously lost\)\n")
LAST_RECORD = b"stock low: bolts\n"
PREFIX = rb" \d\d:\d\d:\d\d:\d\d\d\|[0-9a-f]{8}\|0000001000 "


def main():
    program, emulator = sys.argv[1], sys.argv[2:]
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    listener.settimeout(120)
    port = listener.getsockname()[1]
    received = []

    def serve():
        try:
            connection, _ = listener.accept()
        except OSError:
            return
        connection.settimeout(60)
        with connection:
            while True:
                try:
                    chunk = connection.recv(65536)
                except OSError:
                    break
                if not chunk:
                    break
                received.append(chunk)
                if b"".join(received).endswith(LAST_RECORD):
                    break  # all there: the close may come late under an emulator

    thread = threading.Thread(target=serve)
    thread.start()
    run = subprocess.run(emulator + [program, "127.0.0.1:%d" % port],
                         capture_output=True, timeout=300)
    thread.join(90)
    listener.close()
    data = b"".join(received)
    problems = []
    if run.returncode != 0 or b"done" not in run.stdout:
        problems.append("the program failed: %d %r %r" % (run.returncode, run.stdout, run.stderr))
    opening = OPENING.match(data)
    if not opening:
        problems.append("no connection opening")
    elif opening.group(1) and opening.group(2) != opening.group(3):
        problems.append("the lost report and the header disagree")
    elif opening.group(3) != opening.group(5):
        problems.append("the header's two counts disagree")
    if not re.search(rb"(^|\n)W" + PREFIX + rb"stock low: bolts\n$", data):
        problems.append("the last record did not arrive whole")
    if not re.search(rb"(^|\n)I" + PREFIX + rb"order 5 shipped\n", data):
        problems.append("order 5 did not arrive")
    if problems:
        print("\n".join(problems))
        print("received: %r" % data)
        return 1
    print("streamed %d bytes" % len(data))
    return 0


if __name__ == "__main__":
    sys.exit(main())
