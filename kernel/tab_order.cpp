#include "kernel/tab_order.h"

#include <unordered_set>
#include <vector>

#include "abi/tolvar_abi.h"
#include "kernel/control_widgets.h"

namespace tolvar::kernel {

namespace {

struct Walk {
    const image::Form &form;
    const std::function<QWidget *(uint32_t)> &widget_of;
    std::unordered_set<uint32_t> seen;  // each control once, however a damaged form lists it
    std::vector<QWidget *> chain;
};

void collect(Walk &walk, uint32_t id) {
    const image::FormObject *record = walk.form.find(id);
    QWidget *w = walk.widget_of(id);
    if (!record || !w || !walk.seen.insert(id).second) return;
    std::vector<QWidget *> &chain = walk.chain;
    if (auto *tab = qobject_cast<TabControl *>(w)) chain.push_back(tab->bar());
    else if (!qobject_cast<GroupBox *>(w) && (w->focusPolicy() & Qt::TabFocus)) chain.push_back(w);
    for (uint32_t child : record->children)
        if (child != 0) collect(walk, child);  // 0 ends a tab page
}

}  // namespace

void set_tab_order(const image::Form &form, const std::function<QWidget *(uint32_t)> &widget_of) {
    const image::FormObject *window = form.find(TOLVAR_WINDOW_OBJECT);
    if (!window) return;
    Walk walk{form, widget_of, {}, {}};
    for (uint32_t child : window->children) collect(walk, child);
    const std::vector<QWidget *> &chain = walk.chain;
    for (size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
}

}  // namespace tolvar::kernel
