#include "service/inputs.h"

#include "runtime/globals.h"
#include "runtime/runtime.h"
#include "runtime/window.h"
#include "service/service_text.h"
#include "web/text_ops.h"

namespace tolvar::service {

std::string box_text(uint32_t control) { return take_text(runtime::text_of(control)); }

std::string trimmed_box_text(uint32_t control) { return web::trim_blanks(box_text(control)); }

std::string referrer_number() { return std::string(runtime::text_view(runtime::globals().referrer_number)); }

}  // namespace tolvar::service
