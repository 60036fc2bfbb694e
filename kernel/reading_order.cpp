#include "kernel/reading_order.h"

#include <algorithm>
#include <map>
#include <vector>

#include "kernel/control_widgets.h"

namespace tolvar::kernel {

namespace {

// A block of the layout: its place in its container and its controls in order.
struct Block {
    QRect rect;
    std::vector<QWidget *> widgets;
};

// Blocks whose heights overlap form a row; a row is read by columns.
std::vector<QWidget *> in_reading_order(std::vector<Block> blocks) {
    std::stable_sort(blocks.begin(), blocks.end(), [](const Block &a, const Block &b) { return a.rect.top() < b.rect.top(); });
    std::vector<QWidget *> out;
    for (size_t start = 0; start < blocks.size();) {
        size_t end = start + 1;
        int bottom = blocks[start].rect.bottom();
        while (end < blocks.size() && blocks[end].rect.top() <= bottom) bottom = std::max(bottom, blocks[end++].rect.bottom());
        std::stable_sort(blocks.begin() + static_cast<std::ptrdiff_t>(start), blocks.begin() + static_cast<std::ptrdiff_t>(end),
                         [](const Block &a, const Block &b) {
                             return a.rect.left() != b.rect.left() ? a.rect.left() < b.rect.left() : a.rect.top() < b.rect.top();
                         });
        for (size_t i = start; i < end; ++i) out.insert(out.end(), blocks[i].widgets.begin(), blocks[i].widgets.end());
        start = end;
    }
    return out;
}

std::vector<QWidget *> focus_order(QWidget *container, const std::unordered_set<QWidget *> &controls,
                                   std::vector<Block> blocks = {});

Block block_of(QWidget *w, const std::unordered_set<QWidget *> &controls) {
    if (auto *tab = qobject_cast<TabControl *>(w)) {
        Block b{w->geometry(), {tab->bar()}};
        for (int i = 0; i < tab->page_count(); ++i) {
            auto page = focus_order(tab->page(i), controls);
            b.widgets.insert(b.widgets.end(), page.begin(), page.end());
        }
        return b;
    }
    if (w->focusPolicy() & Qt::TabFocus) return {w->geometry(), {w}};
    return {w->geometry(), {}};
}

std::vector<QWidget *> focus_order(QWidget *container, const std::unordered_set<QWidget *> &controls,
                                   std::vector<Block> blocks) {
    std::vector<QWidget *> children, groups;
    for (QWidget *w : container->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (!controls.count(w)) continue;
        (qobject_cast<GroupBox *>(w) ? groups : children).push_back(w);
    }
    // A control placed over a group box's frame is read with that group.
    std::map<QWidget *, std::vector<Block>> inside;
    for (QWidget *w : children) {
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](QWidget *g) { return g->geometry().contains(w->geometry()); });
        Block b = block_of(w, controls);
        if (group == groups.end()) {
            blocks.push_back(std::move(b));
        } else {
            b.rect.translate(-(*group)->pos());
            inside[*group].push_back(std::move(b));
        }
    }
    for (QWidget *g : groups) blocks.push_back({g->geometry(), focus_order(g, controls, std::move(inside[g]))});
    return in_reading_order(std::move(blocks));
}

}  // namespace

void set_reading_order(QWidget *root, const std::unordered_set<QWidget *> &controls) {
    std::vector<QWidget *> chain = focus_order(root, controls);
    for (size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
}

}  // namespace tolvar::kernel
