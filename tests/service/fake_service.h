// The program on the real kernel against a fake service on loopback: a fresh
// program folder and cookie store per test, the image pointed at the server,
// and the message boxes that open closed and kept.
#pragma once

#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStringEncoder>
#include <QTabBar>
#include <QTimer>
#include <functional>
#include <mutex>

#include "abi/win32.h"
#include "runtime/runtime.h"
#include "tests/support/kernel_harness.h"
#include "tests/support/loopback_server.h"
#include "tests/support/process.h"
#include "tests/support/window_driving.h"

namespace tolvar::test {

class FriendsFixture : public ::testing::Test {
protected:
    using Answer = std::function<void(const HttpRequest &, ServerConnection &)>;

private:
    std::mutex mutex_;
    Answer answer_;  // both outlive the server, which is destroyed first

protected:
    ScratchDir folder;  // the program's folder
    ScratchDir data;    // the cookie store's
    LoopbackServer server{[this](const HttpRequest &r, ServerConnection &c) { answer_request(r, c); }};

    void SetUp() override {
        setenv("XDG_DATA_HOME", data.path().c_str(), 1);
        setenv("WININET_RECEIVE_TIMEOUT", "2000", 1);
    }

    // What the service answers from now on.
    void answer(Answer a) {
        std::lock_guard lock(mutex_);
        answer_ = std::move(a);
    }
    void answer_with(const std::string &body, const std::string &headers = "") {
        answer([body, headers](const HttpRequest &, ServerConnection &c) { c.reply(body, headers); });
    }

    std::vector<uint8_t> image_bytes() {
        program::ProgramSettings settings = loopback_settings();
        settings.service_host = server.host();
        return image::write_image(program::build_program_image(settings));
    }
    void run(const std::function<void(QWidget *)> &drive) {
        run_with_window(drive, image_bytes(), folder.path().string());
    }

    std::filesystem::path friend_file() const { return folder.path() / "hao.txt"; }

private:
    void answer_request(const HttpRequest &r, ServerConnection &c) {
        Answer a;
        {
            std::lock_guard lock(mutex_);
            a = answer_;
        }
        if (a) a(r, c);
        else c.reply("");
    }
};

// Session cookies live as long as the process does: a test that logs in
// forgets its cookie before its program ends, so later tests start without one.
inline void forget_cookie(const char *name) {
    using SetCookie = BOOL (*)(LPCSTR, LPCSTR, LPCSTR);
    runtime::dll<SetCookie>(runtime::Dll::InternetSetCookieA)("http://127.0.0.1", name,
                                                              "x; expires=Thu, 01 Jan 1970 00:00:00 GMT; path=/");
}


// The list's items as "text/value".
inline std::vector<std::string> items(QWidget *w) {
    auto *list = find<QListWidget>(w, "列表框1");
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i)
        out.push_back(list->item(i)->text().toStdString() + "/" +
                      std::to_string(list->item(i)->data(Qt::UserRole).toInt()));
    return out;
}

}  // namespace tolvar::test
