// The start-up's and the special edition's part of the image.
#include "runtime/image_content.h"

namespace tolvar::app {

namespace {
const runtime::ImageContent kContent{"app", {}, {}, {}};
const runtime::ContentRegistration kRegistration(kContent);
}  // namespace

}  // namespace tolvar::app
