#!/usr/bin/env python3
"""Checks the include graph of the tree against the architecture's arrows.

Each folder may include the project folders listed for it and nothing else of
the project; the program's folders include no header of a third-party library
(Qt, PCRE2, libcurl, ICU, ...): only the C++ standard library's, which have
no file extension and no folder, and the few of the C library listed below. Prints every include that breaks a rule and
exits 1 when there is one.
    check_includes.py [SOURCE_DIR]
"""
import pathlib
import re
import sys

PROGRAM = {"runtime", "web", "regex", "ui", "app", "service"}
ALLOWED = {
    "abi": {"abi"},
    "image": {"abi", "image"},
    "runtime": {"abi", "runtime"},
    "loader": {"abi", "loader"},
    "kernel": {"abi", "image", "kernel", "platform"},
    "platform": {"abi", "platform"},
    "tools": {"abi", "image", "tools"} | PROGRAM,
    "server": {"server"},
}
for folder in PROGRAM - {"runtime"}:
    ALLOWED[folder] = {"abi", "runtime", folder}
# The service client exchanges through the web access routine and scans pages
# with the regular-expression object.
ALLOWED["service"] |= {"web", "regex"}

STANDARD = re.compile(r"^[a-z_0-9]+$")  # <string>, <cstdint>, <string_view>
# The C library's own headers a program folder may use: address parsing.
C_LIBRARY = {"arpa/inet.h"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def violations(root):
    for folder, allowed in sorted(ALLOWED.items()):
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in {".h", ".hpp", ".c", ".cpp", ".S"}:
                continue
            text = path.read_text(encoding="utf-8", errors="replace")
            for kind, name in INCLUDE.findall(text):
                top = name.split("/")[0]
                where = path.relative_to(root)
                if kind == '"' and "/" in name and (root / top).is_dir() and top not in allowed:
                    yield f"{where}: includes {name}, but {folder}/ may use only {', '.join(sorted(allowed))}"
                if folder in PROGRAM and kind == "<" and not STANDARD.match(name) and name not in C_LIBRARY:
                    yield (f"{where}: includes <{name}>, a header of a third-party library; "
                           "the program uses the platform through the kernel alone")


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    found = list(violations(root))
    for line in found:
        print(line)
    if not found:
        print("include graph: every folder uses only what it may")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
