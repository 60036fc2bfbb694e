// The main window's controls and menu items by their names. Control ids are
// 0x1601xxxx and menu-item ids 0x2601xxxx in the order of these lists; the
// layout table and the program's routines both use these names.
#pragma once

#include <cstdint>

#include "abi/tolvar_abi.h"

#define TOLVAR_CONTROLS(X)                                                                          \
    X(选择夹1) X(分组框1) X(超文本浏览框3) X(超文本浏览框2)                                         \
    X(分组框5) X(标签10) X(标签8) X(编辑框3) X(按钮16) X(标签11) X(标签9) X(编辑框4) X(按钮15)     \
    X(标签7) X(时钟1) X(超级链接框1)                                                                \
    X(分组框2) X(标签3) X(编辑框2) X(标签2) X(标签1) X(编辑框1) X(图片框1) X(按钮1) X(分组框3)     \
    X(标签5) X(标签4) X(标签6) X(按钮2) X(分组框4) X(拨打电话) X(按钮3) X(按钮4) X(按钮5) X(按钮6) \
    X(按钮7) X(按钮8) X(按钮9) X(按钮10) X(按钮11) X(按钮14) X(按钮13) X(按钮12)                   \
    X(标签12) X(列表框1) X(标签19) X(标签16) X(按钮18) X(标签13) X(编辑框6) X(标签14) X(编辑框5)   \
    X(标签15) X(按钮17) X(好友)                                                                     \
    X(标签17) X(编辑框7) X(标签18) X(编辑框8) X(按钮19)

// Menu items in the order of the menu tree: each top-level menu, then its items.
#define TOLVAR_MENU_ITEMS(X)                                                                  \
    X(菜单) X(退出)                                                                           \
    X(每周领取) X(领取15分钟)                                                                 \
    X(精彩推荐) X(商城购物) X(靓女商城) X(淘宝皇冠店铺精选) X(机票频道) X(综合频道) X(母婴频道) \
    X(电器城频道) X(秒杀及满立减) X(美容频道) X(韩版衣舍女) X(瘦身官方) X(男装牛逼) X(韩都旗舰店) \
    X(帮助) X(注册帮助)                                                                       \
    X(好友菜单) X(打电话) X(发短信)

namespace tolvar::runtime {

inline constexpr uint32_t kFirstControlId = 0x16010001u;
inline constexpr uint32_t kFirstMenuItemId = 0x26010001u;

enum Control : uint32_t {
    控件之前 = kFirstControlId - 1,
#define TOLVAR_ID(name) name,
    TOLVAR_CONTROLS(TOLVAR_ID)
    控件之后
};
enum MenuItem : uint32_t {
    菜单项之前 = kFirstMenuItemId - 1,
    TOLVAR_MENU_ITEMS(TOLVAR_ID)
    菜单项之后
};
#undef TOLVAR_ID

// The controls whose content is the program's state, by the part they play:
// the routines read and write them under these names, the layout and the
// event bindings under the layout's.
// Page ①, registration.
inline constexpr Control registration_number_box = 编辑框3;
inline constexpr Control voice_code_box = 编辑框4;
inline constexpr Control network_watchdog_timer = 时钟1;
// Page ②, login and calls. The login mark in login_mark_label is the one
// record that a login succeeded; the call and claim buttons are enabled then.
inline constexpr Control login_number_box = 编辑框2;
inline constexpr Control captcha_box = 编辑框1;
inline constexpr Control captcha_picture_box = 图片框1;
inline constexpr Control login_mark_label = 标签1;
inline constexpr Control member_number_label = 标签5;
inline constexpr Control minutes_label = 标签6;
inline constexpr Control call_button = 按钮14;
inline constexpr Control weekly_claim_button = 按钮2;
inline constexpr Control dialled_number_box = 拨打电话;
// Page ③, friends and messages. friend_record_box (hidden) stages a refresh's
// entries before they go to the friend file.
inline constexpr Control friend_list_box = 列表框1;
inline constexpr Control friend_count_label = 标签19;
inline constexpr Control friend_record_box = 好友;
inline constexpr Control friend_number_box = 编辑框6;
inline constexpr Control message_text_box = 编辑框5;
inline constexpr Control message_counter_label = 标签15;
// Page ④, the special edition: the logged-in number and the owner's text.
inline constexpr Control edition_number_box = 编辑框7;
inline constexpr Control edition_owner_box = 编辑框8;

inline constexpr uint32_t kControlCount = 控件之后 - kFirstControlId;
inline constexpr uint32_t kMenuItemCount = 菜单项之后 - kFirstMenuItemId;

// The names as GBK texts, in id order. Defined once, in a GBK-compiled
// source: a name written in a header would be UTF-8 wherever the header is
// compiled without the GBK setting.
extern const char *const kControlNames[kControlCount];
extern const char *const kMenuItemNames[kMenuItemCount];

}  // namespace tolvar::runtime
