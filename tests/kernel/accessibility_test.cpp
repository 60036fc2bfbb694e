// What a screen reader meets: every control in the window's accessibility
// tree with a role and a name (the focus order is the keyboard test's).
#include <gtest/gtest.h>

#include <QAccessible>
#include <QLabel>
#include <QTabBar>
#include <iostream>
#include <map>
#include <set>

#include "runtime/controls.h"
#include "tests/support/kernel_harness.h"

using namespace tolvar;
using namespace tolvar::test;

namespace {

// Every object name of the form's controls.
std::set<QString> control_names() {
    std::set<QString> names;
    for (const char *name : runtime::kControlNames) names.insert(from_gbk(name));
    return names;
}

// Page ④ opens only after a login: the login mark, as a login leaves it.
void log_in(QWidget *w) { find<QLabel>(w, "标签1")->setText(QString::fromUtf8("登录成功！！")); }

// Walks the tree from the window, collecting each control's role and name.
void walk(QAccessibleInterface *node, const std::set<QString> &controls,
          std::map<QString, std::pair<QAccessible::Role, QString>> &found, int depth = 0) {
    if (!node || depth > 40) return;
    QObject *object = node->object();
    if (object && controls.count(object->objectName()))
        found.emplace(object->objectName(), std::make_pair(node->role(), node->text(QAccessible::Name)));
    for (int i = 0; i < node->childCount(); ++i) walk(node->child(i), controls, found, depth + 1);
}

TEST(Accessibility, EveryShownControlHasARoleAndANameInTheTree) {
    run_with_window([](QWidget *w) {
        auto controls = control_names();
        std::map<QString, std::pair<QAccessible::Role, QString>> found;
        log_in(w);
        for (int page = 0; page < 4; ++page) {
            w->findChild<QTabBar *>()->setCurrentIndex(page);
            walk(QAccessible::queryAccessibleInterface(w), controls, found);
        }
        // Never shown: the timer, the hidden hyperlink box and the friend store.
        for (const char *hidden : {"时钟1", "超级链接框1", "好友"}) controls.erase(QString::fromUtf8(hidden));
        for (const QString &name : controls) {
            auto it = found.find(name);
            if (it == found.end()) {
                ADD_FAILURE() << name.toStdString() << " is not in the accessibility tree";
                continue;
            }
            std::cout << name.toStdString() << "\trole " << it->second.first << "\t" << it->second.second.toStdString()
                      << "\n";
            // Labels may be empty until the program fills them; every other control needs a name.
            if (!name.startsWith(QString::fromUtf8("标签"))) {
                EXPECT_FALSE(it->second.second.trimmed().isEmpty()) << name.toStdString() << " has no name";
            }
        }
        auto name_of = [&](const char *control) { return found[QString::fromUtf8(control)].second; };
        EXPECT_EQ(QString::fromUtf8("验证码"), name_of("编辑框1"));
        EXPECT_EQ(QString::fromUtf8("好友列表"), name_of("列表框1"));
        EXPECT_EQ(QString::fromUtf8("登录"), name_of("按钮1"));
        EXPECT_EQ(QAccessible::EditableText, found[QString::fromUtf8("编辑框2")].first);
    });
}

}  // namespace
