// The window's focus chain in reading order: rows of controls top to bottom,
// and within a row the columns left to right, each column top to bottom; a
// group box is read as one block, with the controls that lie inside its frame.
#pragma once

#include <QWidget>
#include <unordered_set>

namespace tolvar::kernel {

// Chains the focus of the controls below `root` (all of them in `controls`).
void set_reading_order(QWidget *root, const std::unordered_set<QWidget *> &controls);

}  // namespace tolvar::kernel
