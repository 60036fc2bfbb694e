// Compiled with -fexec-charset=GBK: every quoted text is the window's GBK text.
#include "ui/main_window_layout.h"

namespace tolvar::ui {

namespace {

const Font kDigitFont{-29, 700, 0, "Times New Roman"};
const Font kNumberFont{-29, 400, 0, "Times New Roman"};
const Font kDialFont{-19, 700, 134, "黑体"};
const Font kClearFont{-16, 700, 134, "宋体"};
const Font kNoticeFont{-19, 400, 134, "宋体"};

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kMaroon = RGB(128, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kNavy = RGB(0, 0, 128);

constexpr uint32_t W = TOLVAR_MAIN_WINDOW;
constexpr int32_t kNoPage = -1;

// Options written the way the tables read: opt("caption").color(kRed).
struct opt {
    Options o;
    explicit opt(const char *text = "") { o.text = text; }
    opt &color(COLORREF c) { o.text_color = c; return *this; }
    opt &font(const Font &f) { o.font = f; return *this; }
    opt &max_length(uint32_t n) { o.max_length = n; return *this; }
    opt &multiline() { o.multiline = true; return *this; }
    opt &border(uint32_t b) { o.border = b; return *this; }
    opt &label_style(uint32_t s) { o.label_style = s; return *this; }
    opt &centred() { o.alignment = 1; return *this; }
    opt &named(const char *n) { o.accessible_name = n; return *this; }
    opt &enter(Control button) { o.enter_button = button; return *this; }
    opt &pages(std::vector<const char *> p) { o.pages = std::move(p); return *this; }
    operator Options() const { return o; }
};
// Edit boxes: sunken frame (border style 1) unless a row says otherwise.
opt edit(const char *text = "") { return opt(text).border(1); }

ControlLayout hidden(ControlLayout c) { c.hidden = true; return c; }
ControlLayout disabled(ControlLayout c) { c.disabled = true; return c; }

std::vector<ControlLayout> make_controls() {
    using K = Kind;
    return {
        // On the window.
        {选择夹1, K::tab, W, kNoPage, 0, 8, 544, 376,
         opt().pages({"① 第一步 注册", "② 第二步 打电话", "③ 免费发短信", "④ 邀请好友"}).named("功能页")},
        {分组框1, K::group, W, kNoPage, 552, 9, 176, 447, opt("重点推荐").color(kRed)},
        {超文本浏览框3, K::html, 分组框1, kNoPage, 6, 16, 165, 423, opt().named("重点推荐")},
        {超文本浏览框2, K::html, W, kNoPage, 2, 392, 544, 70, opt().named("推荐广告")},

        // Page 0: registration.
        {分组框5, K::group, 选择夹1, 0, 40, 40, 472, 304, opt("★手机免费注册★").color(kMaroon)},
        {标签10, K::label, 分组框5, kNoPage, 64, 19, 216, 24, opt("① 第一步：填写手机号码，点击提交！").color(kRed)},
        {标签8, K::label, 分组框5, kNoPage, 67, 56, 61, 32, opt("手机号码：")},
        {编辑框3, K::edit, 分组框5, kNoPage, 136, 56, 152, 32, edit("填写手机号码").named("注册手机号码").enter(按钮16)},
        {按钮16, K::button, 分组框5, kNoPage, 304, 56, 96, 32, opt("提交")},
        {标签11, K::label, 分组框5, kNoPage, 64, 102, 216, 24, opt("② 第二步：填写语音验证码！").color(kRed)},
        {标签9, K::label, 分组框5, kNoPage, 56, 137, 80, 32, opt("语音验证码：")},
        {编辑框4, K::edit, 分组框5, kNoPage, 136, 137, 152, 32, edit("语音验证码").named("语音验证码").enter(按钮15)},
        {按钮15, K::button, 分组框5, kNoPage, 136, 183, 152, 48, opt("注册")},
        {标签7, K::label, 分组框5, kNoPage, 16, 247, 432, 48,
         opt("本软件，只限★接听免费用户★---->★使用★\r\n如果你手机接电话收费，请勿使用！！！").color(kBlue).font(kNoticeFont)},
        hidden({时钟1, K::timer, 分组框5, kNoPage, 400, 24, 56, 40, opt().named("网络提醒计时")}),
        hidden({超级链接框1, K::hyperlink, 分组框5, kNoPage, 400, 160, 48, 40, opt().named("帮助链接")}),

        // Page 1: login, user status, dial pad.
        {分组框2, K::group, 选择夹1, 1, 16, 32, 240, 176, opt("★登录★").color(kRed)},
        {标签3, K::label, 分组框2, kNoPage, 8, 32, 48, 24, opt("手机号：")},
        {编辑框2, K::edit, 分组框2, kNoPage, 54, 32, 88, 27, edit().max_length(11).border(5).named("登录手机号")},
        {标签2, K::label, 分组框2, kNoPage, 8, 72, 48, 24, opt("验证码：")},
        {标签1, K::label, 分组框2, kNoPage, 8, 144, 168, 24, opt(" 请输入验证码").color(kBlue).label_style(5)},
        {编辑框1, K::edit, 选择夹1, 1, 70, 106, 88, 27, edit().border(5).named("验证码").enter(按钮1)},
        {图片框1, K::picture, 选择夹1, 1, 168, 106, 58, 28, opt().border(5).named("验证码图片")},
        {按钮1, K::button, 选择夹1, 1, 70, 138, 88, 32, opt("登录")},
        {分组框3, K::group, 选择夹1, 1, 16, 215, 240, 151, opt("用户状态：").color(kRed)},
        {标签5, K::label, 分组框3, kNoPage, 32, 17, 168, 24, opt("用户号码：").color(kBlue).label_style(5)},
        {标签4, K::label, 分组框3, kNoPage, 32, 48, 168, 24, opt("用户组：普通会员").color(kBlue).label_style(5)},
        {标签6, K::label, 分组框3, kNoPage, 32, 80, 168, 24, opt("免费通话时间还剩：  分钟").color(kBlue).label_style(5)},
        disabled({按钮2, K::button, 分组框3, kNoPage, 32, 113, 168, 32, opt("每周免费领取话费")}),
        {分组框4, K::group, 选择夹1, 1, 264, 32, 272, 336, opt("★拨打电话★").color(kRed)},
        {拨打电话, K::edit, 分组框4, kNoPage, 24, 28, 224, 40, edit().font(kNumberFont).color(kBlue).centred().named("拨打号码")},
        {按钮3, K::button, 分组框4, kNoPage, 24, 88, 64, 40, opt("1").font(kDigitFont)},
        {按钮4, K::button, 分组框4, kNoPage, 104, 88, 64, 40, opt("2").font(kDigitFont)},
        {按钮5, K::button, 分组框4, kNoPage, 184, 88, 64, 40, opt("3").font(kDigitFont)},
        {按钮6, K::button, 分组框4, kNoPage, 24, 152, 64, 40, opt("4").font(kDigitFont)},
        {按钮7, K::button, 分组框4, kNoPage, 104, 152, 64, 40, opt("5").font(kDigitFont)},
        {按钮8, K::button, 分组框4, kNoPage, 184, 152, 64, 40, opt("6").font(kDigitFont)},
        {按钮9, K::button, 分组框4, kNoPage, 24, 211, 64, 40, opt("7").font(kDigitFont)},
        {按钮10, K::button, 分组框4, kNoPage, 104, 210, 64, 40, opt("8").font(kDigitFont)},
        {按钮11, K::button, 分组框4, kNoPage, 184, 208, 64, 40, opt("9").font(kDigitFont)},
        {按钮14, K::button, 分组框4, kNoPage, 24, 271, 64, 40, opt("拨打").font(kDialFont)},
        {按钮13, K::button, 分组框4, kNoPage, 104, 272, 64, 40, opt("0").font(kDigitFont)},
        {按钮12, K::button, 分组框4, kNoPage, 184, 272, 64, 40, opt("清除").font(kClearFont)},

        // Page 2: short messages.
        {标签12, K::label, 选择夹1, 2, 368, 24, 56, 24, opt("好友列表:").color(kNavy)},
        {列表框1, K::list, 选择夹1, 2, 328, 48, 152, 240, opt().named("好友列表")},
        {标签19, K::label, 选择夹1, 2, 328, 294, 152, 24, opt().color(kRed).label_style(5)},
        {标签16, K::label, 选择夹1, 2, 328, 296, 152, 24, opt().color(kRed)},
        {按钮18, K::button, 选择夹1, 2, 333, 326, 136, 32, opt("刷新好友")},
        {标签13, K::label, 选择夹1, 2, 40, 72, 56, 32, opt("朋友号码：").color(kNavy)},
        disabled({编辑框6, K::edit, 选择夹1, 2, 104, 72, 176, 32, edit("点击好友列表。。。。").named("朋友号码")}),
        {标签14, K::label, 选择夹1, 2, 40, 144, 64, 48, opt("短信内容：").color(kBlue)},
        {编辑框5, K::edit, 选择夹1, 2, 104, 120, 176, 96, edit().multiline().max_length(60).named("短信内容")},
        {标签15, K::label, 选择夹1, 2, 104, 224, 152, 24, opt("限60个字符！！！").color(kRed)},
        {按钮17, K::button, 选择夹1, 2, 107, 256, 160, 40, opt("发送短信")},
        hidden({好友, K::edit, 选择夹1, 2, 32, 48, 104, 272, edit().multiline().named("好友记录")}),

        // Page 3: invitations and the special edition.
        {标签17, K::label, 选择夹1, 3, 72, 112, 64, 40, opt("手机号码：").color(kMaroon)},
        disabled({编辑框7, K::edit, 选择夹1, 3, 144, 112, 280, 40, edit().named("专版手机号码")}),
        {标签18, K::label, 选择夹1, 3, 72, 168, 64, 32, opt("专有版权：").color(kMaroon)},
        {编辑框8, K::edit, 选择夹1, 3, 144, 168, 280, 40, edit().named("专有版权")},
        {按钮19, K::button, 选择夹1, 3, 136, 240, 296, 72, opt("点击生成专版程序！！！！！")},
    };
}

}  // namespace

const char *default_title() { return "Tolvar V 1.5版 每周领取15分钟  无限发短信 ★限★：接听免费的用户使用！！！"; }

const WindowLayout &window_layout() {
    static const WindowLayout window{default_title(), 50, 50, 740, 510};
    return window;
}

const std::vector<ControlLayout> &control_layouts() {
    static const std::vector<ControlLayout> controls = make_controls();
    return controls;
}

const std::vector<MenuLayout> &menu_layouts() {
    static const std::vector<MenuLayout> menus = {
        {菜单, 0, false, "菜单"},
        {退出, 1, false, "退出"},
        {每周领取, 0, false, "每周领取"},
        {领取15分钟, 1, false, "领取15分钟"},
        {精彩推荐, 0, false, "精彩推荐"},
        {商城购物, 1, false, "商城购物"},
        {靓女商城, 1, false, "靓女商城"},
        {淘宝皇冠店铺精选, 1, false, "淘宝皇冠店铺精选"},
        {机票频道, 1, false, "机票频道"},
        {综合频道, 1, false, "综合频道"},
        {母婴频道, 1, false, "母婴频道"},
        {电器城频道, 1, false, "电器城频道"},
        {秒杀及满立减, 1, false, "秒杀及满立减"},
        {美容频道, 1, false, "美容频道"},
        {韩版衣舍女, 1, false, "韩版衣舍(女)"},
        {瘦身官方, 1, false, "瘦身官方"},
        {男装牛逼, 1, false, "男装牛逼"},
        {韩都旗舰店, 1, false, "韩都旗舰店"},
        {帮助, 0, false, "帮助"},
        {注册帮助, 1, false, "注册帮助"},
        {好友菜单, 0, true, "好友菜单"},
        {打电话, 1, false, "打电话"},
        {发短信, 1, false, "发短信"},
    };
    return menus;
}

}  // namespace tolvar::ui
