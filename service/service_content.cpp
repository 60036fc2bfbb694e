// The service client's part of the image.
#include "runtime/image_content.h"

namespace tolvar::service {

namespace {
const runtime::ImageContent kContent{
    "service",
    {
        // Friends and short messages.
        "friend_list_refresh", "friend_list_load", "sms_counter_update", "sms_send",
    },
    {},
    {}};
const runtime::ContentRegistration kRegistration(kContent);
}  // namespace

}  // namespace tolvar::service
