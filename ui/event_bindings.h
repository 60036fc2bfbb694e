// Which event of which control or menu item runs which routine.
#pragma once

#include <cstdint>
#include <vector>

#include "image/form_format.h"
#include "image/program_table.h"
#include "ui/layout_ids.h"

namespace tolvar::ui {

struct EventBinding {
    uint32_t object;  // control, menu item or TOLVAR_WINDOW_OBJECT
    int32_t event;    // image::kEventMain, kEventPageChanged, kEventRightButton, kEventFocus
    program::Routine routine;
};

const std::vector<EventBinding> &event_bindings();

}  // namespace tolvar::ui
