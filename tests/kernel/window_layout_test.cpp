// The window the kernel builds from the form section, walked widget by widget:
// each control's record is derived again from its widget and compared with the
// record in the image.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTabBar>

#include "image/control_options.h"
#include "image/form_format.h"
#include "image/image_reader.h"
#include "tests/support/kernel_harness.h"
#include "tests/support/process.h"

using namespace tolvar;
using namespace tolvar::test;

namespace {

std::map<QString, uint32_t> kind_of_class = {
    {"tolvar::kernel::TabControl", TOLVAR_TYPE_ID_TAB},     {"tolvar::kernel::GroupBox", TOLVAR_TYPE_ID_GROUP},
    {"tolvar::kernel::Label", TOLVAR_TYPE_ID_LABEL},        {"tolvar::kernel::Button", TOLVAR_TYPE_ID_BUTTON},
    {"tolvar::kernel::EditBox", TOLVAR_TYPE_ID_EDIT},       {"tolvar::kernel::MultiLineEditBox", TOLVAR_TYPE_ID_EDIT},
    {"tolvar::kernel::ListBox", TOLVAR_TYPE_ID_LIST},       {"tolvar::kernel::PictureBox", TOLVAR_TYPE_ID_PICTURE},
    {"tolvar::kernel::HyperlinkBox", TOLVAR_TYPE_ID_HYPERLINK}, {"tolvar::kernel::TimerControl", TOLVAR_TYPE_ID_TIMER},
    {"tolvar::kernel::HtmlView", TOLVAR_TYPE_ID_HTML_VIEW},
};

image::Form stored_form() {
    auto read = read_ok(test_image_bytes());
    std::string error;
    auto form = image::read_form(read.image.sections[image::kForm].data, error);
    EXPECT_TRUE(form) << error;
    return form.value_or(image::Form{});
}

uint32_t colorref(const QColor &c) { return RGB(c.red(), c.green(), c.blue()); }

// The widget's own idea of what its record said.
struct Derived {
    uint32_t type = 0;
    QString parent;
    int page = -1;
    QRect geometry;
    bool visible = false, disabled = false, focusable = false;
    QString text;
    uint32_t color = 0;
    int max_length = 0;
    bool multiline = false;
    Qt::Alignment alignment;
    QStringList pages;
    QFont font;
};

Derived derive(QWidget *w) {
    Derived d;
    d.type = kind_of_class[w->metaObject()->className()];
    QWidget *parent = w->parentWidget();
    if (parent->objectName().startsWith("page")) {
        d.page = parent->objectName().mid(4).toInt();
        parent = parent->parentWidget();
    }
    d.parent = parent->objectName();
    d.geometry = w->geometry();
    d.visible = !w->isHidden();
    d.disabled = !w->isEnabled();
    d.focusable = w->focusPolicy() != Qt::NoFocus;
    d.font = w->font();
    if (auto *l = qobject_cast<QLineEdit *>(w)) {
        d.text = l->text();
        d.max_length = l->maxLength() == 32767 ? 0 : l->maxLength();
        d.alignment = l->alignment() & Qt::AlignHorizontal_Mask;
        d.color = colorref(l->palette().color(QPalette::Active, QPalette::Text));
    } else if (auto *e = qobject_cast<QPlainTextEdit *>(w)) {
        d.text = e->toPlainText();
        d.multiline = true;
        d.max_length = e->property("maxLength").isValid() ? e->property("maxLength").toInt() : 0;
        d.color = colorref(e->palette().color(QPalette::Active, QPalette::Text));
    } else if (auto *l = qobject_cast<QLabel *>(w)) {
        d.text = l->text();
        d.color = colorref(l->palette().color(QPalette::Active, QPalette::WindowText));
    } else if (auto *b = qobject_cast<QAbstractButton *>(w)) {
        d.text = b->text();
        d.color = colorref(b->palette().color(QPalette::Active, QPalette::ButtonText));
    } else if (auto *g = qobject_cast<QGroupBox *>(w)) {
        d.text = g->title();
        d.color = colorref(g->palette().color(QPalette::Active, QPalette::WindowText));
    }
    if (auto *bar = w->findChild<QTabBar *>(QString(), Qt::FindDirectChildrenOnly))
        for (int i = 0; i < bar->count(); ++i) d.pages << bar->tabText(i);
    return d;
}

QColor color_of(uint32_t colorref) { return QColor(colorref & 0xFF, (colorref >> 8) & 0xFF, (colorref >> 16) & 0xFF); }

// A layout colour is shown as it is, or, where it would not read on the
// light background, as the same colour a little darker: same hue and
// saturation, its value lowered by at most a fifth.
void expect_shown_as(uint32_t layout, uint32_t shown) {
    if (layout == shown) return;
    QColor want = color_of(layout), got = color_of(shown);
    EXPECT_EQ(want.hsvHue(), got.hsvHue());
    EXPECT_EQ(want.hsvSaturation(), got.hsvSaturation());
    EXPECT_LT(got.value(), want.value());
    EXPECT_GE(got.value(), want.value() * 80 / 100);
}

TEST(WindowLayout, EveryControlRecordIsReDerivedFromItsWidget) {
    image::Form form = stored_form();
    int checked = 0;
    ScratchDir folder;  // no skin beside the program: the colours are the layout's
    run_with_window([&](QWidget *window) {
        for (const auto &record : form.objects) {
            if (record.id == TOLVAR_WINDOW_OBJECT || record.is_menu_item()) continue;
            QString name = from_gbk(record.name);
            SCOPED_TRACE(name.toStdString());
            QWidget *w = window->findChild<QWidget *>(name);
            ASSERT_NE(nullptr, w);
            Derived d = derive(w);
            auto options = *image::read_control_options(record.options);
            EXPECT_EQ(record.type_id, d.type);
            const image::FormObject *parent = form.find(record.parent);
            EXPECT_EQ(parent ? from_gbk(parent->name) : QString("client"), d.parent);
            if (parent && parent->type_id == TOLVAR_TYPE_ID_TAB) {
                int page = 0;
                for (uint32_t c : parent->children) {
                    if (c == record.id) break;
                    page += c == 0;
                }
                EXPECT_EQ(page, d.page);
            }
            EXPECT_EQ(QRect(record.left, record.top, record.width, record.height), d.geometry);
            if (record.type_id != TOLVAR_TYPE_ID_TAB) {
                EXPECT_EQ(bool(record.flags & image::kFlagVisible), d.visible);
                EXPECT_EQ(bool(record.flags & image::kFlagFocusable), d.focusable);
            }
            EXPECT_EQ(bool(record.flags & image::kFlagDisabled), d.disabled);
            EXPECT_EQ(from_gbk(options.text).replace("\r\n", "\n"), d.text);
            expect_shown_as(options.text_color == image::kDefaultColor ? 0u : options.text_color, d.color);
            EXPECT_EQ(bool(options.multiline), d.multiline);
            if (record.type_id == TOLVAR_TYPE_ID_EDIT) {
                EXPECT_EQ(static_cast<int>(options.max_length), d.max_length);
                if (!options.multiline) {
                    EXPECT_EQ(options.alignment == 1 ? Qt::AlignHCenter : Qt::AlignLeft, d.alignment);
                }
            }
            QStringList pages;
            for (const auto &p : options.pages) pages << from_gbk(p);
            EXPECT_EQ(pages, d.pages);
            if (options.font) {
                EXPECT_EQ(from_gbk(options.font->face), d.font.family());
                EXPECT_EQ(-options.font->height, d.font.pixelSize());
                EXPECT_EQ(options.font->weight >= 600, d.font.bold());
            }
            // Children in record order, a tab control's pages each ended by a 0.
            std::vector<uint32_t> children;
            QList<QWidget *> containers;
            if (record.type_id == TOLVAR_TYPE_ID_TAB) {
                for (int p = 0; p < static_cast<int>(options.pages.size()); ++p)
                    containers << w->findChild<QWidget *>(QString("page%1").arg(p), Qt::FindDirectChildrenOnly);
            } else {
                containers << w;
            }
            for (QWidget *container : containers) {
                for (QObject *child : container->children()) {
                    for (const auto &o : form.objects)
                        if (!o.is_menu_item() && from_gbk(o.name) == child->objectName()) children.push_back(o.id);
                }
                if (record.type_id == TOLVAR_TYPE_ID_TAB) children.push_back(0);
            }
            EXPECT_EQ(record.children, children);
            ++checked;
        }
    }, test_image_bytes(), folder.path().string());
    EXPECT_EQ(60, checked);
}

TEST(WindowLayout, MenusAndWindowMatchTheirRecords) {
    image::Form form = stored_form();
    run_with_window([&](QWidget *window) {
        auto *main = qobject_cast<QMainWindow *>(window);
        ASSERT_NE(nullptr, main);
        QStringList bar;
        for (QAction *a : main->menuBar()->actions()) bar << a->menu()->objectName();
        QStringList top_level, expected_bar;
        int items = 0;
        for (const auto &record : form.objects) {
            if (!record.is_menu_item()) continue;
            ++items;
            QString name = from_gbk(record.name);
            if (record.level == 0) {
                auto *menu = window->findChild<QMenu *>(name);
                ASSERT_NE(nullptr, menu) << name.toStdString();
                EXPECT_EQ(from_gbk(record.caption), menu->title());
                if (!record.hidden) expected_bar << name;
            } else {
                auto *action = window->findChild<QAction *>(name);
                ASSERT_NE(nullptr, action) << name.toStdString();
                EXPECT_EQ(from_gbk(record.caption), action->text());
            }
        }
        EXPECT_EQ(23, items);
        EXPECT_EQ(expected_bar, bar);
        EXPECT_EQ((QStringList{"菜单", "每周领取", "精彩推荐", "帮助"}), bar);
        // "好友菜单" is no part of the menu bar, and holds its two items.
        auto *friends = window->findChild<QMenu *>(QString::fromUtf8("好友菜单"));
        ASSERT_NE(nullptr, friends);
        QStringList friend_items;
        for (QAction *a : friends->actions()) friend_items << a->text();
        EXPECT_EQ((QStringList{"打电话", "发短信"}), friend_items);
        EXPECT_EQ(84u, form.objects.size());
        EXPECT_EQ(QSize(740, 510), window->frameGeometry().size());
    });
}

TEST(WindowLayout, OpensOnTheFirstPageWithHiddenAndDisabledControlsAsLaidOut) {
    run_with_window([](QWidget *w) {
        auto *bar = w->findChild<QTabBar *>();
        ASSERT_NE(nullptr, bar);
        EXPECT_EQ(0, bar->currentIndex());
        EXPECT_TRUE(find(w, "编辑框3")->isVisible());
        EXPECT_FALSE(find(w, "拨打电话")->isVisible());  // on page 1
        for (const char *never_shown : {"好友", "时钟1", "超级链接框1"}) EXPECT_TRUE(find(w, never_shown)->isHidden());
        for (const char *disabled : {"编辑框6", "编辑框7", "按钮2"}) EXPECT_FALSE(find(w, disabled)->isEnabled());
        bar->setCurrentIndex(2);
        EXPECT_TRUE(find(w, "列表框1")->isVisible());
        EXPECT_FALSE(find(w, "编辑框3")->isVisible());
        EXPECT_TRUE(find<QLabel>(w, "标签16")->text().isEmpty());
    });
}

}  // namespace
