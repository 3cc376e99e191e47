#!/usr/bin/env python3
"""Compiles a file that includes nothing but ksLog.h, as C and as C++ in several language
versions, with each compiler given, warnings as errors: the header must bring everything
it uses itself.

usage: header_alone_test.py INCLUDE_FOLDER (c|c++) COMPILER [ARGUMENT...] [-- (c|c++) ...]"""
import os
import subprocess
import sys
import tempfile

STANDARDS = {"c": ["c99", "c11", "c17"], "c++": ["c++11", "c++17", "c++20"]}
WARNINGS = ["-Wall", "-Wextra", "-pedantic", "-Werror"]


def compilers(arguments):
    group = []
    for argument in arguments + ["--"]:
        if argument == "--":
            if group:
                yield group[0], group[1:]
            group = []
        else:
            group.append(argument)


def main():
    include = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory() as work:
        for language, command in compilers(sys.argv[2:]):
            source = os.path.join(work, "alone." + ("c" if language == "c" else "cpp"))
            with open(source, "w") as file:
                file.write('#include "ksLog.h"\n')
            for standard in STANDARDS[language]:
                run = subprocess.run(command + ["-std=" + standard] + WARNINGS +
                                     ["-fsyntax-only", "-I", include, source],
                                     capture_output=True, text=True)
                label = "%s -std=%s" % (" ".join(command), standard)
                print("%s: %s" % (label, "ok" if run.returncode == 0 else "FAILED"))
                if run.returncode != 0:
                    failures.append(label + "\n" + run.stderr)
    if failures:
        sys.exit("\n".join(failures))


if __name__ == "__main__":
    main()
