#include "ui/event_bindings.h"

#include "runtime/controls.h"

namespace tolvar::ui {

const std::vector<EventBinding> &event_bindings() {
    using namespace tolvar::runtime;
    constexpr int32_t kEventMain = TOLVAR_EVENT_MAIN, kEventFocus = TOLVAR_EVENT_FOCUS;
    constexpr int32_t kEventRightButton = TOLVAR_EVENT_RIGHT_BUTTON;
    static const std::vector<EventBinding> bindings = {
        {TOLVAR_WINDOW_OBJECT, kEventMain, "main_window_start_up"},
        {编辑框3, kEventFocus, "hint_clear_and_ad_pages"},
        {编辑框4, kEventFocus, "hint_clear_edit4"},
        {按钮3, kEventMain, "dial_digit_1"},
        {按钮4, kEventMain, "dial_digit_2"},
        {按钮5, kEventMain, "dial_digit_3"},
        {按钮6, kEventMain, "dial_digit_4"},
        {按钮7, kEventMain, "dial_digit_5"},
        {按钮8, kEventMain, "dial_digit_6"},
        {按钮9, kEventMain, "dial_digit_7"},
        {按钮10, kEventMain, "dial_digit_8"},
        {按钮11, kEventMain, "dial_digit_9"},
        {按钮13, kEventMain, "dial_digit_0"},
        {按钮12, kEventMain, "dial_clear"},
        {编辑框2, kEventFocus, "ad_page_writer"},
        {按钮19, kEventMain, "special_edition_make"},
        {列表框1, kEventRightButton, "friend_menu_popup"},
        {退出, kEventMain, "exit_command"},
        {商城购物, kEventMain, "shopping_link_1"},
        {靓女商城, kEventMain, "shopping_link_2"},
        {淘宝皇冠店铺精选, kEventMain, "shopping_link_3"},
        {机票频道, kEventMain, "shopping_link_4"},
        {综合频道, kEventMain, "shopping_link_5"},
        {母婴频道, kEventMain, "shopping_link_6"},
        {电器城频道, kEventMain, "shopping_link_7"},
        {秒杀及满立减, kEventMain, "shopping_link_8"},
        {美容频道, kEventMain, "shopping_link_9"},
        {韩版衣舍女, kEventMain, "shopping_link_10"},
        {瘦身官方, kEventMain, "shopping_link_11"},
        {男装牛逼, kEventMain, "shopping_link_12"},
        {韩都旗舰店, kEventMain, "shopping_link_10"},
        {注册帮助, kEventMain, "help_page_open"},
        // Registration, login and captcha, free calls, minutes.
        {按钮16, kEventMain, "voice_code_request"},
        {按钮15, kEventMain, "registration_confirm"},
        {时钟1, kEventMain, "network_watchdog"},
        {编辑框1, kEventFocus, "captcha_refresh"},
        {按钮1, kEventMain, "login_submit"},
        {按钮14, kEventMain, "free_call_button"},
        {按钮2, kEventMain, "minutes_button"},
        {领取15分钟, kEventMain, "weekly_claim_menu"},
        {打电话, kEventMain, "friend_call"},
        // Friends and short messages.
        {按钮18, kEventMain, "friend_list_refresh"},
        {选择夹1, TOLVAR_EVENT_PAGE_CHANGED, "friend_list_load"},
        {编辑框5, kEventMain, "sms_counter_update"},
        {按钮17, kEventMain, "sms_send"},
        {发短信, kEventMain, "sms_send"},
    };
    return bindings;
}

}  // namespace tolvar::ui
