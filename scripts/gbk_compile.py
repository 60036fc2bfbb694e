#!/usr/bin/env python3
"""A compiler launcher for the program's sources under a compiler that lacks
GBK as its execution character set (clang): the source is preprocessed with the
same flags (the dependency file is written then), its quoted texts are turned
into their GBK bytes (gbk_literals.py), and the result is compiled with the
same flags. The object holds the same texts as GCC's -fexec-charset=GBK gives.

    gbk_compile.py COMPILER ARGS... -o OBJECT -c SOURCE
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gbk_literals  # noqa: E402

DEPENDENCY_FLAGS_WITH_VALUE = {"-MT", "-MF", "-MQ"}
DEPENDENCY_FLAGS = {"-MD", "-MMD"}


def main():
    command = sys.argv[1:]
    if "-c" not in command or "-o" not in command:
        os.execvp(command[0], command)
    source = command[command.index("-c") + 1]
    output = command[command.index("-o") + 1]
    if not source.endswith((".cpp", ".cc", ".cxx")):
        os.execvp(command[0], command)
    preprocessed = output + ".ii"
    converted = output + ".gbk.ii"

    first = list(command)
    first[first.index("-c")] = "-E"
    first[first.index("-o") + 1] = preprocessed
    if subprocess.call(first) != 0:
        return 1
    with open(preprocessed, encoding="utf-8") as f:
        text = gbk_literals.convert(f.read())
    with open(converted, "w", encoding="utf-8") as f:
        f.write(text)

    second, skip = [], False
    for arg in command:
        if skip:
            skip = False
        elif arg in DEPENDENCY_FLAGS_WITH_VALUE:
            skip = True
        elif arg not in DEPENDENCY_FLAGS:
            second.append(arg)
    second[second.index("-c") + 1] = converted
    if any("clang" in os.path.basename(arg) for arg in command[:2]):
        # Include paths are spent on the first step; texts split after an
        # escape are joined on purpose.
        second += ["-Wno-unused-command-line-argument", "-Wno-string-concatenation"]
    return subprocess.call(second)


if __name__ == "__main__":
    sys.exit(main())
