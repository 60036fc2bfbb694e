// What the start-up and special-edition tests share: GBK texts, the window's
// titles and messages, and a program run in a folder.
#pragma once

#include <filesystem>
#include <string>

#include "runtime/globals.h"
#include "tests/support/kernel_harness.h"
#include "tests/support/process.h"
#include "tests/support/window_driving.h"

namespace tolvar::test {

// Fixed texts of the program, as a user reads them.
inline const QString kDefaultTitle =
    QString::fromUtf8("Tolvar V 1.5版 每周领取15分钟  无限发短信 ★限★：接听免费的用户使用！！！");
inline const QString kEditionPrefix = QString::fromUtf8("Tolvar V 1.5版 每周领取15分钟  无限发短信 ★注★：");
inline const std::string kNotLoggedIn = "你还未登录，或者未注册！！";
inline const std::string kEditionMade = "专版程序！！制作完成！！请将本目录下所有程序压缩打包！发给您的好朋友！";
// The default number of the test image (loopback_settings()).
inline const std::string kDefaultNumber = "13900000000";

inline std::string referrer_number() {
    const char *r = runtime::globals().referrer_number.get();
    return r ? std::string(r) : std::string("(none)");
}

// What a run of the program in a folder leaves to look at.
struct StartUp {
    QString title;
    std::string referrer;
};

// Runs the program in `folder`, with `drive` once the window is up, and
// returns the window's title and the referrer number as the start-up set them.
inline StartUp run_in(const std::filesystem::path &folder, const std::function<void(QWidget *)> &drive = {}) {
    StartUp seen;
    run_with_window(
        [&](QWidget *w) {
            seen = {w->windowTitle(), referrer_number()};
            if (drive) drive(w);
        },
        test_image_bytes(), folder.string());
    return seen;
}

}  // namespace tolvar::test
