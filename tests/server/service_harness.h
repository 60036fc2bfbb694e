// The service in the test's process on a free loopback port, with a clock the
// test sets and a log it reads, and a client that speaks to it over a raw
// socket with exactly the bytes the Tolvar client sends.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "server/http_service.h"
#include "server/storage/storage.h"
#include "tests/server/test_database.h"
#include "tests/support/process.h"

namespace tolvar::test {

// Wednesday 2025-06-18 12:00:00 UTC: mid-week in every time zone.
inline constexpr int64_t test_start_time = 1750248000;

struct RawReply {
    int status = 0;
    std::string head;  // status line and header lines
    std::string body;
    bool complete = false;

    // The value of the first header line of that name (exact case), or empty.
    std::string header(const std::string &name) const {
        size_t at = head.find("\r\n" + name + ": ");
        if (at == std::string::npos) return {};
        at += name.size() + 4;
        return head.substr(at, head.find("\r\n", at) - at);
    }
};

// Sends `bytes` on a fresh connection to 127.0.0.1:port (from the loopback
// address `source` when one is given) and reads one reply (by its
// Content-Length), or until the peer closes.
inline RawReply round_trip(int port, const std::string &bytes, const std::string &source = "") {
    RawReply reply;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (!source.empty()) {
        sockaddr_in from{};
        from.sin_family = AF_INET;
        inet_pton(AF_INET, source.c_str(), &from.sin_addr);
        bind(fd, reinterpret_cast<sockaddr *>(&from), sizeof from);
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        close(fd);
        return reply;
    }
    for (size_t at = 0; at < bytes.size();) {
        ssize_t n = send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (n <= 0) break;
        at += static_cast<size_t>(n);
    }
    std::string raw;
    size_t body_length = std::string::npos, head_end = std::string::npos;
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < give_up) {
        if (head_end != std::string::npos && body_length != std::string::npos &&
            raw.size() >= head_end + 4 + body_length)
            break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        char buffer[65536];
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        raw.append(buffer, static_cast<size_t>(n));
        if (head_end == std::string::npos && (head_end = raw.find("\r\n\r\n")) != std::string::npos) {
            reply.head = raw.substr(0, head_end);
            std::string length = reply.header("Content-Length");
            if (!length.empty()) body_length = std::stoul(length);
        }
    }
    close(fd);
    if (head_end == std::string::npos) return reply;
    reply.body = raw.substr(head_end + 4);
    if (body_length != std::string::npos) {
        reply.complete = reply.body.size() >= body_length;
        reply.body.resize(std::min(reply.body.size(), body_length));
    }
    if (reply.head.size() > 12) reply.status = std::stoi(reply.head.substr(9, 3));
    return reply;
}

inline const std::string client_agent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
inline const std::string client_accept =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";

// A request as the client's web access routine writes it: the Host and agent
// lines, the cookies it holds, its three default lines and, for a POST with a
// body, the form type and length.
inline std::string client_request(const std::string &method, const std::string &host, const std::string &path,
                                  const std::string &body = "", const std::string &cookie = "") {
    std::string r = method + " " + path + " HTTP/1.1\r\nHost: " + host + "\r\nUser-Agent: " + client_agent + "\r\n";
    if (!cookie.empty()) r += "Cookie: " + cookie + "\r\n";
    r += client_accept + "Referer: http://" + host + path + "\r\nAccept-Language: zh-cn\r\n";
    if (method == "POST" && !body.empty())
        r += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " + std::to_string(body.size()) +
             "\r\n";
    return r + "\r\n" + body;
}

// A typed value as the client puts it into a form text.
inline std::string form_value(const std::string &typed) {
    std::string out;
    for (char c : typed) {
        if (c == '%') out += "%25";
        else if (c == '&') out += "%26";
        else if (c == '+') out += "%2B";
        else if (c == '=') out += "%3D";
        else out += c;
    }
    return out;
}

// The service in this process on its own fresh database (SQLite or
// PostgreSQL, as the test run chose).
class TestService {
public:
    TestService()
        : storage_(std::make_unique<server::Storage>(database_.address())),
          log_{true, [this](const std::string &line) {
                   std::lock_guard lock(mutex_);
                   lines_.push_back(line);
               }},
          service_(std::make_unique<server::HttpService>(
              server::ServiceContext{*storage_, log_, [this] { return now.load(); }})) {
        signal(SIGPIPE, SIG_IGN);
        port_ = service_->bind({"127.0.0.1", 0});
        thread_ = std::thread([this] { service_->run(); });
        while (!service_->running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~TestService() {
        service_->stop();
        thread_.join();
    }

    std::atomic<int64_t> now{test_start_time};

    int port() const { return port_; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    server::Storage &storage() { return *storage_; }
    const TestDatabase &database() const { return database_; }
    // Settings for the requests that come after (the log stays verbose).
    void apply(server::Settings settings) {
        settings.verbose = true;
        service_->apply(settings);
    }

    std::vector<std::string> log_lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    // The value after `prefix` in the last log line that starts with it.
    std::string last_logged(const std::string &prefix) {
        auto lines = log_lines();
        for (auto it = lines.rbegin(); it != lines.rend(); ++it)
            if (it->rfind(prefix, 0) == 0) return it->substr(prefix.size());
        return {};
    }
    size_t count_logged(const std::string &prefix) {
        size_t n = 0;
        for (const auto &line : log_lines()) n += line.rfind(prefix, 0) == 0;
        return n;
    }

    // A SQL query's first column of the first row, as text ("" for none).
    std::string query_text(const std::string &sql) { return database_.text(sql); }
    void run_sql(const std::string &sql) { database_.run(sql); }

private:
    TestDatabase database_;
    std::unique_ptr<server::Storage> storage_;
    server::Log log_;
    std::unique_ptr<server::HttpService> service_;
    std::thread thread_;
    int port_ = -1;
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

// One client: keeps the cookie it was given, as the client's cookie store
// does, and sends it back.
class ClientSession {
public:
    explicit ClientSession(TestService &service) : service_(service) {}

    RawReply get(const std::string &path) { return keep_cookie(round_trip(service_.port(), client_request("GET", service_.host(), path, "", cookie))); }
    RawReply post(const std::string &path, const std::string &body) {
        return keep_cookie(round_trip(service_.port(), client_request("POST", service_.host(), path, body, cookie)));
    }

    RawReply ask_voice_code(const std::string &number, const std::string &referrer = "13800000000") {
        return post("/url.php?class=check", "action=taste&tel=" + referrer + "&MemberMobile=" + number);
    }
    RawReply confirm(const std::string &number, const std::string &code, const std::string &referrer = "13800000000") {
        return post("/url.php",
                    "class=check&action=one&tel=" + referrer + "&MemberMobile=" + number + "&VerifyCode=" + code);
    }
    // Voice code, read from the log, and confirmation; true when the reply was "6".
    bool register_number(const std::string &number, const std::string &referrer = "13800000000") {
        ask_voice_code(number, referrer);
        return confirm(number, service_.last_logged("voice code for " + number + ": "), referrer).body == "6";
    }
    RawReply submit_login(const std::string &number, const std::string &code) {
        return post("/validate.php", "top=1&NoCode=1&RedirectUrl=%2Fp.php&MemberCode=" + number +
                                         "&MemberPassword=" + number + "&ValidCode=" + code +
                                         "&Image2.x=73&Image2.y=14");
    }
    // A captcha, its code read from the log, and the login.
    RawReply log_in(const std::string &number) {
        get("/verifycode.php");
        return submit_login(number, service_.last_logged("captcha code: "));
    }
    RawReply call(const std::string &number, const std::string &address = "127.0.0.1") {
        return post("/url.php", "action=sendfreecall&tel=" + number + "&url=" + service_.host() + "&ip=" + address);
    }
    RawReply balance() { return post("/url.php", "action=balance&url=" + service_.host() + "&ip=127.0.0.1"); }
    // The claim token of a fresh member page, taken as the client takes it.
    std::string claim_token() {
        std::string page = get("/p.php").body;
        size_t at = page.find("giving&hash=");
        if (at == std::string::npos) return {};
        at += 12;
        return page.substr(at, page.find("',", at) - at);
    }
    RawReply claim(const std::string &token) { return get("/p.php?class=giving&hash=" + token); }
    RawReply message(const std::string &friend_id, const std::string &number, const std::string &text) {
        return post("/p.php?class=", "action=sendsms&key_id=" + friend_id + "&url=" + service_.host() +
                                         "&tel=" + number + "&msg=" + form_value(text));
    }

    std::string cookie;  // "sid=..." as the client would send it

private:
    RawReply keep_cookie(RawReply reply) {
        std::string set = reply.header("Set-Cookie");
        if (!set.empty()) cookie = set.substr(0, set.find(';'));
        return reply;
    }
    TestService &service_;
};

// A registered, logged-in member.
inline ClientSession member(TestService &service, const std::string &number,
                            const std::string &referrer = "13800000000") {
    ClientSession session(service);
    session.register_number(number, referrer);
    session.log_in(number);
    return session;
}

inline bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

}  // namespace tolvar::test

namespace tolvar::test {

// The words the client looks for, as the GBK bytes it looks for.
inline const std::string gbk_not_logged_in = "\xc3\xbb\xd3\xd0\xb5\xc7\xc2\xbd";                  // 没有登陆
inline const std::string gbk_success = "\xb3\xc9\xb9\xa6";                                          // 成功
inline const std::string gbk_already_claimed = "\xd2\xd1\xbe\xad\xc1\xec\xb9\xfd\xc1\xcb";         // 已经领过了

}  // namespace tolvar::test
