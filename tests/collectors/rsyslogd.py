"""An rsyslogd of a test's own: in the foreground, with its configuration, work folder
and messages in a folder of the test, stopped (SIGTERM, then SIGKILL) by stop(), and sent
SIGTERM by the system should the test die first."""
import os
import shutil
import subprocess
import time

from rsyslog_test import stop_with_parent


class Rsyslogd:
    """One rsyslogd in the foreground, with its configuration and work folder in folder."""

    def __init__(self, folder, configure):
        self.folder = folder
        self.configure = configure  # work folder -> configuration text
        self.log = os.path.join(folder, "rsyslogd.log")
        self.process = None
        os.makedirs(os.path.join(folder, "work"), exist_ok=True)

    def start(self, ready):
        conf = os.path.join(self.folder, "rsyslog.conf")
        with open(conf, "w") as f:
            f.write(self.configure(os.path.join(self.folder, "work")))
        executable = shutil.which("rsyslogd") or "/usr/sbin/rsyslogd"
        with open(self.log, "ab") as log:
            self.process = subprocess.Popen(
                [executable, "-n", "-C", "-f", conf, "-i", os.path.join(self.folder, "pid")],
                stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                preexec_fn=stop_with_parent)
        wait_for(lambda: self.process.poll() is not None or ready(), 15,
                 "rsyslogd in %s did not start" % self.folder)
        if self.process.poll() is not None:
            raise SystemExit("rsyslogd ended at start:\n" + self.messages())

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(15)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def messages(self):
        return open(self.log, errors="replace").read() if os.path.exists(self.log) else ""


def wait_until(condition, seconds):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.05)
    return True


def wait_for(condition, seconds, failure):
    if not wait_until(condition, seconds):
        raise SystemExit(failure)
