// The main window's start-up on the real kernel, each run in a fresh program
// folder: the settings file deciding the title and the referrer number, the
// advertising views before and after the pages are written.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QRegularExpression>
#include <QTabBar>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>

#include "runtime/controls.h"
#include "runtime/deployment.h"
#include "runtime/runtime.h"
#include "runtime/window.h"
#include "tests/app/app_support.h"
#include "tests/support/url_recorder.h"

namespace fs = std::filesystem;
using namespace tolvar;
using namespace tolvar::test;

namespace {

struct SettingsCase {
    const char *what;
    std::string content;
    std::string referrer;  // GBK
    QString title;
};

const std::string kNumber = "13912345678";

std::vector<SettingsCase> settings_cases() {
    std::string owner = gbk("小王的店");
    QString owner_title = kEditionPrefix + QString::fromUtf8("小王的店");
    std::string line2_10mb(10 << 20, 'a');
    std::string long_owner;
    for (int i = 0; i < 150; ++i) long_owner += "店";
    return {
        {"an edition", kNumber + "\r\n" + owner + "\r\n", kNumber, owner_title},
        {"the default number", kDefaultNumber + "\r\n" + owner + "\r\n", kDefaultNumber, kDefaultTitle},
        {"an empty line 2", kNumber + "\r\n\r\n", kNumber, kEditionPrefix},
        {"a trailing blank", kDefaultNumber + " \r\n" + owner + "\r\n", kDefaultNumber + " ", owner_title},
        {"a leading blank", " " + kDefaultNumber + "\r\n\r\n", " " + kDefaultNumber, kEditionPrefix},
        {"lines after line 2", kNumber + "\r\n" + owner + "\r\nmore\r\n", kNumber, owner_title},
        {"no CR LF after line 2", kNumber + "\r\n" + owner, kNumber, owner_title},
        {"one line", kNumber + "\r\n", kDefaultNumber, kDefaultTitle},
        {"one line without CR LF", kNumber, kDefaultNumber, kDefaultTitle},
        {"LF line ends only", kNumber + "\n" + owner + "\n", kDefaultNumber, kDefaultTitle},
        {"an empty file", "", kDefaultNumber, kDefaultTitle},
        {"a zero byte in line 1", kNumber + std::string(1, '\0') + "\r\n" + owner + "\r\n", kDefaultNumber,
         kDefaultTitle},
        {"a zero byte in line 2", kNumber + "\r\n" + owner + std::string("\0tail\r\n", 7), kNumber, owner_title},
        // A line 1 that is no number makes the unbranded copy (and says so).
        {"binary bytes", std::string("\x81\r\n\xFE\x01\x7F\r\n\0\r\n\xFF", 12), kDefaultNumber, kDefaultTitle},
        {"a number with a letter", "1391234567a\r\n" + owner + "\r\n", kDefaultNumber, kDefaultTitle},
        {"a form field after the number", kNumber + "&tel=1\r\n" + owner + "\r\n", kDefaultNumber, kDefaultTitle},
        {"four digits", "1391\r\n" + owner + "\r\n", kDefaultNumber, kDefaultTitle},
        {"a 10 MB line 1", std::string(10 << 20, '1') + "\r\n" + owner + "\r\n", kDefaultNumber, kDefaultTitle},
        // The owner text is cut to 200 bytes, a double-byte character kept whole.
        {"a 10 MB line 2", kNumber + "\r\n" + line2_10mb + "\r\n", kNumber, kEditionPrefix + QString(200, 'a')},
        {"a long Chinese line 2", kNumber + "\r\na" + gbk(long_owner.c_str()) + "\r\n", kNumber,
         kEditionPrefix + "a" + QString::fromUtf8(long_owner.c_str()).left(99)},
        {"a 10 MB line without CR LF", std::string(10 << 20, '1'), kDefaultNumber, kDefaultTitle},
    };
}

TEST(StartUp, WithoutASettingsFileTheCopyIsUnbranded) {
    ScratchDir folder;
    bool own_copy = false;
    StartUp seen = run_in(folder.path(), [&](QWidget *) {
        // The program's own heap text, which the clean-up may release, not the constant.
        own_copy = runtime::globals().referrer_number.get() != runtime::const_text(runtime::kDefaultNumber);
    });
    EXPECT_EQ(kDefaultTitle, seen.title);
    EXPECT_EQ(kDefaultNumber, seen.referrer);
    EXPECT_TRUE(own_copy);
    EXPECT_EQ(nullptr, runtime::globals().referrer_number);  // released by the clean-up
    EXPECT_FALSE(fs::exists(folder.path() / "connig.ini"));
}

TEST(StartUp, TheSettingsFileDecidesTheTitleAndTheReferrerNumber) {
    for (const SettingsCase &c : settings_cases()) {
        SCOPED_TRACE(c.what);
        ScratchDir folder;
        write_file(folder.path() / "connig.ini", c.content);
        StartUp seen = run_in(folder.path());
        EXPECT_EQ(c.referrer, seen.referrer);
        if (c.title.isNull()) {
            EXPECT_TRUE(seen.title.startsWith(kEditionPrefix)) << seen.title.left(80).toStdString();
        } else {
            EXPECT_EQ(c.title.size(), seen.title.size());
            EXPECT_TRUE(c.title == seen.title) << seen.title.left(80).toStdString();
        }
        EXPECT_EQ(nullptr, runtime::globals().referrer_number);
    }
}

TEST(StartUp, ASettingsFolderInPlaceOfTheFileCountsAsNoFile) {
    ScratchDir folder;
    fs::create_directory(folder.path() / "connig.ini");
    StartUp seen = run_in(folder.path());
    EXPECT_EQ(kDefaultTitle, seen.title);
    EXPECT_EQ(kDefaultNumber, seen.referrer);
}

// The pages as the repository holds them: text and links a reader sees.
struct Link {
    QString caption;
    QString href;
};

QByteArray source_page(const char *name) {
    QFile f(QString(TOLVAR_SOURCE_DIR "/app/pages/") + name);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return f.readAll();
}

std::vector<Link> links_of(const QByteArray &page) {
    QString html = from_gbk(page.toStdString());
    static const QRegularExpression link(R"re(<a href="([^"]*)"[^>]*>([^<]*)</a>)re");
    std::vector<Link> out;
    for (auto it = link.globalMatch(html); it.hasNext();) {
        auto m = it.next();
        out.push_back({m.captured(2), QString(m.captured(1)).replace("&amp;", "&")});
    }
    return out;
}

QStringList anchors_of(QTextBrowser *view) {
    QStringList out;
    for (QTextBlock b = view->document()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isAnchor()) out << it.fragment().charFormat().anchorHref();
    return out;
}

void expect_shows(QTextBrowser *view, const char *page) {
    std::vector<Link> links = links_of(source_page(page));
    ASSERT_FALSE(links.empty()) << page;
    QString text = view->toPlainText();
    QStringList anchors = anchors_of(view);
    for (const Link &l : links) {
        EXPECT_TRUE(text.contains(l.caption)) << page << ": " << l.caption.toStdString();
        EXPECT_TRUE(anchors.contains(l.href)) << page << ": " << l.href.toStdString();
    }
    // Nothing of the head (title, style rules, scripts) shows as text.
    EXPECT_FALSE(text.contains("function")) << page;
    EXPECT_FALSE(text.contains("{")) << page;
}

void show_page(QWidget *w, int page) { w->findChild<QTabBar *>()->setCurrentIndex(page); }

TEST(StartUp, TheViewsPointAtThePagesWhichAFocusOfTheLoginBoxWrites) {
    ScratchDir folder;
    const fs::path ad = folder.path() / "ad";
    run_in(folder.path(), [&](QWidget *w) {
        auto *strip = find<QTextBrowser>(w, "超文本浏览框2");
        auto *tall = find<QTextBrowser>(w, "超文本浏览框3");
        EXPECT_EQ((folder.path() / "ad/4.html").string(), runtime::text_view(runtime::address_of(runtime::超文本浏览框2)));
        EXPECT_EQ((folder.path() / "ad/2.html").string(), runtime::text_view(runtime::address_of(runtime::超文本浏览框3)));
        // First run: the start-up does not write the pages.
        EXPECT_FALSE(fs::exists(ad));
        EXPECT_EQ("", strip->toPlainText());
        EXPECT_EQ("", tall->toPlainText());

        show_page(w, 1);
        QTest::mouseClick(find(w, "编辑框2"), Qt::LeftButton);
        EXPECT_EQ(source_page("2.html").toStdString(), read_file(ad / "2.html"));
        EXPECT_EQ(source_page("4.html").toStdString(), read_file(ad / "4.html"));
        EXPECT_EQ(3301u, fs::file_size(ad / "2.html"));
        EXPECT_EQ(1394u, fs::file_size(ad / "4.html"));
        expect_shows(strip, "4.html");
        expect_shows(tall, "2.html");

        // Edits on disk do not survive the next focus, and both views reload.
        write_file(ad / "2.html", "changed");
        fs::remove(ad / "4.html");
        find(w, "编辑框1")->setFocus();
        find(w, "编辑框2")->setFocus();
        EXPECT_EQ(source_page("2.html").toStdString(), read_file(ad / "2.html"));
        EXPECT_EQ(source_page("4.html").toStdString(), read_file(ad / "4.html"));
        expect_shows(tall, "2.html");
    });
}

TEST(StartUp, TheRegistrationBoxIsEmptiedOnEachFocusThenThePagesAreWritten) {
    ScratchDir folder;
    const fs::path page = folder.path() / "ad" / "2.html";
    run_in(folder.path(), [&](QWidget *w) {
        auto *box = find<QLineEdit>(w, "编辑框3");
        auto *tall = find<QTextBrowser>(w, "超文本浏览框3");
        QTest::mouseClick(box, Qt::LeftButton);
        EXPECT_EQ("", box->text());
        EXPECT_EQ(3301u, fs::file_size(page));
        expect_shows(tall, "2.html");
        QTest::keyClicks(box, "13912345678");
        fs::remove(page);
        find(w, "编辑框4")->setFocus();
        EXPECT_FALSE(fs::exists(page));  // 编辑框4 only empties itself
        box->setFocus();
        EXPECT_EQ("", box->text());
        EXPECT_EQ(3301u, fs::file_size(page));
    });
}

TEST(StartUp, APageLinkOpensInTheSystemsBrowser) {
    ScratchDir folder;
    UrlRecorder urls;
    std::vector<Link> links = links_of(source_page("2.html"));
    run_in(folder.path(), [&](QWidget *w) {
        find(w, "编辑框3")->setFocus();
        auto *tall = find<QTextBrowser>(w, "超文本浏览框3");
        QTextCursor at = tall->document()->find(links[0].caption);
        ASSERT_FALSE(at.isNull());
        at.setPosition(at.selectionStart() + 1);
        QPoint point = tall->cursorRect(at).center();
        QTest::mouseClick(tall->viewport(), Qt::LeftButton, {}, point);
    });
    ASSERT_EQ(1, urls.opened.size());
    EXPECT_EQ(QUrl(links[0].href), urls.opened[0]);
}

TEST(StartUp, PagesDeclaringGb2312AreReadAsGbk) {
    // "喆" and "镕" lie outside GB2312 but inside GBK, as browsers read gb2312 pages.
    ScratchDir folder;
    write_file(folder.path() / "page.html",
               "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\"></head><body>" +
                   gbk("喆镕 免费") + "</body></html>");
    run_in(folder.path(), [&](QWidget *w) {
        runtime::set_address(runtime::超文本浏览框2, (folder.path() / "page.html").c_str());
        EXPECT_EQ(QString::fromUtf8("喆镕 免费"), find<QTextBrowser>(w, "超文本浏览框2")->toPlainText());
    });
}

}  // namespace
