#!/usr/bin/env python3
"""Checks the skin assets/44.she, a Qt style sheet, for what the window needs.

    scripts/check_skin.py [FILE]
    scripts/check_skin.py --self-test   break the sheet in a copy and make sure
                                        each break is caught

The window's layout gives captions their own colours (red, blue, maroon and
navy labels and group-box titles, the blue number box) and some controls
their own fonts (the dial pad, the notice text). The sheet must leave those
alone: no text colour on labels, group boxes and their titles, enabled edit
boxes or every widget at once, and no font on any control. A disabled button,
edit box and list must be drawn in a colour of their own, so that they look
greyed. Exit status 0 when everything holds, 1 otherwise.
"""

import os
import re
import sys

# Type selectors whose text colour comes from the layout. A rule matching
# subclasses (a plain type name) reaches every label or group box.
CAPTION_TYPES = {"QLabel", "QGroupBox", "QLineEdit", "QPlainTextEdit", "QTextEdit", "QFrame", "QWidget", "*",
                 "QAbstractScrollArea"}
FONT_PROPS = {"font", "font-size", "font-family", "font-weight", "font-style"}
CONTROL_TYPES = {"QPushButton", "QAbstractButton", "QLabel", "QLineEdit", "QPlainTextEdit", "QTextEdit", "QFrame",
                 "QWidget", "*", "QGroupBox", "QListWidget", "QListView", "QAbstractItemView", "QAbstractScrollArea",
                 "QMainWindow"}
MUST_GREY = ["QPushButton", "QLineEdit", "QPlainTextEdit"]


def rules(text):
    """[(selector, {property: value})], comments dropped."""
    text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
    out = []
    for selectors, body in re.findall(r"([^{}]+)\{([^{}]*)\}", text):
        decls = {}
        for decl in body.split(";"):
            if ":" in decl:
                prop, value = decl.split(":", 1)
                decls[prop.strip().lower()] = value.strip()
        for sel in selectors.split(","):
            out.append((" ".join(sel.split()), decls))
    return out


def last_compound(selector):
    """The part of a selector that picks the widget itself (after the last combinator)."""
    return re.split(r"\s*[ >]\s*", selector.strip())[-1]


def type_of(compound):
    m = re.match(r"^(\.?)([A-Za-z_][\w-]*|\*)", compound)
    if not m:
        return None, False
    return m.group(2), m.group(1) == "."  # exact-class selector when it starts with "."


def check(text):
    errors = []
    if text.count("{") != text.count("}"):
        errors.append("braces do not pair up")
    rs = rules(text)
    if not rs:
        errors.append("no rules")
    for sel, decls in rs:
        compound = last_compound(sel)
        typ, exact = type_of(compound)
        pseudo = re.findall(r":(?!:)([\w-]+)", compound)
        sub = re.search(r"::([\w-]+)", compound)
        if typ is None:
            continue
        if "color" in decls:
            if typ in CAPTION_TYPES and not exact and "disabled" not in pseudo:
                # A group box's title subcontrol is its caption as well.
                what = "%s::%s" % (typ, sub.group(1)) if sub else typ
                errors.append("%r sets a text colour on every %s: the layout's caption colours would be lost" % (sel, what))
        for prop in FONT_PROPS & set(decls):
            if typ in CONTROL_TYPES and not exact:
                errors.append("%r sets %s: the layout's fonts would be lost" % (sel, prop))
    for typ in MUST_GREY:
        greyed = [d for s, d in rs if type_of(last_compound(s))[0] == typ and ":disabled" in last_compound(s)
                  and "color" in d]
        if not greyed:
            errors.append("no text colour for a disabled %s: it would not look greyed" % typ)
    return errors


MUTATIONS = [
    ("a label colour", lambda s: s + "\nQLabel { color: #202020; }\n"),
    ("a group-box title colour", lambda s: s + "\nQGroupBox::title { color: navy; }\n"),
    ("a group-box colour", lambda s: s + "\nQGroupBox { color: black; }\n"),
    ("every widget's colour", lambda s: s + "\nQWidget { color: #111; }\n"),
    ("an enabled edit box colour", lambda s: s + "\nQLineEdit { color: black; }\n"),
    ("a label colour in a descendant selector", lambda s: s + "\nQMainWindow QLabel { color: red; }\n"),
    ("a button font", lambda s: s + "\nQPushButton { font-size: 12px; }\n"),
    ("a font for everything", lambda s: s + "\n* { font-family: Sans; }\n"),
    ("no colour for a disabled button", lambda s: re.sub(r"(QPushButton:disabled\s*\{[^}]*?)color:[^;]*;", r"\1", s)),
    ("no colour for a disabled edit box", lambda s: re.sub(r"(QLineEdit:disabled, QPlainTextEdit:disabled\s*\{[^}]*?)color:[^;]*;", r"\1", s)),
    ("an unpaired brace", lambda s: s + "\nQMenu {\n"),
]


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    args = [a for a in argv[1:] if a != "--self-test"]
    path = args[0] if args else os.path.join(here, os.pardir, "assets", "44.she")
    try:
        with open(path, "rb") as f:
            text = f.read().decode("utf-8")
    except (OSError, UnicodeDecodeError) as e:
        print("%s: %s" % (path, e))
        return 1
    if "--self-test" in argv[1:]:
        if check(text):
            print("the sheet must pass first: %s" % "; ".join(check(text)))
            return 1
        bad = 0
        for what, mutate in MUTATIONS:
            broken = mutate(text)
            caught = broken != text and bool(check(broken))
            print("%s  %s" % ("ok  " if caught else "FAIL", what))
            bad += not caught
        print("%d of %d breaks caught" % (len(MUTATIONS) - bad, len(MUTATIONS)))
        return 1 if bad else 0
    errors = check(text)
    for e in errors:
        print("%s: %s" % (os.path.basename(path), e))
    if not errors:
        print("%s: all checks hold" % os.path.basename(path))
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
