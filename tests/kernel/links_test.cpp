// Every address the program opens reaches the desktop's opener as one
// argument, untouched by any shell: the shopping links, the help page, the
// eAPI command with hostile characters, and links followed in the HTML views.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QMetaObject>
#include <QTest>
#include <QTextBrowser>
#include <QUrl>
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "runtime/controls.h"
#include "runtime/window.h"
#include "tests/support/kernel_harness.h"
#include "tests/support/process.h"

namespace fs = std::filesystem;
using namespace tolvar;
using namespace tolvar::test;

namespace {

// A fake xdg-open first on PATH that logs each run as one line: the number of
// its arguments, then each argument after a tab, written in one piece. The
// openers run detached, so they may finish in any order: the log is compared
// as a set of runs, never by its order.
class FakeOpener {
public:
    FakeOpener() : log_(dir_.path() / "opened.log") {
        write_file(dir_.path() / "xdg-open", "#!/bin/sh\nline=\"$#\"\nfor a in \"$@\"; do line=\"$line\t$a\"; done\n"
                                             "printf '%s\\n' \"$line\" >> '" + log_.string() + "'\n");
        chmod((dir_.path() / "xdg-open").c_str(), 0755);
        const char *path = std::getenv("PATH");
        old_path_ = path ? path : "";
        setenv("PATH", (dir_.path().string() + ":" + old_path_).c_str(), 1);
    }
    ~FakeOpener() { setenv("PATH", old_path_.c_str(), 1); }
    // The runs once `count` of them are logged (waiting for the openers, up to
    // 20 s on a loaded machine), sorted.
    std::vector<std::string> runs(size_t count) {
        std::vector<std::string> lines;
        (void)QTest::qWaitFor([&] {
            lines.clear();
            std::string text = read_file(log_);
            for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
                lines.push_back(text.substr(at, end - at));
            return lines.size() >= count;
        }, 20000);
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    const fs::path &folder() const { return dir_.path(); }

private:
    ScratchDir dir_;
    fs::path log_;
    std::string old_path_;
};

// The runs expected, one argument each, in the order runs() gives them.
std::vector<std::string> runs_of(std::vector<std::string> addresses) {
    for (auto &a : addresses) a = "1\t" + a;
    std::sort(addresses.begin(), addresses.end());
    return addresses;
}

QAction *menu_item(QWidget *w, const char *name) { return find<QAction>(w, name); }

TEST(Links, AddressesReachTheOpenerAsOneArgumentAndNoShellRunsThem) {
    FakeOpener opener;
    fs::path pwned = opener.folder() / "pwned";
    std::string hostile = "http://shop.example.com/go?a=1;touch$IFS" + pwned.string() + ";b='x'&c=$(id)*!";
    ScratchDir program;
    run_with_window([&](QWidget *w) {
        runtime::open_in_browser(hostile.c_str());
        menu_item(w, "商城购物")->trigger();
        menu_item(w, "注册帮助")->trigger();
        runtime::open_in_browser("http://shop.example.com/say?x=\"quoted\"&y=`id`|z w");
    }, test_image_bytes(), program.path().string());
    std::string help = QUrl::fromLocalFile(QString::fromStdString((program.path() / "使用帮助.html").string()))
                           .toString(QUrl::FullyEncoded)
                           .toStdString();
    // Characters no address may hold arrive in their escaped form, never interpreted.
    EXPECT_EQ(runs_of({hostile, "http://shop.example.com/mall/", help,
                       "http://shop.example.com/say?x=%22quoted%22&y=%60id%60%7Cz%20w"}),
              opener.runs(4));
    EXPECT_FALSE(fs::exists(pwned));
}

TEST(Links, ALinkFollowedInAnHtmlViewOpensInTheBrowserAndTheViewStays) {
    FakeOpener opener;
    ScratchDir program;
    write_file(program.path() / "page.html", "<html><body><a href='next.html'>next</a></body></html>");
    std::string page = (program.path() / "page.html").string();
    QUrl before;
    run_with_window([&](QWidget *w) {
        runtime::set_address(runtime::超文本浏览框3, page.c_str());
        auto *view = find<QTextBrowser>(w, "超文本浏览框3");
        before = view->source();
        QMetaObject::invokeMethod(view, "anchorClicked", Q_ARG(QUrl, QUrl("next.html")));
        QMetaObject::invokeMethod(view, "anchorClicked", Q_ARG(QUrl, QUrl("http://ads.example.com/c?id=1&r='x'")));
        EXPECT_EQ(before, view->source());
    }, test_image_bytes(), program.path().string());
    std::string next = QUrl::fromLocalFile(QString::fromStdString((program.path() / "next.html").string())).toString().toStdString();
    EXPECT_EQ(runs_of({next, "http://ads.example.com/c?id=1&r='x'"}), opener.runs(2));
}

}  // namespace
