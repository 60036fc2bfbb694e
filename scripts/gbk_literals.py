#!/usr/bin/env python3
"""Quoted texts as GBK bytes for a compiler without GBK as its execution
character set (clang): every non-ASCII character inside an ordinary string or
character literal becomes \\xHH escapes of its GBK bytes, as GCC's
-fexec-charset=GBK stores it; identifiers, comments and u8/u/U/L literals stay
as they are. Run on preprocessed code, so that texts made by the preprocessor
(a stringized name) are converted as well.

    gbk_literals.py SOURCE OUTPUT
"""
import re
import subprocess
import sys

TOKEN = re.compile(
    r"""(?P<comment>//[^\n]*|/\*.*?\*/)
      | (?P<raw>\b(?:u8|u|U|L)?R"(?P<delim>[^()\\\s"]{0,16})\(.*?\)(?P=delim)")
      | (?P<prefixed>\b(?:u8|u|U|L)(?:"(?:[^"\\\n]|\\.)*"|'(?:[^'\\\n]|\\.)*'))
      | (?P<number>\.?\d(?:[eEpP][+-]|'(?=\w)|[\w.])*)
      | (?P<word>[A-Za-z_\x80-\U0010FFFF][\w\x80-\U0010FFFF]*)
      | (?P<string>"(?:[^"\\\n]|\\.)*")
      | (?P<char>'(?:[^'\\\n]|\\.)*')
    """,
    re.S | re.X,
)
HEX_DIGITS = set("0123456789abcdefABCDEF")


def gbk_table(characters):
    """GBK bytes of each character from the system's iconv, the converter GCC
    itself uses, so that both compilers agree byte for byte."""
    characters = sorted(characters)
    if not characters:
        return {}
    done = subprocess.run(["iconv", "-f", "UTF-8", "-t", "GBK"], input="\n".join(characters).encode(),
                          capture_output=True)
    if done.returncode != 0:
        raise SystemExit("gbk_literals: a quoted character has no GBK form: " + done.stderr.decode())
    return dict(zip(characters, done.stdout.split(b"\n")))


def escaped(literal, table):
    quote, out, after_escape = literal[0], [], False
    for ch in literal[1:-1]:
        if ord(ch) > 0x7F:
            out.append("".join("\\x%02X" % b for b in table[ch]))
            after_escape = True
            continue
        if after_escape and ch in HEX_DIGITS:
            if quote != '"':
                raise SystemExit("gbk_literals: a hex digit follows a converted character in a character literal")
            out.append('" "')  # ends the escape; the two literals are joined again
        out.append(ch)
        after_escape = False
    return quote + "".join(out) + quote


def convert(text):
    literals = [m for m in TOKEN.finditer(text) if m.lastgroup in ("string", "char")]
    for m in TOKEN.finditer(text):
        if m.lastgroup == "raw" and m.group(0)[0] == "R" and not m.group(0).isascii():
            raise SystemExit("gbk_literals: a raw string holds non-ASCII text; write it as an ordinary one")
    table = gbk_table({ch for m in literals for ch in m.group(0) if ord(ch) > 0x7F})
    out, at = [], 0
    for m in literals:
        out.append(text[at:m.start()])
        out.append(escaped(m.group(0), table) if not m.group(0).isascii() else m.group(0))
        at = m.end()
    out.append(text[at:])
    return "".join(out)


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        text = f.read()
    with open(sys.argv[2], "w", encoding="utf-8") as f:
        f.write(convert(text))


if __name__ == "__main__":
    main()
