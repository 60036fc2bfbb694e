// Compiled with -fexec-charset=GBK: the titles are GBK texts.
#include "app/app_content.h"

#include <cstdint>

// The pages' bytes, assembled in from app/pages (ad_pages.S).
extern "C" const char tolvar_ad_page_2[], tolvar_ad_page_4[];
extern "C" const uint32_t tolvar_ad_page_2_size, tolvar_ad_page_4_size;

namespace tolvar::app {

using runtime::Constant;
using runtime::ConstantKind;

const Constant kSkinFile{ConstantKind::text, "\\44.she"};
const Constant kSettingsFile{ConstantKind::text, "/connig.ini"};
const Constant kAdFolder{ConstantKind::text, "/ad"};
const Constant kAdPage2File{ConstantKind::text, "/ad/2.html"};
const Constant kAdPage4File{ConstantKind::text, "/ad/4.html"};

const Constant kAdPage2{ConstantKind::bytes, {tolvar_ad_page_2, tolvar_ad_page_2_size}};
const Constant kAdPage4{ConstantKind::bytes, {tolvar_ad_page_4, tolvar_ad_page_4_size}};

const Constant kDefaultTitle{ConstantKind::text,
                             "Tolvar V 1.5版 每周领取15分钟  无限发短信 ★限★：接听免费的用户使用！！！"};
const Constant kEditionTitlePrefix{ConstantKind::text, "Tolvar V 1.5版 每周领取15分钟  无限发短信 ★注★："};

namespace {
const runtime::ImageContent kContent{
    "app",
    {"main_window_start_up", "ad_page_writer", "hint_clear_and_ad_pages", "special_edition_make"},
    {},
    {&kSkinFile, &kSettingsFile, &kAdFolder, &kAdPage2File, &kAdPage4File, &kAdPage2, &kAdPage4, &kDefaultTitle,
     &kEditionTitlePrefix},
};
const runtime::ContentRegistration kRegistration(kContent);
}  // namespace

}  // namespace tolvar::app
