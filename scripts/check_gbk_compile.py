#!/usr/bin/env python3
"""Checks that gbk_compile.py gives the texts GCC's -fexec-charset=GBK gives:
a source with every kind of text the converter must tell apart, and the
program's own sources named on the command line, are compiled to assembly by
g++ both ways, and the two must be the same.

    check_gbk_compile.py SOURCE_ROOT [PROGRAM_SOURCE...]
"""
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))

TRICKY = r'''
#define NAME(x) #x
const char *stringized = NAME(列表框1);
const char *hex_after = "成功1a" "失败F";
const char *escapes = "\x41号\t\"引号\"\\";
const char8_t *u8_text = u8"不变";
const char16_t *wide_text = u"宽";
const char *raw_text = R"(plain "raw" text)";
int separated = 5'000'000;
char single = 'x';
// 注释 "不是文本" 'nor this
/* 块注释 "也不是" */
const char *after_comments = "之后";
int 中文名 = 1;
'''


def assembly(command):
    done = subprocess.run(command, capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit("compile failed: " + " ".join(command) + "\n" + done.stderr)
    with open(command[command.index("-o") + 1]) as f:
        return [line for line in f if not line.lstrip().startswith(".file")]


def same_texts(root, source, scratch):
    flags = ["-std=c++20", "-O0", "-g0", "-I", root, "-S"]
    gcc = assembly(["g++", *flags, "-fexec-charset=GBK", "-o", os.path.join(scratch, "gcc.s"), "-c", source])
    ours = assembly([sys.executable, os.path.join(HERE, "gbk_compile.py"), "g++", *flags,
                     "-o", os.path.join(scratch, "ours.s"), "-c", source])
    return gcc == ours


def main():
    root = os.path.abspath(sys.argv[1])
    failures = 0
    with tempfile.TemporaryDirectory() as scratch:
        tricky = os.path.join(scratch, "tricky.cpp")
        with open(tricky, "w", encoding="utf-8") as f:
            f.write(TRICKY)
        for source in [tricky] + [os.path.join(root, s) for s in sys.argv[2:]]:
            ok = same_texts(root, source, scratch)
            name = "texts of every kind" if source == tricky else os.path.relpath(source, root)
            print(("same   " if ok else "DIFFER ") + name)
            failures += not ok
    print(f"{len(sys.argv) - 1 - failures} passed, {failures} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
