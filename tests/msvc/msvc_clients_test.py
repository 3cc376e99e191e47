#!/usr/bin/env python3
"""Builds a C and a C++ program the way projects of Microsoft's toolchain would, against
the installed package (clang for x86_64-pc-windows-msvc, lld-link, no C runtime): the C
program with plain compiler and linker commands naming lib/kslog.lib, the C++ program as
a CMake project that finds the package. Both run under wine beside the installed
kslog.dll, and what their callback received is compared with the expected files byte for
byte. Two fields vary from run to run and are matched by form: a hex dump's pointer,
{pointer}, and an elapsed time that stays under ten seconds here, {elapsed}. The macros'
records carry the line numbers of the sources: an edit that moves them changes the
expected files too.

usage: msvc_clients_test.py BUILD_FOLDER CMAKE EMULATOR..."""
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
PLACEHOLDERS = {b"{pointer}": rb"0x[0-9a-f]{16}", b"{elapsed}": rb"\d\.\d{3}"}
COMPILE = ["--target=x86_64-pc-windows-msvc", "-ffreestanding", "-fno-exceptions",
           "-fno-stack-protector", "-O2", "-Wall", "-Wextra", "-Werror", "-pedantic"]


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


def build_c_program(clang, lld_link, prefix, kernel32, work, app):
    objects = os.path.join(work, "client_c.obj")
    program = os.path.join(app, "client_c.exe")
    run([clang] + COMPILE + ["-std=c11", "-I", os.path.join(prefix, "include"), "-c",
                             os.path.join(HERE, "client.c"), "-o", objects])
    run([lld_link, "/nologo", "/nodefaultlib", "/entry:start", "/subsystem:console", objects,
         os.path.join(prefix, "lib", "kslog.lib"), kernel32, "/out:" + program])
    shutil.copy(os.path.join(prefix, "bin", "kslog.dll"), app)
    return program


def build_cpp_program(cmake, clang, prefix, kernel32, work):
    build = os.path.join(work, "consumer")
    run([cmake, "-S", os.path.join(HERE, "consumer"), "-B", build, "-G", "Ninja",
         "-DCMAKE_TOOLCHAIN_FILE=" + os.path.join(HERE, "clang-msvc.cmake"),
         "-DCMAKE_CXX_COMPILER=" + clang, "-DCMAKE_BUILD_TYPE=Release",
         "-DCMAKE_PREFIX_PATH=" + prefix, "-DKERNEL32_LIBRARY=" + kernel32])
    log = run([cmake, "--build", build, "--verbose"]).decode(errors="replace")
    if "kslog.lib" not in log or "kslog.dll.a" in log:
        sys.exit("the package did not hand Microsoft's linker kslog.lib:\n" + log)
    return os.path.join(build, "client_cpp.exe")


def expected_pattern(template):
    parts = re.split(rb"(\{pointer\}|\{elapsed\})", template)
    return re.compile(b"".join(PLACEHOLDERS.get(part, re.escape(part)) for part in parts),
                      re.DOTALL)


def check_program(program, expected_file, emulator):
    # The daemon sink stays quiet: only the callback sink takes records.
    settings = os.path.join(os.path.dirname(program),
                            "ksLog.%s.ini" % os.path.basename(program))
    with open(settings, "w") as file:
        file.write("[ksLogd]\nLevel=Off\n")
    output = run(emulator + [program], timeout=300)
    with open(os.path.join(HERE, expected_file), "rb") as file:
        template = file.read()
    if expected_pattern(template).fullmatch(output):
        return None
    return "%s received:\n%s\nexpected:\n%s" % (os.path.basename(program),
                                                 output.decode(errors="replace"),
                                                 template.decode())


def main():
    build, cmake, emulator = sys.argv[1], sys.argv[2], sys.argv[3:]
    clang = tool("clang", "clang-14")
    lld_link = tool("lld-link", "lld-link-14")
    dlltool = tool("llvm-dlltool", "llvm-dlltool-14")
    work = tempfile.mkdtemp(prefix="kslog-msvc-")
    try:
        prefix = os.path.join(work, "prefix")
        run([cmake, "--install", build, "--prefix", prefix])
        if not os.path.isfile(os.path.join(prefix, "lib", "kslog.lib")):
            sys.exit("the installation holds no lib/kslog.lib")
        kernel32 = os.path.join(work, "kernel32.lib")
        run([dlltool, "-m", "i386:x86-64", "-d", os.path.join(HERE, "kernel32.def"),
             "-l", kernel32])
        app = os.path.join(work, "app")
        os.mkdir(app)
        programs = [(build_c_program(clang, lld_link, prefix, kernel32, work, app),
                     "client.c.expected"),
                    (build_cpp_program(cmake, clang, prefix, kernel32, work),
                     "client.cpp.expected")]
        failures = [failure for failure in (check_program(program, expected, emulator)
                                            for program, expected in programs) if failure]
        if failures:
            sys.exit("\n".join(failures))
        print("both programs received their records")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
