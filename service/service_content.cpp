// The service client's part of the image.
#include "runtime/image_content.h"

namespace tolvar::service {

namespace {
const runtime::ImageContent kContent{
    "service",
    {
        // Registration, login and captcha, free calls, minutes.
        "voice_code_request", "registration_confirm", "network_watchdog", "captcha_refresh", "login_submit",
        "free_call_button", "friend_call", "minutes_button", "weekly_claim_menu",
        // Friends and short messages.
        "friend_list_refresh", "friend_list_load", "sms_counter_update", "sms_send",
    },
    {},
    {},
};
const runtime::ContentRegistration kRegistration(kContent);
}  // namespace

}  // namespace tolvar::service
