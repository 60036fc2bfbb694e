// The deployment on one machine: real nginx, configured from the site file in
// deploy/nginx, in front of two tolvar-service instances that share one
// database in the test run's PostgreSQL cluster. The real client registers,
// logs in, texts, calls and claims through nginx, and its requests land on
// both instances; the services see the client's own address, whatever the
// client writes into X-Forwarded-For; nginx's per-address limits and bounds
// stop a flood and oversized requests before they reach an instance.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QTest>

#include <memory>
#include <regex>
#include <sstream>

#include "tests/server/test_database.h"
#include "tests/service/fake_service.h"
#include "tests/service/service_fixture.h"
#include "tests/system/running_nginx.h"
#include "tests/system/running_service.h"

using namespace tolvar::test;

namespace {

const std::string kDefaultNumber = "13800000000";
const std::string kMember = "13912345678";
const std::string kFriend = "13700001111";  // registered directly, with the member as referrer
const char kMessage[] = "晚上见";
const char kWaitForTheCall[] = "请稍等,语音验证码将在5分钟内以电话语音的方式告诉你，请将听到的数字填入框中！！";

// One request on a fresh connection to 127.0.0.1:port from the loopback
// address `source`, and everything nginx sends back until it closes.
std::string exchange(int port, const std::string &bytes, const std::string &source) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in from{}, to{};
    from.sin_family = to.sin_family = AF_INET;
    inet_pton(AF_INET, source.c_str(), &from.sin_addr);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(static_cast<uint16_t>(port));
    std::string reply;
    if (bind(fd, reinterpret_cast<sockaddr *>(&from), sizeof from) == 0 &&
        connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0) {
        timeval five{5, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &five, sizeof five);
        send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        char buffer[4096];
        for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return reply;
}

int status_of(const std::string &reply) { return reply.size() > 12 ? std::atoi(reply.c_str() + 9) : 0; }

std::string get(int port, const std::string &path, const std::string &source, const std::string &more_headers = "") {
    return exchange(port, "GET " + path + " HTTP/1.1\r\nHost: tolvar.example\r\n" + more_headers + "Connection: close\r\n\r\n",
                    source);
}

std::string post(int port, const std::string &path, const std::string &body, const std::string &source,
                 const std::string &more_headers = "") {
    return exchange(port,
                    "POST " + path + " HTTP/1.1\r\nHost: tolvar.example\r\n" + more_headers +
                        "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body,
                    source);
}

size_t count(const std::string &text, const std::string &pattern) {
    std::regex re(pattern);
    return static_cast<size_t>(std::distance(std::sregex_iterator(text.begin(), text.end(), re), std::sregex_iterator()));
}

// Each answered request, as the instances' verbose logs write it.
const char kRequestLine[] = "(GET|POST) /[^ ]* [0-9]{3} [0-9]+ bytes";

std::vector<std::string> instance_options() {
    return {"--trusted-proxy", "127.0.0.1", "--voice-calls-per-network", "3"};
}

class NginxFront : public ::testing::Test {
protected:
    TestDatabase database;
    RunningService a{database.address(), instance_options()};
    RunningService b{database.address(), instance_options()};
    std::unique_ptr<RunningNginx> nginx;

    void SetUp() override {
        ASSERT_TRUE(database.postgresql()) << "the instances share a PostgreSQL database: run under ctest";
        ASSERT_GT(a.port(), 0) << a.log();
        ASSERT_GT(b.port(), 0) << b.log();
        nginx = std::make_unique<RunningNginx>(TOLVAR_NGINX_SITE, std::vector<std::string>{a.host(), b.host()});
        ASSERT_GT(nginx->port(), 0) << nginx->error_log() << nginx->configuration();
    }
    void TearDown() override {
        if (HasFailure() && nginx) std::cerr << "nginx:\n" << nginx->error_log() << nginx->access_log();
    }

    std::string both_logs() const { return a.log() + b.log(); }
};

TEST_F(NginxFront, TheServiceSeesTheClientsAddressAndNeverOneTheClientWrote) {
    const int port = nginx->port();
    EXPECT_NE(std::string::npos, get(port, "/ip.php", "127.9.9.9").find("<h2>127.9.9.9</h2>"));
    EXPECT_NE(std::string::npos,
              get(port, "/ip.php", "127.9.9.9", "X-Forwarded-For: 203.0.113.7\r\n").find("<h2>127.9.9.9</h2>"));
    EXPECT_NE(std::string::npos, get(port, "/ip.php", "127.9.9.9",
                                     "X-Forwarded-For: 203.0.113.7\r\nX-Forwarded-For: 198.51.100.1, 203.0.113.8\r\n")
                                     .find("<h2>127.9.9.9</h2>"));

    // The per-network voice-code limit (3 here) counts the client's network:
    // five addresses of one /24, each claiming another address, ring 3 times;
    // another network still gets its code.
    for (int i = 0; i < 5; ++i)
        post(port, "/url.php?class=check",
             "action=taste&tel=13800000000&MemberMobile=1390000010" + std::to_string(i),
             "127.9.9." + std::to_string(20 + i), "X-Forwarded-For: 203.0.113." + std::to_string(10 + i) + "\r\n");
    post(port, "/url.php?class=check", "action=taste&tel=13800000000&MemberMobile=13900000200", "127.8.8.8");
    EXPECT_EQ(3u, count(both_logs(), "voice code for 139000001"));
    EXPECT_EQ(1u, count(both_logs(), "voice code for 13900000200"));
    EXPECT_EQ("3", database.text("SELECT COUNT(*) FROM voice_requests WHERE address = '127.9.9.0/24'"));
    EXPECT_EQ("0", database.text("SELECT COUNT(*) FROM voice_requests WHERE address LIKE '203.0.113.%'"));
}

TEST_F(NginxFront, AFloodFromOneAddressAndOversizedRequestsStopAtNginx) {
    const int port = nginx->port();
    int answered = 0, refused = 0;
    for (int i = 0; i < 60; ++i) {
        int status = status_of(get(port, "/ip.php", "127.7.7.7"));
        answered += status == 200;
        refused += status == 429;
    }
    EXPECT_GE(answered, 20);  // the burst a client's buttons need
    EXPECT_GT(refused, 0);
    EXPECT_EQ(answered + refused, 60);
    EXPECT_EQ(200, status_of(get(port, "/ip.php", "127.6.6.6")));  // another address is served meanwhile

    size_t requests_before = count(both_logs(), kRequestLine);
    EXPECT_EQ(400, status_of(get(port, "/ip.php", "127.5.5.5", "X-Long: " + std::string(5000, 'a') + "\r\n")));
    EXPECT_EQ(413, status_of(post(port, "/p.php", std::string(20000, 'a'), "127.5.5.5")));
    EXPECT_EQ(requests_before, count(both_logs(), kRequestLine));  // neither reached an instance
}

// Established TCP connections whose far end is 127.0.0.1:`port`, as the
// kernel lists them (/proc/net/tcp: local, remote, state 01).
size_t established_to(int port) {
    char remote[32];
    std::snprintf(remote, sizeof remote, "0100007F:%04X", port);
    std::istringstream table(read_file("/proc/net/tcp"));
    size_t found = 0;
    std::string line;
    std::getline(table, line);  // the column names
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, far, state;
        fields >> slot >> local >> far >> state;
        found += far == remote && state == "01";
    }
    return found;
}

TEST_F(NginxFront, ConnectionsToTheInstancesAreKeptAndReused) {
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(200, status_of(get(nginx->port(), "/ip.php", "127.4.4." + std::to_string(10 + i))));
    // Twenty requests one after another, each on a client connection of its
    // own; nginx kept the connections it opened to the instances and used
    // them again, so only a few are open, and they stay open between requests.
    size_t kept = established_to(a.port()) + established_to(b.port());
    EXPECT_GE(kept, 1u);
    EXPECT_LT(kept, 20u);
    EXPECT_EQ(20u, count(both_logs(), "127\\.4\\.4\\.[0-9]+ GET /ip\\.php 200"));
}

// ---- The real client through nginx ----

void click_into(QWidget *w, const char *box) {
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    QTest::mouseClick(find(w, box), Qt::LeftButton);
}
void press(QWidget *w, const char *button) { QTest::mouseClick(find(w, button), Qt::LeftButton); }
void type(QWidget *w, const char *box, const char *utf8) {
    QWidget *target = find(w, box);
    for (QChar c : QString::fromUtf8(utf8)) {
        QKeyEvent down(QEvent::KeyPress, 0, Qt::NoModifier, QString(c)), up(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &down);
        QApplication::sendEvent(target, &up);
    }
}

class ClientThroughNginx : public NginxFront {
protected:
    ScratchDir data;
    ScratchDir program_folder;
    size_t mark_a = 0, mark_b = 0;

    void SetUp() override {
        NginxFront::SetUp();
        if (HasFatalFailure()) return;
        setenv("XDG_DATA_HOME", data.path().c_str(), 1);
        setenv("WININET_RECEIVE_TIMEOUT", "3000", 1);
    }
    void TearDown() override {
        unsetenv("WININET_RECEIVE_TIMEOUT");
        NginxFront::TearDown();
    }

    void run(const std::function<void(QWidget *)> &drive) {
        tolvar::program::ProgramSettings s = loopback_settings();
        s.service_host = nginx->host();
        s.echo_url = "http://" + nginx->host() + "/ip.php";
        s.default_number = kDefaultNumber;
        run_with_window(drive, tolvar::image::write_image(tolvar::program::build_program_image(s)),
                        program_folder.path().string());
    }

    // Whichever instance served it: the first group of the last line matching
    // `pattern` that either log gained since mark(), waiting up to five seconds.
    void mark() {
        mark_a = a.log().size();
        mark_b = b.log().size();
    }
    std::string wait_for_new_line(const std::string &pattern) const {
        std::regex re(pattern);
        for (int i = 0; i < 500; ++i) {
            std::string last;
            for (const std::string &text : {a.log().substr(mark_a), b.log().substr(mark_b)})
                for (std::sregex_iterator m(text.begin(), text.end(), re), end; m != end; ++m) last = (*m)[1];
            if (!last.empty()) return last;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return {};
    }

    void register_number(QWidget *w, const std::string &number) {
        click_into(w, "编辑框3");
        type(w, "编辑框3", number.c_str());
        mark();
        press(w, "按钮16");
        std::string code = wait_for_new_line("voice code for " + number + ": ([0-9]{6})");
        ASSERT_EQ(6u, code.size()) << both_logs();
        click_into(w, "编辑框4");
        type(w, "编辑框4", code.c_str());
        press(w, "按钮15");
        EXPECT_EQ(1, current_page(w));
    }

    void log_in(QWidget *w, const std::string &number) {
        click_into(w, "编辑框2");
        type(w, "编辑框2", number.c_str());
        mark();
        click_into(w, "编辑框1");  // fetches the captcha
        std::string code = wait_for_new_line("captcha code: ([0-9]{4})");
        ASSERT_EQ(4u, code.size()) << both_logs();
        type(w, "编辑框1", code.c_str());
        press(w, "按钮1");
        EXPECT_EQ("登录成功！！", text_of(w, "标签1"));
        EXPECT_EQ("用户号码：" + number, text_of(w, "标签5"));
    }
};

TEST_F(ClientThroughNginx, RegistersLogsInTextsCallsAndClaimsWithRequestsOnBothInstances) {
    ProcessResult added = a.admin({"member", "add", kFriend, kMember});
    ASSERT_EQ(0, added.status) << added.err;
    size_t requests_before_a = count(a.log(), kRequestLine), requests_before_b = count(b.log(), kRequestLine);

    std::vector<std::string> boxes_seen, friends;
    std::string friend_number, minutes_before_claim, minutes_after_claim;
    run([&](QWidget *w) {
        MessageBoxes boxes;
        register_number(w, kMember);
        log_in(w, kMember);

        show_page(w, 2);
        press(w, "按钮18");
        friends = items(w);
        auto *list = find<QListWidget>(w, "列表框1");
        ASSERT_GT(list->count(), 0);
        list->setCurrentRow(0);
        QTest::mouseClick(find(w, "编辑框5"), Qt::LeftButton);
        type(w, "编辑框5", kMessage);
        press(w, "按钮17");

        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, list->visualItemRect(list->item(0)).center());
        auto *menu = w->findChild<QMenu *>(QString::fromUtf8("好友菜单"));
        ASSERT_TRUE(menu && menu->isVisible());
        QAction *call = menu->findChild<QAction *>(QString::fromUtf8("打电话"));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(call).center());
        friend_number = text_of(w, "编辑框6");

        // Reading the minutes claims the week's allowance; the menu's claim is
        // then refused for this week.
        show_page(w, 1);
        press(w, "按钮2");
        minutes_before_claim = text_of(w, "标签6");
        choose(w, "领取15分钟");
        press(w, "按钮2");
        minutes_after_claim = text_of(w, "标签6");
        boxes_seen = boxes.texts;
        forget_cookie("sid");
    });

    EXPECT_EQ((std::vector<std::string>{kWaitForTheCall, "注册成功！！！", "发送成功！！！",
                                        "呼叫成功！！正在处理！！请耐心等待5~60秒！", "对不起！这周已经领取了！！！"}),
              boxes_seen);
    EXPECT_EQ((std::vector<std::string>{kFriend + "/100000"}), friends);
    EXPECT_EQ(kFriend, friend_number);
    EXPECT_EQ("免费通话时间还剩： 29分钟", minutes_before_claim);
    EXPECT_EQ("免费通话时间还剩： 44分钟", minutes_after_claim);
    EXPECT_EQ(1u, count(both_logs(), "call: " + kMember + " -> " + kFriend));
    EXPECT_EQ(1u, count(both_logs(), "message: " + kMember + " -> " + kFriend));

    // The client's requests were shared between the instances.
    size_t on_a = count(a.log(), kRequestLine) - requests_before_a, on_b = count(b.log(), kRequestLine) - requests_before_b;
    EXPECT_GE(on_a, 2u) << a.log();
    EXPECT_GE(on_b, 2u) << b.log();
    EXPECT_EQ(0u, count(nginx->access_log(), "\" 429 ")) << nginx->access_log();
}

}  // namespace
