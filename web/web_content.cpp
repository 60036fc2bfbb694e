#include "web/web_content.h"

#include "runtime/image_content.h"

namespace tolvar::web {

namespace {
const runtime::ImageContent kContent{"web", {kEnumWindowCallback}, {kEnumWindowCallback}, {}};
const runtime::ContentRegistration kRegistration(kContent);
}  // namespace

}  // namespace tolvar::web
