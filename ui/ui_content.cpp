// Compiled with -fexec-charset=GBK: the help file's name is a GBK text.
#include "ui/ui_content.h"

namespace tolvar::ui {

using runtime::Constant;
using runtime::ConstantKind;

const Constant kHelpFile{ConstantKind::text, "/使用帮助.html"};

const Constant kShoppingLinks[12] = {
    {ConstantKind::text, "http://shop.example.com/mall/"},
    {ConstantKind::text, "http://shop.example.com/girls/"},
    {ConstantKind::text, "http://shop.example.com/crown-shops/"},
    {ConstantKind::text, "http://shop.example.com/channel/flights/"},
    {ConstantKind::text, "http://shop.example.com/channel/all/"},
    {ConstantKind::text, "http://shop.example.com/channel/baby/"},
    {ConstantKind::text, "http://shop.example.com/channel/appliances/"},
    {ConstantKind::text, "http://shop.example.com/channel/deals/"},
    {ConstantKind::text, "http://shop.example.com/channel/beauty/"},
    {ConstantKind::text, "http://shop.example.com/click?shop=korean-fashion"},
    {ConstantKind::text, "http://shop.example.com/click?shop=slimming"},
    {ConstantKind::text, "http://shop.example.com/click?shop=menswear"},
};

namespace {

std::vector<const Constant *> constants() {
    std::vector<const Constant *> out{&kHelpFile};
    for (const Constant &link : kShoppingLinks) out.push_back(&link);
    return out;
}

const runtime::ImageContent kContent{
    "ui",
    {"dial_digit_0", "dial_digit_1", "dial_digit_2", "dial_digit_3", "dial_digit_4", "dial_digit_5",
     "dial_digit_6", "dial_digit_7", "dial_digit_8", "dial_digit_9", "dial_clear", "hint_clear_edit4",
     "friend_menu_popup", "exit_command", "help_page_open", "shopping_link_1",
     "shopping_link_2", "shopping_link_3", "shopping_link_4", "shopping_link_5", "shopping_link_6",
     "shopping_link_7", "shopping_link_8", "shopping_link_9", "shopping_link_10", "shopping_link_11",
     "shopping_link_12"},
    {},
    constants(),
};
const runtime::ContentRegistration kRegistration(kContent);

}  // namespace

}  // namespace tolvar::ui
