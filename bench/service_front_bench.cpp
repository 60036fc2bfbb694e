// The service's HTTP front under hostile clients, each case next to a floor
// measured in the same run:
//   keep-alive   one connection, requests one after another: latency against
//                the same exchange with a minimal loopback server in this
//                process (one read, one write per request)
//   slow headers N connections send one header byte a second; a normal
//                request every 250 ms: its latency against the same request
//                before the attack
//   huge headers 8 requests with 100 MB of header lines at once: the
//                service's resident memory against its own before the attack
//   malformed    two different Content-Lengths, a header line without a colon
//   output       a percent-encoded line break in a path (a forged log line),
//                control characters in a message and its admin listing
//   files        modes of the data folder (made 0755 by this program), the
//                database, its journal files and the log
// It runs any build of the service, so the same cases can be measured on an
// older one:
//   service_front_bench [--service PATH] [--slow N] [--seconds S] [-- SERVICE OPTIONS]
#include <fcntl.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <thread>

#include "tests/server/service_harness.h"
#include "tests/support/loopback_server.h"

using namespace tolvar::test;
using Clock = std::chrono::steady_clock;

namespace {

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * v.size()))];
}

int connect_to(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool send_all(int fd, std::string_view bytes) {
    for (size_t at = 0; at < bytes.size();) {
        ssize_t n = send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (n <= 0) return false;
        at += static_cast<size_t>(n);
    }
    return true;
}

// Reads one reply with a Content-Length from a kept connection; false when
// the connection ends first or `limit` passes.
bool read_reply(int fd, std::string &pending, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    auto give_up = Clock::now() + limit;
    while (Clock::now() < give_up) {
        size_t head_end = pending.find("\r\n\r\n");
        if (head_end != std::string::npos) {
            size_t at = pending.find("Content-Length: ");
            if (at == std::string::npos || at > head_end) at = pending.find("content-length: ");
            size_t length = at < head_end ? std::stoul(pending.substr(at + 16)) : 0;
            if (pending.size() >= head_end + 4 + length) {
                pending.erase(0, head_end + 4 + length);
                return true;
            }
        }
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buffer[65536];
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        pending.append(buffer, static_cast<size_t>(n));
    }
    return false;
}

// A minimal HTTP server on loopback: one thread, each request answered by a
// single write of a fixed reply. The floor of a keep-alive exchange.
class FloorServer {
public:
    FloorServer() {
        listener_ = tolvar::test::listen_on_loopback(port_, 16);
        thread_ = std::thread([this] { serve(); });
    }
    ~FloorServer() {
        shutdown(listener_, SHUT_RDWR);
        thread_.join();
        close(listener_);
    }
    int port() const { return port_; }

private:
    void serve() {
        int fd = accept(listener_, nullptr, nullptr);
        if (fd < 0) return;
        const std::string reply =
            "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=gb2312\r\nContent-Length: 20\r\n\r\n"
            "<h2>127.0.0.1</h2>\r\n";
        std::string pending;
        char buffer[4096];
        while (true) {
            ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            pending.append(buffer, static_cast<size_t>(n));
            size_t end;
            while ((end = pending.find("\r\n\r\n")) != std::string::npos) {
                pending.erase(0, end + 4);
                send_all(fd, reply);
            }
        }
        close(fd);
    }
    int listener_ = -1;
    uint16_t port_ = 0;
    std::thread thread_;
};

// Latencies of `count` requests one after another on one kept connection.
std::vector<double> keep_alive_latencies(int port, int count) {
    std::vector<double> latencies;
    int fd = connect_to(port);
    if (fd < 0) return latencies;
    std::string request = "GET /ip.php HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: " + client_agent + "\r\n\r\n";
    std::string pending;
    for (int i = 0; i < count; ++i) {
        auto start = Clock::now();
        if (!send_all(fd, request) || !read_reply(fd, pending)) break;
        latencies.push_back(ms_since(start));
    }
    close(fd);
    return latencies;
}

long resident_kib(pid_t pid, const char *field = "VmRSS:") {
    std::string status = read_file("/proc/" + std::to_string(pid) + "/status");
    size_t at = status.find(field);
    return at == std::string::npos ? 0 : std::atol(status.c_str() + at + std::strlen(field));
}

std::string mode_text(const std::filesystem::path &p) {
    struct stat st {};
    if (stat(p.c_str(), &st) != 0) return "absent";
    char text[8];
    std::snprintf(text, sizeof text, "%04o", st.st_mode & 07777);
    return text;
}

class RunningServiceProcess {
public:
    RunningServiceProcess(const std::string &program, const std::vector<std::string> &extra) {
        std::filesystem::create_directories(data());
        chmod(data().c_str(), 0755);
        std::vector<std::string> argv = {program, "--listen", "127.0.0.1:0", "--db", database(), "--log", log_path(),
                                         "--verbose"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        thread_ = std::thread([this, argv] {
            result_ = run_process(argv, {}, [this](pid_t p) { pid_ = p; });
        });
        for (int i = 0; i < 500 && port_ == 0; ++i) {
            std::smatch m;
            std::string log = read_file(log_path());
            if (std::regex_search(log, m, std::regex("listening on http://127\\.0\\.0\\.1:([0-9]+)")))
                port_ = std::stoi(m[1]);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~RunningServiceProcess() { stop(); }
    int stop() {
        if (thread_.joinable()) {
            while (pid_ == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            kill(pid_, SIGTERM);
            thread_.join();
        }
        return result_.status;
    }
    int port() const { return port_; }
    pid_t pid() const { return pid_; }
    std::filesystem::path data() const { return dir_.path() / "data"; }
    std::string database() const { return (data() / "tolvar.db").string(); }
    std::string log_path() const { return (data() / "service.log").string(); }
    const ProcessResult &result() const { return result_; }

    // The first group of the last match in the log, waiting up to 5 s.
    std::string wait_for(const std::string &pattern) const {
        std::regex re(pattern);
        for (int i = 0; i < 500; ++i) {
            std::string text = read_file(log_path()), last;
            for (std::sregex_iterator m(text.begin(), text.end(), re), end; m != end; ++m) last = (*m)[1];
            if (!last.empty()) return last;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return {};
    }

private:
    ScratchDir dir_;
    std::thread thread_;
    std::atomic<pid_t> pid_{0};
    int port_ = 0;
    ProcessResult result_;
};

void keep_alive_case(const RunningServiceProcess &service) {
    FloorServer floor;
    std::vector<double> floor_ms = keep_alive_latencies(floor.port(), 200);
    std::vector<double> service_ms = keep_alive_latencies(service.port(), 100);
    double f = percentile(floor_ms, 0.5), s = percentile(service_ms, 0.5);
    std::printf("keep-alive: %zu requests on one connection: median %.3f ms, p99 %.3f ms; floor %.3f ms; ratio %.1f\n",
                service_ms.size(), s, percentile(service_ms, 0.99), f, f > 0 ? s / f : 0.0);
}

// A fresh connection's GET /ip.php; its latency, or -1 when no reply came
// within `limit`.
double probe(int port, std::chrono::milliseconds limit) {
    auto start = Clock::now();
    int fd = connect_to(port);
    if (fd < 0) return -1;
    std::string pending;
    bool ok = send_all(fd, client_request("GET", "127.0.0.1", "/ip.php")) && read_reply(fd, pending, limit) ;
    close(fd);
    return ok ? ms_since(start) : -1;
}

void slow_header_case(const RunningServiceProcess &service, int connections, int seconds) {
    std::vector<double> idle;
    for (int i = 0; i < 20; ++i) idle.push_back(probe(service.port(), std::chrono::seconds(5)));
    std::vector<int> slow;
    for (int i = 0; i < connections; ++i) {
        int fd = connect_to(service.port());
        if (fd < 0) continue;
        fcntl(fd, F_SETFL, O_NONBLOCK);
        send_all(fd, "GET /ip.php HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ");
        slow.push_back(fd);
    }
    std::atomic<bool> attacking{true};
    std::thread dripper([&] {
        while (attacking) {
            for (int fd : slow) send(fd, "a", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            for (int i = 0; i < 10 && attacking; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    std::vector<double> during;
    int unanswered = 0, within_second = 0;
    auto until = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < until) {
        double ms = probe(service.port(), std::chrono::seconds(15));
        if (ms < 0) ++unanswered;
        else during.push_back(ms), within_second += ms < 1000;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    // How many slow connections the service has closed a moment after the
    // attack's length (its deadline for a request being 10 s by default).
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    int closed = 0;
    for (int fd : slow) {
        char byte;
        ssize_t n = recv(fd, &byte, 1, MSG_DONTWAIT);
        closed += n == 0 || (n < 0 && errno != EAGAIN) || n > 0;
    }
    attacking = false;
    dripper.join();
    for (int fd : slow) close(fd);
    double f = percentile(idle, 0.5), m = percentile(during, 0.5);
    std::printf("slow headers: %zu connections, %d s: %d of %zu normal requests answered within 1 s, %d unanswered;"
                " median %.2f ms, max %.0f ms; before the attack %.2f ms; ratio %.1f; slow connections closed by"
                " the service 1.5 s later: %d\n",
                slow.size(), seconds, within_second, during.size() + unanswered, unanswered, m,
                during.empty() ? 0.0 : *std::max_element(during.begin(), during.end()), f, f > 0 ? m / f : 0.0,
                closed);
}

// Sends a request whose header block is `megabytes` of 8000-byte lines,
// stopping when the service closes; the reply's status (0: none).
int huge_header_request(int port, size_t megabytes, Clock::time_point give_up) {
    int fd = connect_to(port);
    if (fd < 0) return 0;
    std::string line = "X-Fill: " + std::string(7990, 'a') + "\r\n";
    std::string block;
    for (int i = 0; i < 128; ++i) block += line;
    send_all(fd, "GET /ip.php HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    size_t total = megabytes * 1000 * 1000;
    for (size_t sent = 0; sent < total && Clock::now() < give_up; sent += block.size())
        if (!send_all(fd, block)) break;
    send_all(fd, "\r\n");
    RawReply reply;
    std::string raw;
    while (Clock::now() < give_up) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buffer[4096];
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        raw.append(buffer, static_cast<size_t>(n));
        if (raw.find("\r\n") != std::string::npos) break;
    }
    close(fd);
    return raw.size() > 12 && raw.compare(0, 5, "HTTP/") == 0 ? std::atoi(raw.c_str() + 9) : 0;
}

void huge_header_case(const RunningServiceProcess &service) {
    long idle = resident_kib(service.pid());
    std::atomic<bool> sampling{true};
    std::atomic<long> peak{idle};
    std::thread sampler([&] {
        while (sampling) {
            peak = std::max(peak.load(), resident_kib(service.pid()));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    auto start = Clock::now();
    auto give_up = start + std::chrono::seconds(90);
    std::vector<int> statuses(8);
    std::vector<std::thread> senders;
    for (int i = 0; i < 8; ++i)
        senders.emplace_back([&, i] { statuses[i] = huge_header_request(service.port(), 100, give_up); });
    for (auto &t : senders) t.join();
    double elapsed = ms_since(start);
    int single = huge_header_request(service.port(), 80, Clock::now() + std::chrono::seconds(60));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    sampling = false;
    sampler.join();
    long after = resident_kib(service.pid());
    std::string codes;
    for (int s : statuses) codes += std::to_string(s) + " ";
    std::printf("huge headers: 8 x 100 MB in %.1f s: statuses %s; resident %ld KiB before, peak %ld KiB, %ld KiB"
                " after; peak ratio %.1f; one request with 80 MB of headers: status %d\n",
                elapsed / 1000, codes.c_str(), idle, peak.load(), after, idle > 0 ? double(peak) / idle : 0.0, single);
}

void malformed_case(const RunningServiceProcess &service) {
    std::string host = "127.0.0.1:" + std::to_string(service.port());
    int two_lengths = round_trip(service.port(), "POST /url.php HTTP/1.1\r\nHost: " + host +
                                                    "\r\nContent-Length: 14\r\nContent-Length: 5\r\n\r\naction=balance")
                          .status;
    int no_colon =
        round_trip(service.port(), "GET /ip.php HTTP/1.1\r\nHost: " + host + "\r\nNo colon in this line\r\n\r\n").status;
    std::printf("malformed: two different Content-Lengths: status %d; a header line without a colon: status %d\n",
                two_lengths, no_colon);
}

// Cookies kept by name, as a client's store keeps them.
struct CookieClient {
    int port;
    std::map<std::string, std::string> cookies;
    RawReply send(const std::string &method, const std::string &path, const std::string &body = "") {
        std::string cookie;
        for (const auto &[name, value] : cookies) cookie += (cookie.empty() ? "" : "; ") + name + "=" + value;
        std::string host = "127.0.0.1:" + std::to_string(port);
        RawReply reply = round_trip(port, client_request(method, host, path, body, cookie));
        for (size_t at = 0; (at = reply.head.find("\r\nSet-Cookie: ", at)) != std::string::npos;) {
            at += 14;
            std::string line = reply.head.substr(at, reply.head.find("\r\n", at) - at);
            line = line.substr(0, line.find(';'));
            size_t eq = line.find('=');
            if (eq != std::string::npos) cookies[line.substr(0, eq)] = line.substr(eq + 1);
        }
        return reply;
    }
};

bool has_raw_control(const std::string &text) {
    for (char c : text)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') || c == 0x7f) return true;
    return false;
}

void output_case(const RunningServiceProcess &service, const std::string &program) {
    // A path that decodes to a line break and a line of the log's own shape.
    round_trip(service.port(), "GET /x%0a[2000-01-01%2000:00:00]%20forged%20line%1b[31m HTTP/1.1\r\nHost: x\r\n\r\n");

    // A member with a friend sends a message holding ESC, BEL and NUL.
    CookieClient a{service.port(), {}}, b{service.port(), {}};
    const std::string host = "127.0.0.1:" + std::to_string(service.port());
    auto registered = [&](CookieClient &c, const std::string &number, const std::string &referrer) {
        c.send("POST", "/url.php?class=check", "action=taste&tel=" + referrer + "&MemberMobile=" + number);
        std::string code = service.wait_for("voice code for " + number + ": ([0-9]{6})");
        return c.send("POST", "/url.php", "class=check&action=one&tel=" + referrer + "&MemberMobile=" + number +
                                              "&VerifyCode=" + code).body == "6";
    };
    bool ok = registered(a, "13900000001", "13800000000") && registered(b, "13900000002", "13900000001");
    a.send("GET", "/verifycode.php");
    std::string captcha = service.wait_for("captcha code: ([0-9]{4})");
    ok = ok && contains(a.send("POST", "/validate.php",
                               "top=1&NoCode=1&RedirectUrl=%2Fp.php&MemberCode=13900000001&MemberPassword=13900000001"
                               "&ValidCode=" + captcha + "&Image2.x=73&Image2.y=14")
                            .body,
                        "p.php");
    std::string friends = a.send("GET", "/p.php?class=p&action=friend").body;
    std::smatch m;
    std::string friend_id = std::regex_search(friends, m, std::regex("pick\\('([0-9]+)','13900000002'")) ? m[1].str() : "";
    ok = ok && !friend_id.empty() &&
         contains(a.send("POST", "/p.php?class=", "action=sendsms&key_id=" + friend_id + "&url=" + host +
                                                       "&tel=13900000002&msg=red%1b[31m%07bell%00nul")
                      .body,
                  gbk_success);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::string log = read_file(service.log_path());
    bool forged = log.find("\n[2000-01-01 00:00:00] forged") != std::string::npos;
    ProcessResult listing = run_process({program, "--db", service.database(), "messages"});
    std::printf("output: forged log line through a percent-encoded path: %s; raw control bytes in the log: %s;"
                " message sent: %s; raw control bytes in the admin message listing: %s\n",
                forged ? "yes" : "no", has_raw_control(log) ? "yes" : "no", ok ? "yes" : "no",
                has_raw_control(listing.out) ? "yes" : "no");
}

void files_case(RunningServiceProcess &service) {
    std::filesystem::path db = service.database();
    std::printf("files (data folder made 0755 before the start): folder %s, database %s, -wal %s, -shm %s, log %s\n",
                mode_text(service.data()).c_str(), mode_text(db).c_str(), mode_text(db.string() + "-wal").c_str(),
                mode_text(db.string() + "-shm").c_str(), mode_text(service.log_path()).c_str());
}

}  // namespace

int main(int argc, char **argv) {
    std::string program = TOLVAR_SERVICE;
    int slow = 200, seconds = 10;
    std::vector<std::string> extra;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--service" && i + 1 < argc) program = argv[++i];
        else if (a == "--slow" && i + 1 < argc) slow = std::atoi(argv[++i]);
        else if (a == "--seconds" && i + 1 < argc) seconds = std::atoi(argv[++i]);
        else if (a == "--") extra.assign(argv + i + 1, argv + argc), i = argc;
        else {
            std::fprintf(stderr, "usage: service_front_bench [--service PATH] [--slow N] [--seconds S] [-- OPTIONS]\n");
            return 2;
        }
    }
    signal(SIGPIPE, SIG_IGN);
    std::printf("service: %s\n", program.c_str());
    RunningServiceProcess service(program, extra);
    if (service.port() == 0) {
        std::fprintf(stderr, "service_front_bench: the service did not start\n");
        return 1;
    }
    keep_alive_case(service);
    slow_header_case(service, slow, seconds);
    malformed_case(service);
    output_case(service, program);
    files_case(service);
    huge_header_case(service);
    int status = service.stop();
    std::printf("stopped with SIGTERM: exit status %d\n", status);
    return 0;
}
