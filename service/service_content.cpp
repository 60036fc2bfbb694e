// The service client's part of the image.
#include "runtime/image_content.h"

namespace tolvar::service {

namespace {
const runtime::ImageContent kContent{"service", {}, {}, {}};
const runtime::ContentRegistration kRegistration(kContent);
}  // namespace

}  // namespace tolvar::service
