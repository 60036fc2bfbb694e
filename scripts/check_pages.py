#!/usr/bin/env python3
"""Checks the two advertising pages, app/pages/2.html and app/pages/4.html.

The program writes both pages byte for byte into its folder ("ad/2.html",
"ad/4.html"), so the files here must be exactly right: their byte sizes, GBK
text (gb2312 characters only), CR LF at the end of every line, and the
elements and style rules both pages share plus the body of each.

    scripts/check_pages.py [PAGES_DIR]   check the pages (default: app/pages)
    scripts/check_pages.py --self-test   break each item in a copy of the
                                         pages and make sure its check fails

Exit status 0 when everything holds, 1 otherwise. Standard library only.
"""

import html.parser
import os
import re
import sys
import urllib.parse

SIZES = {"2.html": 3301, "4.html": 1394}
LINK_PARAGRAPHS = 17
NBSP_PARAGRAPHS = 2
DOCTYPE_PUBLIC_ID = "-//W3C//DTD HTML 4.01 Transitional//EN"
# Our own placeholder hosts: every address in the pages lies under example.com.
ADDRESS_HOST = re.compile(r"^([a-z0-9-]+\.)*example\.com$")


class Node:
    def __init__(self, tag, attrs, parent):
        self.tag = tag
        self.attrs = attrs
        self.parent = parent
        self.children = []  # Node or str (text, entities already resolved)

    def text(self):
        return "".join(c if isinstance(c, str) else c.text() for c in self.children)

    def find_all(self, tag):
        for c in self.children:
            if isinstance(c, Node):
                if c.tag == tag:
                    yield c
                yield from c.find_all(tag)

    def own_text(self):
        return "".join(c for c in self.children if isinstance(c, str))

    def elements(self):
        return [c for c in self.children if isinstance(c, Node)]

    def attr(self, name):
        return self.attrs.get(name)


# HTML 4.01 elements without an end tag.
VOID = {"meta", "base", "link", "br", "img", "hr", "input", "col", "area", "param"}


class TreeBuilder(html.parser.HTMLParser):
    """A strict little tree builder: end tags must match what is open."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.root = Node("#document", {}, None)
        self.current = self.root
        self.doctypes = []
        self.errors = []

    def handle_decl(self, decl):
        self.doctypes.append(decl)

    def handle_starttag(self, tag, attrs):
        node = Node(tag, {k: ("" if v is None else v) for k, v in attrs}, self.current)
        self.current.children.append(node)
        if tag not in VOID:
            self.current = node

    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)
        if tag not in VOID:
            self.current = self.current.parent

    def handle_endtag(self, tag):
        if tag in VOID:
            return
        if self.current.tag != tag:
            self.errors.append("end tag </%s> while <%s> is open" % (tag, self.current.tag))
            return
        self.current = self.current.parent

    def handle_data(self, data):
        self.current.children.append(data)

    def close(self):
        super().close()
        if self.current is not self.root:
            self.errors.append("<%s> is never closed" % self.current.tag)


def parse_css(text):
    """{selector: {property: value}} from a plain style block (later rules win)."""
    text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
    rules = {}
    for selectors, body in re.findall(r"([^{}]+)\{([^{}]*)\}", text):
        decls = {}
        for decl in body.split(";"):
            if ":" in decl:
                prop, value = decl.split(":", 1)
                decls[prop.strip().lower()] = re.sub(r"\s+", " ", value.strip().lower())
        for sel in selectors.split(","):
            rules.setdefault(sel.strip().lower(), {}).update(decls)
    return rules


def is_zero(value):
    return value in ("0", "0px")


def is_no_border(value):
    return value in ("0", "0px", "none", "0 none", "none 0")


def is_blue(value):
    return value in ("blue", "#00f", "#0000ff")


class Report:
    def __init__(self, page):
        self.page = page
        self.failures = []  # (check id, message)

    def check(self, check_id, ok, message):
        if not ok:
            self.failures.append((check_id, "%s: %s" % (self.page, message)))
        return ok


def check_address(r, check_id, address):
    parts = urllib.parse.urlsplit(address)
    r.check(check_id, parts.scheme == "http" and ADDRESS_HOST.match(parts.hostname or "") is not None,
            "address %r is not an http address of our own under example.com" % address)


def check_common(r, data, expected_size):
    """Bytes, lines and the head both pages share. Returns the parsed tree or None."""
    r.check("size", len(data) == expected_size, "%d bytes, expected %d" % (len(data), expected_size))
    r.check("crlf", data.endswith(b"\r\n"), "the last line does not end with CR LF")
    bare_lf = len(re.findall(rb"(?<!\r)\n", data))
    bare_cr = len(re.findall(rb"\r(?!\n)", data))
    r.check("crlf", bare_lf == 0, "%d line(s) end with a bare LF" % bare_lf)
    r.check("crlf", bare_cr == 0, "%d bare CR(s)" % bare_cr)
    try:
        text = data.decode("gbk")
    except UnicodeDecodeError as e:
        r.check("encoding", False, "not GBK text: %s" % e)
        return None
    try:
        text.encode("gb2312")
    except UnicodeEncodeError as e:
        r.check("encoding", False, "a character outside gb2312: %s" % e)
    r.check("encoding", b"\0" not in data, "holds a NUL byte")
    r.check("encoding", not text.startswith("\ufeff"), "starts with a byte-order mark")

    builder = TreeBuilder()
    builder.feed(text)
    builder.close()
    for e in builder.errors:
        r.check("structure", False, e)
    doc = builder.root

    r.check("doctype", len(builder.doctypes) == 1 and text.lstrip().upper().startswith("<!DOCTYPE"),
            "expected exactly one doctype, at the start")
    doctype = builder.doctypes[0] if builder.doctypes else ""
    r.check("doctype", re.match(r'(?i)^doctype\s+html\s+public\s+"%s"' % re.escape(DOCTYPE_PUBLIC_ID), doctype)
            is not None, "doctype %r is not HTML 4.01 Transitional" % doctype)

    top = doc.elements()
    if not r.check("structure", len(top) == 1 and top[0].tag == "html", "expected one <html> element"):
        return None
    root = top[0]
    r.check("lang", root.attr("lang") == "zh-cn", 'html lang is %r, expected "zh-cn"' % root.attr("lang"))
    parts = root.elements()
    if not r.check("structure", [e.tag for e in parts] == ["head", "body"], "html must hold head, then body"):
        return None
    head, body = parts
    r.check("structure", not root.own_text().strip(), "text outside head and body")

    metas = list(head.find_all("meta"))

    def meta_equiv(name):
        return [m for m in metas if m.attr("http-equiv") is not None and m.attr("http-equiv").lower() == name]

    def meta_named(name):
        return [m for m in metas if (m.attr("name") or "").lower() == name]

    ctype = meta_equiv("content-type")
    r.check("charset", len(ctype) == 1 and re.fullmatch(r"text/html;\s*charset=gb2312", ctype[0].attr("content") or "", re.I)
            is not None, "expected one content-type meta with charset gb2312")
    xua = meta_equiv("x-ua-compatible")
    r.check("x-ua-compatible", len(xua) == 1 and (xua[0].attr("content") or "") == "IE=EmulateIE7",
            "expected one X-UA-Compatible meta set to IE=EmulateIE7")
    titles = list(head.find_all("title"))
    r.check("title", len(titles) == 1 and titles[0].text() == "Tolvar", "expected the title Tolvar")
    author = meta_named("author")
    r.check("author", len(author) == 1 and (author[0].attr("content") or "").strip() != "",
            "expected one author meta with a value")

    styles = list(head.find_all("style"))
    if r.check("style", len(styles) == 1 and (styles[0].attr("type") or "") == "text/css",
               "expected one text/css style block in the head"):
        css = parse_css(styles[0].text())
        b, p, a, img = (css.get(s, {}) for s in ("body", "p", "a", "img"))
        r.check("style-body", is_zero(b.get("margin", "")), "body margin is not 0")
        r.check("style-body", is_no_border(b.get("border", "")), "body border is not none")
        r.check("style-body", b.get("overflow") == "hidden", "body overflow is not hidden")
        r.check("style-body", b.get("background", b.get("background-color")) == "#d5def2",
                "body background is not #d5def2")
        for prop in ("-moz-user-select", "-webkit-user-select", "-ms-user-select", "user-select"):
            r.check("style-body", b.get(prop) == "none", "body %s is not none" % prop)
        r.check("style-p", p.get("line-height") == "20px", "p line-height is not 20px")
        r.check("style-p", p.get("height") == "20px", "p height is not 20px")
        r.check("style-p", is_zero(p.get("margin", "")), "p margin is not 0")
        r.check("style-p", is_zero(p.get("padding", "")), "p padding is not 0")
        r.check("style-a", a.get("font-size") == "12px", "a font-size is not 12px")
        r.check("style-a", is_blue(a.get("color", "")), "a color is not blue")
        r.check("style-img", is_no_border(img.get("border", "")), "img border is not none")
    else:
        css = {}

    head_scripts = list(head.find_all("script"))
    menu_off = [s for s in head_scripts if re.search(
        r"document\.oncontextmenu\s*=\s*function\s*\(\s*\)\s*\{\s*return\s+false\s*;?\s*\}", s.text())]
    r.check("context-menu", len(head_scripts) == 1 and len(menu_off) == 1 and
            (menu_off[0].attr("type") or "") == "text/javascript",
            "expected one head script turning off the context menu (document.oncontextmenu returning false)")
    bases = list(root.find_all("base"))
    r.check("base", len(bases) == 1 and bases[0].parent is head and bases[0].attr("target") == "_blank"
            and bases[0].attr("href") is None, 'expected one <base target="_blank"> in the head')

    for node in root.find_all("a"):
        check_address(r, "address", node.attr("href") or "")
    for node in root.find_all("script"):
        if node.attr("src") is not None:
            check_address(r, "address", node.attr("src"))
    return doc, head, body, css, metas


def only_nbsp(node):
    return not node.elements() and node.text() == "\u00a0"


def check_page2(r, data):
    parsed = check_common(r, data, SIZES["2.html"])
    if not parsed:
        return
    doc, head, body, css, metas = parsed
    b = css.get("body", {})
    r.check("body-font", b.get("font-size") == "14px", "body font-size is not 14px")
    r.check("body-color", b.get("color") in ("#f00", "#ff0000"), "body color is not #F00")
    r.check("onselectstart", re.fullmatch(r"\s*return\s+false\s*;?\s*", body.attr("onselectstart") or "") is not None,
            "body onselectstart does not return false")
    for name in ("keywords", "description"):
        found = [m for m in metas if (m.attr("name") or "").lower() == name]
        r.check("meta-" + name, len(found) == 1 and found[0].attr("content") == "",
                "expected one empty %s meta" % name)

    r.check("paragraphs", not body.own_text().strip(), "text outside the paragraphs")
    paras = body.elements()
    r.check("paragraphs", all(e.tag == "p" for e in paras), "the body holds elements other than paragraphs")
    paras = [e for e in paras if e.tag == "p"]
    r.check("paragraphs", len(paras) == LINK_PARAGRAPHS + NBSP_PARAGRAPHS,
            "%d paragraphs, expected %d" % (len(paras), LINK_PARAGRAPHS + NBSP_PARAGRAPHS))
    links, tail = paras[:-NBSP_PARAGRAPHS], paras[-NBSP_PARAGRAPHS:]
    r.check("paragraphs", len(links) == LINK_PARAGRAPHS, "%d link paragraphs, expected %d" % (len(links), LINK_PARAGRAPHS))
    for i, p in enumerate(links, 1):
        kids = p.elements()
        ok = (len(kids) == 1 and kids[0].tag == "a" and not kids[0].elements()
              and not p.own_text().strip())
        if not r.check("paragraphs", ok, "paragraph %d does not hold exactly one link" % i):
            continue
        caption = kids[0].text().strip()
        r.check("links", re.search(r"[\u4e00-\u9fff]", caption) is not None,
                "link %d: caption %r has no Chinese text" % (i, caption))
        r.check("links", (kids[0].attr("href") or "").startswith("http://shop.example.com/"),
                "link %d: %r is not a shopping address of ours" % (i, kids[0].attr("href")))
    for i, p in enumerate(tail, len(links) + 1):
        r.check("nbsp", only_nbsp(p), "paragraph %d does not hold only a non-breaking space" % i)
    r.check("links", len(list(doc.find_all("a"))) == LINK_PARAGRAPHS,
            "%d links, expected %d" % (len(list(doc.find_all("a"))), LINK_PARAGRAPHS))
    r.check("scripts", len(list(body.find_all("script"))) == 0, "a script in the body")


def check_page4(r, data):
    parsed = check_common(r, data, SIZES["4.html"])
    if not parsed:
        return
    doc, head, body, css, metas = parsed
    kids = body.elements()
    scripts = [k for k in kids if k.tag == "script"]
    hidden = [k for k in kids if k.tag == "div"
              and re.search(r"(^|;)\s*display\s*:\s*none\s*(;|$)", (k.attr("style") or "").lower())]

    config = scripts[0] if scripts else None
    if r.check("widget-config", config is not None and config.attr("src") is None and kids.index(config) == 0,
               "the body does not begin with the widget's configuration script"):
        code = config.text()

        def setting(pattern):
            return re.search(r"(?m)^\s*var\s+\w*%s\w*\s*=\s*(\"[^\"]*\"|\d+)\s*;\s*$" % pattern, code)

        values = {k: setting(k) for k in ("client", "style", "width", "height", "color")}
        r.check("widget-account", values["client"] is not None and len(values["client"].group(1)) > 2,
                "no account identifier in the widget configuration")
        r.check("widget-style", values["style"] is not None and len(values["style"].group(1)) > 2,
                "no style in the widget configuration")
        r.check("widget-width", values["width"] is not None and values["width"].group(1) == "572",
                "the widget is not 572 pixels wide")
        r.check("widget-height", values["height"] is not None and values["height"].group(1) == "69",
                "the widget is not 69 pixels high")
        r.check("widget-color", values["color"] is not None and values["color"].group(1).upper() == '"#0065FF"',
                "the widget colour is not #0065FF")
    widget = scripts[1] if len(scripts) > 1 else None
    r.check("widget-script", widget is not None and (widget.attr("src") or "").startswith("http://ads.example.com/")
            and not widget.text().strip() and kids.index(widget) == 1,
            "the configuration is not followed by the script element loading the widget")
    r.check("widget-script", len(scripts) == 2, "%d scripts directly in the body, expected 2" % len(scripts))
    if r.check("hidden-block", len(hidden) == 1, "expected one hidden block (display:none)"):
        block = hidden[0]
        r.check("hidden-block", kids.index(block) == len(kids) - 1, "the hidden block is not the last in the body")
        stats = list(block.find_all("script"))
        r.check("statistics", len(stats) == 1 and (stats[0].attr("src") or "").startswith("http://stats.example.com/"),
                "the hidden block does not hold the visitor-statistics script")
        r.check("widget-script", widget is None or kids.index(widget) < kids.index(block),
                "the hidden block comes before the widget script")


CHECKERS = {"2.html": check_page2, "4.html": check_page4}


def check_bytes(name, data):
    r = Report(name)
    CHECKERS[name](r, data)
    return r.failures


def load(pages_dir):
    out = {}
    for name in SIZES:
        with open(os.path.join(pages_dir, name), "rb") as f:
            out[name] = f.read()
    return out


# ---- self-test: each broken copy must fail the check that guards it ------

def same_size(data, old, new):
    """Replaces old by new and pads or trims inside the first address so the
    size stays the same, for breaks that must be caught by their own check."""
    assert old in data, old
    out = data.replace(old, new, 1)
    diff = len(data) - len(out)
    if diff:
        m = re.search(rb'(?:href|src)="http://[a-z.]*example\.com/', out)
        at = m.end()
        out = out[:at] + b"x" * diff + out[at:] if diff > 0 else out[:at] + out[at - diff:]
    assert len(out) == len(data)
    return out


MUTATIONS = [
    # (page, expected failing check, description, function of the bytes)
    ("2.html", "size", "one byte more", lambda d: d[:-2] + b" \r\n"),
    ("4.html", "size", "one byte less", lambda d: d.replace(b"572;", b"572", 1)),
    ("2.html", "crlf", "one CR LF turned into LF", lambda d: d.replace(b"\r\n", b"\n", 1)),
    ("4.html", "crlf", "the last CR LF turned into LF", lambda d: d[:-2] + b"\n"),
    ("2.html", "crlf", "a bare CR", lambda d: same_size(d, b"<body", b"\r<body")),
    ("2.html", "encoding", "an invalid GBK byte", lambda d: same_size(d, "天天".encode("gbk"), b"\xff\xff\xff\xff")),
    ("4.html", "encoding", "a GBK character outside gb2312", lambda d: same_size(d, "免费".encode("gbk"), "免".encode("gbk") + b"\x81\x40")),
    ("2.html", "doctype", "no doctype", lambda d: same_size(d, b"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n", b"")),
    ("4.html", "doctype", "strict doctype", lambda d: same_size(d, b"4.01 Transitional//EN", b"4.01//EN")),
    ("2.html", "lang", "lang en", lambda d: same_size(d, b'lang="zh-cn"', b'lang="en"')),
    ("4.html", "charset", "charset utf-8", lambda d: same_size(d, b"charset=gb2312", b"charset=utf-8")),
    ("2.html", "x-ua-compatible", "IE8 mode", lambda d: same_size(d, b"IE=EmulateIE7", b"IE=EmulateIE8")),
    ("4.html", "x-ua-compatible", "no X-UA-Compatible meta", lambda d: same_size(d, b'<meta http-equiv="X-UA-Compatible" content="IE=EmulateIE7">\r\n', b"")),
    ("2.html", "title", "another title", lambda d: same_size(d, b"<title>Tolvar</title>", b"<title>Tolvar 1</title>")),
    ("4.html", "author", "no author", lambda d: re.sub(rb'<meta name="author" content="[^"]*">\r\n', b"", d)),
    ("2.html", "author", "empty author", lambda d: re.sub(rb'(<meta name="author" content=")[^"]*', rb"\1", d)),
    ("2.html", "style-body", "body margin 1px", lambda d: same_size(d, b"margin:0;border", b"margin:1px;border")),
    ("4.html", "style-body", "body border", lambda d: same_size(d, b"border:none;overflow", b"border:1px solid;overflow")),
    ("2.html", "style-body", "overflow auto", lambda d: same_size(d, b"overflow:hidden", b"overflow:auto")),
    ("4.html", "style-body", "another background", lambda d: same_size(d, b"#d5def2", b"#d5def3")),
    ("2.html", "style-body", "text selection allowed", lambda d: same_size(d, b"-moz-user-select:none", b"-moz-user-select:text")),
    ("4.html", "style-p", "p line-height 22px", lambda d: same_size(d, b"line-height:20px", b"line-height:22px")),
    ("2.html", "style-p", "p height 21px", lambda d: same_size(d, b";height:20px", b";height:21px")),
    ("4.html", "style-p", "p padding 2px", lambda d: same_size(d, b"padding:0;", b"padding:2px;")),
    ("2.html", "style-p", "p margin 1px", lambda d: same_size(d, b"20px;margin:0", b"20px;margin:1px")),
    ("4.html", "style-a", "a 13px", lambda d: same_size(d, b"a{font-size:12px", b"a{font-size:13px")),
    ("2.html", "style-a", "a red", lambda d: same_size(d, b"color:blue", b"color:red")),
    ("4.html", "style-img", "img border", lambda d: same_size(d, b"img{border:none;}", b"img{border:1px;}")),
    ("2.html", "style", "no style block", lambda d: re.sub(rb"<style.*?</style>\r\n", b"", d, flags=re.S)),
    ("4.html", "context-menu", "context menu allowed", lambda d: same_size(d, b"return false;};", b"return true;};")),
    ("2.html", "context-menu", "no head script", lambda d: re.sub(rb"<script.*?</script>\r\n", b"", d, count=1, flags=re.S)),
    ("4.html", "base", "base target _self", lambda d: same_size(d, b'target="_blank"', b'target="_self"')),
    ("2.html", "base", "no base", lambda d: d.replace(b'<base target="_blank">\r\n', b"")),
    ("2.html", "body-font", "body 15px", lambda d: same_size(d, b"font-size:14px", b"font-size:15px")),
    ("2.html", "body-color", "body green", lambda d: same_size(d, b"color:#F00", b"color:#0F0")),
    ("2.html", "onselectstart", "selection allowed", lambda d: same_size(d, b'onselectstart="return false"', b'onselectstart="return true"')),
    ("2.html", "meta-keywords", "keywords filled", lambda d: same_size(d, b'name="keywords" content=""', b'name="keywords" content="x"')),
    ("2.html", "meta-description", "no description", lambda d: d.replace(b'<meta name="description" content="">\r\n', b"")),
    ("2.html", "paragraphs", "a link paragraph deleted", lambda d: re.sub(rb"<p><a [^\r]*</a></p>\r\n", b"", d, count=1)),
    ("2.html", "paragraphs", "two links in one paragraph",
     lambda d: re.sub(rb"</a></p>\r\n<p>(<a )", rb"</a>\1", d, count=1)),
    ("2.html", "paragraphs", "a link paragraph doubled", lambda d: re.sub(rb"(<p><a [^\r]*</a></p>\r\n)", rb"\1\1", d, count=1)),
    ("2.html", "nbsp", "a non-breaking space replaced", lambda d: same_size(d, b"<p>&nbsp;</p>\r\n</body>", b"<p>x</p>\r\n</body>")),
    ("2.html", "paragraphs", "a non-breaking-space paragraph deleted", lambda d: d.replace(b"<p>&nbsp;</p>\r\n", b"", 1)),
    ("2.html", "links", "a caption without Chinese", lambda d: re.sub(rb'(">)[^<]*(</a></p>)', rb"\1shop\2", d, count=1)),
    ("2.html", "address", "a real shop's address", lambda d: same_size(d, b"http://shop.example.com/mall/", b"http://www.taobao.com/mall/")),
    ("2.html", "structure", "an unclosed paragraph", lambda d: same_size(d, b"</a></p>", b"</a>")),
    ("4.html", "widget-width", "widget 573 wide", lambda d: same_size(d, b"572", b"573")),
    ("4.html", "widget-height", "widget 70 high", lambda d: same_size(d, b"= 69;", b"= 70;")),
    ("4.html", "widget-color", "another colour", lambda d: same_size(d, b"#0065FF", b"#0066FF")),
    ("4.html", "widget-account", "no account", lambda d: re.sub(rb'var \w*client\w* = "[^"]*";\r\n', b"", d)),
    ("4.html", "widget-style", "no style setting", lambda d: re.sub(rb'var \w*style\w* = "[^"]*";\r\n', b"", d)),
    ("4.html", "widget-config", "no configuration script",
     lambda d: re.sub(rb'<body>\r\n<script type="text/javascript">\r\n.*?</script>\r\n', b"<body>\r\n", d, flags=re.S)),
    ("4.html", "widget-script", "no widget script", lambda d: re.sub(rb'<script type="text/javascript" src="http://ads[^\r]*\r\n', b"", d)),
    ("4.html", "address", "a real network's widget", lambda d: same_size(d, b"http://ads.example.com/", b"http://ads.doubleclick.net/")),
    ("4.html", "hidden-block", "the block shown", lambda d: same_size(d, b"display:none", b"display:block")),
    ("4.html", "hidden-block", "no hidden block", lambda d: re.sub(rb'<div style="display:none">.*?</div>\r\n', b"", d, flags=re.S)),
    ("4.html", "statistics", "no statistics script", lambda d: re.sub(rb'(<div style="display:none">\r\n)<script[^\r]*\r\n', rb"\1", d)),
]


def self_test(pages_dir):
    pages = load(pages_dir)
    bad = 0
    for name, data in pages.items():
        failures = check_bytes(name, data)
        if failures:
            print("self-test needs good pages first; %s fails:" % name)
            for _, msg in failures:
                print("  " + msg)
            return 1
    for name, check_id, what, mutate in MUTATIONS:
        broken = mutate(pages[name])
        if broken == pages[name]:
            print("FAIL  %s: %s: the break changed nothing" % (name, what))
            bad += 1
            continue
        failed = {cid for cid, _ in check_bytes(name, broken)}
        ok = check_id in failed
        print("%s  %s: %s -> %s" % ("ok  " if ok else "FAIL", name, what, ", ".join(sorted(failed)) or "passed"))
        bad += not ok
    print("%d of %d breaks caught" % (len(MUTATIONS) - bad, len(MUTATIONS)))
    return 1 if bad else 0


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    args = [a for a in argv[1:] if a != "--self-test"]
    pages_dir = args[0] if args else os.path.join(here, os.pardir, "app", "pages")
    if "--self-test" in argv[1:]:
        return self_test(pages_dir)
    failures = []
    for name, data in load(pages_dir).items():
        failures += check_bytes(name, data)
    for _, msg in failures:
        print(msg)
    if not failures:
        print("2.html and 4.html: all checks hold")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
