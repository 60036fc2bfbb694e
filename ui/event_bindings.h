// Which event of which control or menu item runs which routine, the routine
// named as the image names it.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "abi/tolvar_abi.h"

namespace tolvar::ui {

struct EventBinding {
    uint32_t object;  // control, menu item or TOLVAR_WINDOW_OBJECT
    int32_t event;    // TOLVAR_EVENT_*
    std::string_view routine;
};

const std::vector<EventBinding> &event_bindings();

}  // namespace tolvar::ui
