// Compiled with -fexec-charset=GBK: the libraries' descriptions are GBK texts.
#include "runtime/runtime_content.h"

namespace tolvar::runtime {

const Constant kEmptyText{ConstantKind::text, ""};
const Constant kEmptyArray{ConstantKind::empty_array};

const std::vector<SupportLibrary> &declared_libraries() {
    static const std::vector<SupportLibrary> libraries = {
        {"krnln", "d09f2340818511d396f6aaf844c7e325", "5", "0", "系统核心支持库"},
        {"spec", "A512548E76954B6E92C21055517615B0", "3", "0", "特殊功能支持库"},
        {"eImgConverter", "8FA3AA46276847db8F28E57E7FB97B7F", "2", "0", "图像格式转换支持库"},
        {"HtmlView", "5014D8FA6DCA40b68FA626D8183666EB", "2", "0", "超文本浏览框支持库"},
        {"eAPI", "F7FC1AE45C5C4758AF03EF19F18A395D", "3", "0", "应用接口支持库"},
        {"internet", "707ca37322474f6ca841f0e224f4b620", "2", "0", "互联网支持库"},
        {"iext", "27bb20fdd3e145e4bee3db39ddd6e64c", "2", "0", "扩展界面支持库一"},
    };
    return libraries;
}

namespace {
const ImageContent kContent{
    "runtime",
    {kStartRoutine, "tolvar_cleanup"},
    {"tolvar_cleanup"},
    {&kEmptyText, &kEmptyArray},
};
const ContentRegistration kRegistration(kContent);
}  // namespace

}  // namespace tolvar::runtime
