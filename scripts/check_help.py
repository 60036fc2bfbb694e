#!/usr/bin/env python3
"""Checks the help page assets/使用帮助.html.

    scripts/check_help.py [FILE]

UTF-8 text with its charset declared first in the head, an HTML5 doctype,
elements properly nested and closed, unique ids and in-page links that lead
somewhere, and the texts a user looks for: every message the program shows
and every file it keeps. Exit status 0 when everything holds, 1 otherwise.
Standard library only.
"""

import html.parser
import os
import re
import sys

# Every message box text the program can show, exactly as shown.
MESSAGES = [
    "请稍等,语音验证码将在5分钟内以电话语音的方式告诉你，请将听到的数字填入框中！！",
    "请检查你的网络是否正常！！！！",
    "注册成功！！！",
    "语音验证码错误，或者手机号码错误！！",
    "登录失败！请确认注册了！或者验证码输入正确！！",
    "呼叫成功！！正在处理！！请耐心等待5~60秒！",
    "呼叫失败！请重试！！",
    "你还未登录，或者未注册！！",
    "你还没有登录！！",
    "领取成功！！！",
    "对不起！这周已经领取了！！！",
    "领取失败！请重试！！",
    "请选择，给哪个朋友发哦！！",
    "你还没有写内容哦！！！！",
    "发送成功！！！",
    "你还未登录，或者注册！！",
    "专版程序！！制作完成！！请将本目录下所有程序压缩打包！发给您的好朋友！",
]
# Captions the steps name, and the files the program keeps.
CAPTIONS = ["① 第一步 注册", "② 第二步 打电话", "③ 免费发短信", "④ 邀请好友", "提交", "注册", "登录", "拨打",
            "清除", "每周免费领取话费", "刷新好友", "发送短信", "打电话", "发短信", "专有版权",
            "点击生成专版程序！！！！！", "每周领取", "领取15分钟", "精彩推荐", "帮助", "注册帮助", "退出"]
FILES = ["connig.ini", "hao.txt", "ad/2.html", "ad/4.html", "44.she", "使用帮助.html",
         "~/.local/share/Corvane/WinINet/cookies.txt"]

VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source", "track", "wbr"}
# Presentational elements HTML5 no longer has.
OBSOLETE = {"font", "center", "big", "tt", "strike", "frame", "frameset", "marquee", "acronym"}


class Checker(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.errors = []
        self.stack = []
        self.doctypes = []
        self.ids = []
        self.anchors = []
        self.head_first = None  # first element inside <head>
        self.charset = None
        self.lang = None
        self.title = ""
        self.text = []
        self.tags = []

    def where(self):
        return "line %d" % self.getpos()[0]

    def handle_decl(self, decl):
        self.doctypes.append(decl)

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        self.tags.append(tag)
        if tag in OBSOLETE:
            self.errors.append("%s: obsolete element <%s>" % (self.where(), tag))
        if self.stack and self.stack[-1] == "head" and self.head_first is None:
            self.head_first = (tag, a)
        if tag == "html":
            self.lang = a.get("lang")
        if tag == "meta" and "charset" in a:
            self.charset = a["charset"]
        if "id" in a:
            self.ids.append(a["id"])
        if tag == "a" and (a.get("href") or "").startswith("#"):
            self.anchors.append(a["href"][1:])
        if tag == "p" and self.stack and self.stack[-1] == "p":
            self.errors.append("%s: <p> inside <p>" % self.where())
        if tag not in VOID:
            self.stack.append(tag)

    def handle_startendtag(self, tag, attrs):
        if tag not in VOID:
            self.errors.append("%s: <%s/> is not an empty element" % (self.where(), tag))
        self.handle_starttag(tag, attrs)
        if tag not in VOID and self.stack and self.stack[-1] == tag:
            self.stack.pop()

    def handle_endtag(self, tag):
        if tag in VOID:
            self.errors.append("%s: end tag for empty element <%s>" % (self.where(), tag))
            return
        if not self.stack or self.stack[-1] != tag:
            self.errors.append("%s: </%s> while <%s> is open" % (self.where(), tag, self.stack[-1] if self.stack else "nothing"))
            if tag in self.stack:
                while self.stack.pop() != tag:
                    pass
            return
        self.stack.pop()

    def handle_data(self, data):
        if self.stack and self.stack[-1] == "title":
            self.title += data
        if "style" not in self.stack:
            self.text.append(data)


def check(path):
    errors = []
    with open(path, "rb") as f:
        data = f.read()
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as e:
        return ["not UTF-8: %s" % e]
    if text.startswith("\ufeff"):
        errors.append("starts with a byte-order mark")
    c = Checker()
    c.feed(text)
    c.close()
    errors += c.errors
    if c.stack:
        errors.append("never closed: %s" % ", ".join("<%s>" % t for t in c.stack))
    if len(c.doctypes) != 1 or c.doctypes[0].lower() != "doctype html" or not text.lower().startswith("<!doctype html>"):
        errors.append("expected the HTML5 doctype <!DOCTYPE html> at the start")
    if (c.charset or "").lower() != "utf-8":
        errors.append('expected <meta charset="utf-8">')
    if not c.head_first or c.head_first[0] != "meta" or "charset" not in c.head_first[1]:
        errors.append("the charset meta is not the first element of the head")
    if not (c.lang or "").lower().startswith("zh"):
        errors.append("html lang is %r, expected Chinese" % c.lang)
    if not c.title.strip():
        errors.append("no title")
    if c.tags.count("html") != 1 or c.tags.count("head") != 1 or c.tags.count("body") != 1:
        errors.append("expected one html, head and body element")
    if "style" not in c.tags:
        errors.append("no embedded stylesheet")
    dupes = sorted({i for i in c.ids if c.ids.count(i) > 1})
    if dupes:
        errors.append("ids used twice: %s" % ", ".join(dupes))
    for target in c.anchors:
        if target not in c.ids:
            errors.append("in-page link #%s leads nowhere" % target)
    body_text = "".join(c.text)
    for want, kind in [(m, "message") for m in MESSAGES] + [(x, "caption") for x in CAPTIONS] + [(x, "file") for x in FILES]:
        if want not in body_text:
            errors.append("the %s %r is not explained" % (kind, want))
    if not re.search(r"60\s*个字节", body_text):
        errors.append("the 60-byte limit of a message is not explained")
    return errors


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    path = argv[1] if len(argv) > 1 else os.path.join(here, os.pardir, "assets", "使用帮助.html")
    errors = check(path)
    for e in errors:
        print("%s: %s" % (os.path.basename(path), e))
    if not errors:
        print("%s: all checks hold" % os.path.basename(path))
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
