#!/usr/bin/env python3
"""Builds a C and a C++ program the way a project of Microsoft's toolchain would (clang
for x86_64-pc-windows-msvc, lld-link, no C runtime) against the installed kslog.lib and
header, runs them under wine beside the installed kslog.dll, and compares what their
callback received with the expected files byte for byte. Two fields vary from run to run
and are matched by form: a hex dump's pointer, {pointer}, and an elapsed time that stays
under ten seconds here, {elapsed}. The macros' records carry the line numbers of the
sources: an edit that moves them changes the expected files too.

usage: msvc_clients_test.py BUILD_FOLDER CMAKE EMULATOR..."""
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
PROGRAMS = [("client.c", ["-std=c11"]), ("client.cpp", ["-std=c++17", "-fno-rtti"])]
PLACEHOLDERS = {b"{pointer}": rb"0x[0-9a-f]{16}", b"{elapsed}": rb"\d\.\d{3}"}


def tool(*names):
    for name in names:
        path = shutil.which(name)
        if path:
            return path
    sys.exit("missing tool: %s (scripts/setup.sh installs it)" % names[0])


def run(command, **options):
    result = subprocess.run(command, capture_output=True, **options)
    if result.returncode != 0:
        sys.exit("failed: %s\n%s%s" % (" ".join(command), result.stdout.decode(errors="replace"),
                                       result.stderr.decode(errors="replace")))
    return result.stdout


def expected_pattern(template):
    parts = re.split(rb"(\{pointer\}|\{elapsed\})", template)
    return re.compile(b"".join(PLACEHOLDERS.get(part, re.escape(part)) for part in parts),
                      re.DOTALL)


def main():
    build, cmake, emulator = sys.argv[1], sys.argv[2], sys.argv[3:]
    clang = tool("clang", "clang-14")
    lld_link = tool("lld-link", "lld-link-14")
    dlltool = tool("llvm-dlltool", "llvm-dlltool-14")
    work = tempfile.mkdtemp(prefix="kslog-msvc-")
    try:
        prefix = os.path.join(work, "prefix")
        run([cmake, "--install", build, "--prefix", prefix])
        import_library = os.path.join(prefix, "lib", "kslog.lib")
        if not os.path.isfile(import_library):
            sys.exit("the installation holds no lib/kslog.lib")
        kernel32 = os.path.join(work, "kernel32.lib")
        run([dlltool, "-m", "i386:x86-64", "-d", os.path.join(HERE, "kernel32.def"),
             "-l", kernel32])
        app = os.path.join(work, "app")
        os.mkdir(app)
        shutil.copy(os.path.join(prefix, "bin", "kslog.dll"), app)
        failures = []
        for source, flags in PROGRAMS:
            name = source.replace(".", "_") + ".exe"
            program = os.path.join(app, name)
            objects = os.path.join(work, name + ".obj")
            run([clang, "--target=x86_64-pc-windows-msvc", "-ffreestanding", "-fno-exceptions",
                 "-fno-stack-protector", "-O2", "-Wall", "-Wextra", "-Werror", "-pedantic"] +
                flags + ["-I", os.path.join(prefix, "include"), "-c",
                         os.path.join(HERE, source), "-o", objects])
            run([lld_link, "/nologo", "/nodefaultlib", "/entry:start", "/subsystem:console",
                 objects, import_library, kernel32, "/out:" + program])
            # The daemon sink stays quiet: only the callback sink takes records.
            with open(os.path.join(app, "ksLog.%s.ini" % name), "w") as settings:
                settings.write("[ksLogd]\nLevel=Off\n")
            output = run(emulator + [program], timeout=300)
            with open(os.path.join(HERE, source + ".expected"), "rb") as expected:
                template = expected.read()
            if not expected_pattern(template).fullmatch(output):
                failures.append("%s received:\n%s\nexpected:\n%s" % (
                    source, output.decode(errors="replace"), template.decode()))
        if failures:
            sys.exit("\n".join(failures))
        print("both programs received their records")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
