// The service client on the real kernel against a scripted fake service on
// loopback: an image built for the service's address, exact request bytes,
// and the message boxes the operations show, closed as they appear.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStringEncoder>
#include <QTabBar>
#include <QTimer>
#include <functional>
#include <map>
#include <mutex>

#include "image/image_writer.h"
#include "runtime/globals.h"
#include "runtime/runtime.h"
#include "tests/support/kernel_harness.h"
#include "tests/support/loopback_server.h"
#include "tests/support/process.h"
#include "tests/support/test_image.h"
#include "tests/support/window_driving.h"

namespace tolvar::test {

inline const std::string kUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
inline const std::string kAcceptLine =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";

// The exact bytes of a request the web access routine sends with its default
// lines: a GET of `target`, or a POST of `form` when one is given.
inline std::string request_bytes(const std::string &host, const std::string &target, const std::string *form = nullptr) {
    std::string head = std::string(form ? "POST " : "GET ") + target + " HTTP/1.1\r\nHost: " + host +
                       "\r\nUser-Agent: " + kUserAgent + "\r\n" + kAcceptLine + "Referer: http://" + host + target +
                       "\r\nAccept-Language: zh-cn\r\n";
    if (!form) return head + "\r\n";
    return head + "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
           std::to_string(form->size()) + "\r\n\r\n" + *form;
}
inline std::string get_bytes(const std::string &host, const std::string &target) { return request_bytes(host, target); }
inline std::string post_bytes(const std::string &host, const std::string &target, const std::string &form) {
    return request_bytes(host, target, &form);
}

inline std::string target_of(const HttpRequest &r) {
    std::string line = r.request_line();
    size_t a = line.find(' '), b = line.rfind(' ');
    return a == std::string::npos || b <= a ? std::string() : line.substr(a + 1, b - a - 1);
}

// A fake service: each request target (path and query) answered by its
// route; a target without one gets an empty page. The echo page is "/ip.php".
class FakeService {
public:
    using Route = std::function<void(const HttpRequest &, ServerConnection &)>;

    FakeService() : server_([this](const HttpRequest &r, ServerConnection &c) { serve(r, c); }) {}

    void on(const std::string &target, Route route) {
        std::lock_guard lock(mutex_);
        routes_[target] = std::move(route);
    }
    void on(const std::string &target, const std::string &body) {
        on(target, [body](const HttpRequest &, ServerConnection &c) { c.reply(body); });
    }
    // Answers the target's requests with these bodies in turn (the last one again after).
    void on(const std::string &target, std::vector<std::string> bodies) {
        auto count = std::make_shared<size_t>(0);
        on(target, [bodies, count](const HttpRequest &, ServerConnection &c) {
            size_t i = (*count)++;
            c.reply(bodies[std::min(i, bodies.size() - 1)]);
        });
    }

    std::string host() const { return server_.host(); }
    std::vector<HttpRequest> requests() { return server_.requests(); }
    std::vector<std::string> targets() {
        std::vector<std::string> out;
        for (const auto &r : requests()) out.push_back(target_of(r));
        return out;
    }
    // The program image with this service as its service and echo page.
    std::vector<uint8_t> image() const {
        program::ProgramSettings s = loopback_settings();
        s.service_host = host();
        s.echo_url = "http://" + host() + "/ip.php";
        return image::write_image(program::build_program_image(s));
    }

private:
    void serve(const HttpRequest &r, ServerConnection &c) {
        Route route;
        {
            std::lock_guard lock(mutex_);
            auto it = routes_.find(target_of(r));
            if (it != routes_.end()) route = it->second;
        }
        if (route) route(r, c);
        else c.reply("");
    }

    std::mutex mutex_;
    std::map<std::string, Route> routes_;
    LoopbackServer server_;  // declared last: it stops before the routes go
};

// Each test keeps its persistent cookies in a folder of its own.
class ServiceTest : public ::testing::Test {
protected:
    ScratchDir data;
    ScratchDir program_folder;
    FakeService service;
    void SetUp() override { setenv("XDG_DATA_HOME", data.path().c_str(), 1); }

    // Runs the program against the fake service, with `drive` once the window is up.
    void run(const std::function<void(QWidget *)> &drive) {
        run_with_window(drive, service.image(), program_folder.path().string());
    }
};

// Inside the program: the referrer number the start-up would have set.
inline void set_referrer_number(const std::string &number) {
    runtime::globals().referrer_number = runtime::new_text(number);
}

inline void choose(QWidget *w, const char *menu_item) {
    auto *action = w->findChild<QAction *>(QString::fromUtf8(menu_item));
    ASSERT_NE(nullptr, action) << menu_item;
    action->trigger();
}
inline void type_into(QWidget *w, const char *box, const char *utf8) {
    find<QLineEdit>(w, box)->setText(QString::fromUtf8(utf8));
}
// The kernel's timer behind 时钟1.
inline QTimer *watchdog(QWidget *w) { return find(w, "时钟1")->findChild<QTimer *>(); }

}  // namespace tolvar::test
