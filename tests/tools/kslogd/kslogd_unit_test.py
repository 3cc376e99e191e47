#!/usr/bin/env python3
"""Checks the systemd unit that is installed with kslogd: its settings, and, where
systemd-analyze exists, that systemd accepts it (with the built program in ExecStart,
since the installed one may not exist yet).

usage: kslogd_unit_test.py UNIT KSLOGD"""
import os
import shutil
import subprocess
import sys
import tempfile


def read_unit(text):
    """Sections of key=value lines; a key given twice keeps every value."""
    sections, current = {}, None
    for line in text.splitlines():
        line = line.strip()
        if not line or line.startswith(("#", ";")):
            continue
        if line.startswith("[") and line.endswith("]"):
            current = sections.setdefault(line[1:-1], {})
            continue
        assert current is not None and "=" in line, "not a unit line: %r" % line
        key, value = line.split("=", 1)
        current.setdefault(key.strip(), []).append(value.strip())
    return sections


def check_settings(sections):
    service = sections["Service"]
    program, *arguments = service["ExecStart"][0].split()
    assert os.path.isabs(program) and program.endswith("/kslogd"), program
    assert arguments == ["--listen", "127.0.0.1:12222", "--out", "/var/log/kslog"], arguments
    assert service["ExecReload"] == ["/bin/kill -HUP $MAINPID"], service["ExecReload"]
    assert service["LogsDirectory"] == ["kslog"]
    assert service["DynamicUser"] == ["yes"]
    assert "KillSignal" not in service  # SIGTERM: kslogd stores what it received, then exits
    assert sections["Install"]["WantedBy"] == ["multi-user.target"]
    return program


def check_with_systemd(text, program, kslogd):
    analyze = shutil.which("systemd-analyze")
    if not analyze:
        print("systemd-analyze not found: the unit was only parsed")
        return
    with tempfile.TemporaryDirectory() as work:
        unit = os.path.join(work, "kslogd.service")
        with open(unit, "w") as file:
            file.write(text.replace(program, os.path.abspath(kslogd)))
        result = subprocess.run([analyze, "verify", unit], capture_output=True, text=True,
                                timeout=120)
    about_unit = [line for line in (result.stdout + result.stderr).splitlines()
                  if "kslogd.service" in line]
    assert result.returncode == 0 and not about_unit, result


def main():
    unit, kslogd = sys.argv[1:3]
    with open(unit) as file:
        text = file.read()
    program = check_settings(read_unit(text))
    check_with_systemd(text, program, kslogd)
    print("ok: the systemd unit")
    return 0


if __name__ == "__main__":
    sys.exit(main())
