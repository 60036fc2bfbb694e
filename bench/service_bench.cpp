// Load on tolvar-service, in two parts.
//  1. The whole flow: CLIENTS clients at once, each going through it again and
//     again for SECONDS (captcha, login, balance, call, message, friend
//     page), every request on a connection of its own as the client makes
//     them. Prints requests per second, latency percentiles and the number
//     of failed requests (a reply the client would judge a failure).
//  2. Kept connections: 1, 64 and 256 connections each sending GET /ip.php
//     one request after another for a few seconds; throughput and p99 next
//     to the same load on a floor server in this process (one thread, poll,
//     one write per reply), and their ratio.
//   build/bin/service_bench [SECONDS] [CLIENTS] [sqlite|postgresql] [--service PATH] [-- SERVICE OPTIONS]
// With "postgresql" the service keeps its data in a throw-away PostgreSQL
// cluster that the benchmark starts and stops (a SQLite file otherwise).
// Another build of the service can be measured with --service; the service
// built here is started with --connections-per-network 0 (all the load comes
// from one address).
#include <fcntl.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <sstream>
#include <thread>

#include "server/storage/storage.h"
#include "tests/server/service_harness.h"
#include "tests/server/test_database.h"

using namespace tolvar;
using namespace tolvar::test;
using Clock = std::chrono::steady_clock;

namespace {

std::string number_of(int i) { return std::to_string(13900000000LL + i); }

// Client i is a member with plenty of minutes whose friend is member i + 1
// (registered with i's number as referrer).
void prepare_members(const std::string &address, int clients) {
    server::Storage storage(address);
    for (int i = 0; i <= clients; ++i)
        storage.register_member(number_of(i), i > 0 ? std::optional<std::string>(number_of(i - 1)) : std::nullopt,
                                1000000000, 0);
}

// A PostgreSQL cluster of the benchmark's own, for its run.
class Cluster {
public:
    Cluster() : started_(run({"/bin/sh", TOLVAR_POSTGRES_CLUSTER, "start", state_.path().string()})) {}
    ~Cluster() {
        if (started_) run({"/bin/sh", TOLVAR_POSTGRES_CLUSTER, "stop", state_.path().string()});
    }
    // A fresh database in it; empty when the cluster did not start.
    std::string database() {
        if (!started_) return {};
        std::string cluster = read_file(state_.path() / "address");
        cluster.erase(cluster.find_last_not_of("\n") + 1);
        SqlPeek(cluster).text("CREATE DATABASE bench");
        return "postgresql:///bench" + cluster.substr(cluster.find('?'));
    }

private:
    static bool run(const std::vector<std::string> &argv) {
        ProcessResult r = run_process(argv);
        if (r.status != 0) std::fprintf(stderr, "service_bench: %s", r.err.c_str());
        return r.status == 0;
    }
    ScratchDir state_;
    bool started_;
};

// CPU seconds (user and system) a process has used so far, from /proc.
double cpu_seconds(pid_t pid) {
    std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
    size_t end = stat.rfind(')');
    if (end == std::string::npos) return 0;
    std::istringstream fields(stat.substr(end + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i >= 14) ticks += std::stod(field);  // utime, stime
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct ClientResult {
    std::vector<double> latencies_ms;
    long failed = 0;
};

class BenchClient {
public:
    BenchClient(int port, const std::string &address, int index)
        : port_(port), host_("127.0.0.1:" + std::to_string(port)), db_(address), number_(number_of(index)),
          friend_number_(number_of(index + 1)) {}

    void run(Clock::time_point until, ClientResult &result) {
        friend_id_ = db_.text("SELECT id FROM members WHERE number = $1", friend_number_);
        while (Clock::now() < until) {
            cookie_.clear();
            RawReply picture = timed(result, client_request("GET", host_, "/verifycode.php"));
            std::string set = picture.header("Set-Cookie");
            cookie_ = set.substr(0, set.find(';'));
            judge(result, picture.status == 200 && !cookie_.empty());
            std::string token = cookie_.size() > 4 ? cookie_.substr(4) : "";
            std::string code = db_.text("SELECT captcha FROM sessions WHERE token = $1", token);
            judge(result, contains(post(result, "/validate.php",
                                        "top=1&NoCode=1&RedirectUrl=%2Fp.php&MemberCode=" + number_ +
                                            "&MemberPassword=" + number_ + "&ValidCode=" + code +
                                            "&Image2.x=73&Image2.y=14")
                                       .body,
                                   "p.php"));
            std::string minutes = post(result, "/url.php", "action=balance&url=" + host_ + "&ip=127.0.0.1").body;
            judge(result, !minutes.empty() && minutes.find_first_not_of("0123456789") == std::string::npos);
            size_t call = post(result, "/url.php", "action=sendfreecall&tel=13700000000&url=" + host_ + "&ip=127.0.0.1")
                              .body.size();
            judge(result, call > 100 && call < 160);
            judge(result, contains(post(result, "/p.php?class=",
                                        "action=sendsms&key_id=" + friend_id_ + "&url=" + host_ + "&tel=" +
                                            friend_number_ + "&msg=" + form_value("\xc4\xe3\xba\xc3 A&B"))
                                       .body,
                                   gbk_success));
            judge(result, contains(timed(result, client_request("GET", host_, "/p.php?class=p&action=friend", "",
                                                                cookie_))
                                       .body,
                                   friend_id_ + "','" + friend_number_));
        }
    }

private:
    RawReply timed(ClientResult &result, const std::string &request) {
        auto start = Clock::now();
        RawReply reply = round_trip(port_, request);
        result.latencies_ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        return reply;
    }
    RawReply post(ClientResult &result, const std::string &path, const std::string &body) {
        return timed(result, client_request("POST", host_, path, body, cookie_));
    }
    static void judge(ClientResult &result, bool ok) { result.failed += !ok; }

    int port_;
    std::string host_;
    SqlPeek db_;  // to read the captcha code as a person reads the picture
    std::string number_, friend_number_, friend_id_, cookie_;
};

// A minimal HTTP server on loopback: one thread polling every connection,
// each request answered by one write of a fixed reply. The floor of the
// kept-connection runs.
class FloorServer {
public:
    FloorServer() {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
        listen(listener_, 1024);
        socklen_t size = sizeof addr;
        getsockname(listener_, reinterpret_cast<sockaddr *>(&addr), &size);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~FloorServer() {
        stopping_ = true;
        thread_.join();
        close(listener_);
    }
    int port() const { return port_; }

private:
    void serve() {
        const std::string reply =
            "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=gb2312\r\nContent-Length: 20\r\n\r\n"
            "<h2>127.0.0.1</h2>\r\n";
        std::vector<pollfd> fds = {{listener_, POLLIN, 0}};
        std::vector<std::string> pending = {""};
        while (!stopping_) {
            if (poll(fds.data(), fds.size(), 50) <= 0) continue;
            for (size_t i = fds.size(); i-- > 1;) {
                if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                char buffer[4096];
                ssize_t n = recv(fds[i].fd, buffer, sizeof buffer, 0);
                if (n <= 0) {
                    close(fds[i].fd);
                    fds.erase(fds.begin() + i);
                    pending.erase(pending.begin() + i);
                    continue;
                }
                pending[i].append(buffer, static_cast<size_t>(n));
                for (size_t end; (end = pending[i].find("\r\n\r\n")) != std::string::npos;) {
                    pending[i].erase(0, end + 4);
                    send(fds[i].fd, reply.data(), reply.size(), MSG_NOSIGNAL);
                }
            }
            if (fds[0].revents & POLLIN)
                for (int fd; (fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
                    int yes = 1;
                    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
                    fds.push_back({fd, POLLIN, 0});
                    pending.emplace_back();
                }
        }
        for (size_t i = 1; i < fds.size(); ++i) close(fds[i].fd);
    }
    int listener_ = -1, port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

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

// One reply read from a kept connection; false when it ends first, or asks to
// be closed (then the caller connects again).
bool read_kept_reply(int fd, std::string &pending, bool &close_after, Clock::time_point give_up) {
    while (Clock::now() < give_up) {
        size_t end = pending.find("\r\n\r\n");
        if (end != std::string::npos) {
            std::string head = pending.substr(0, end);
            size_t at = head.find("Content-Length: ");
            size_t length = at == std::string::npos ? 0 : std::stoul(head.substr(at + 16));
            if (pending.size() >= end + 4 + length) {
                close_after = head.find("Connection: close") != std::string::npos;
                pending.erase(0, end + 4 + length);
                return true;
            }
        }
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buffer[16384];
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        pending.append(buffer, static_cast<size_t>(n));
    }
    return false;
}

struct KeptRun {
    long requests = 0, failed = 0;
    double seconds = 0;
    std::vector<double> latencies_ms;
    double per_second() const { return seconds > 0 ? requests / seconds : 0; }
    double p99() const {
        if (latencies_ms.empty()) return 0;
        std::vector<double> v = latencies_ms;
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, static_cast<size_t>(0.99 * v.size()))];
    }
};

// `connections` kept connections, each sending requests one after another
// for `seconds`; a connection that ends is made again.
KeptRun kept_connections(int port, int connections, double seconds) {
    const std::string request = "GET /ip.php HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: " + client_agent + "\r\n\r\n";
    std::vector<KeptRun> runs(connections);
    std::vector<std::thread> threads;
    auto start = Clock::now();
    auto until = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    for (int i = 0; i < connections; ++i)
        threads.emplace_back([&, i] {
            KeptRun &run = runs[i];
            int fd = -1;
            std::string pending;
            while (Clock::now() < until) {
                if (fd < 0) {
                    fd = connect_to(port);
                    pending.clear();
                    if (fd < 0) {
                        ++run.failed;
                        std::this_thread::sleep_for(std::chrono::milliseconds(10));
                        continue;
                    }
                }
                auto sent = Clock::now();
                bool close_after = false;
                if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size()) ||
                    !read_kept_reply(fd, pending, close_after, until + std::chrono::seconds(5))) {
                    ++run.failed;
                    close(fd);
                    fd = -1;
                    continue;
                }
                ++run.requests;
                run.latencies_ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
                if (close_after) {
                    close(fd);
                    fd = -1;
                }
            }
            if (fd >= 0) close(fd);
        });
    for (auto &t : threads) t.join();
    KeptRun all;
    all.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (auto &r : runs) {
        all.requests += r.requests;
        all.failed += r.failed;
        all.latencies_ms.insert(all.latencies_ms.end(), r.latencies_ms.begin(), r.latencies_ms.end());
    }
    return all;
}

void report_kept_connections(int port) {
    FloorServer floor;
    std::printf("\nkept connections, GET /ip.php (floor: one-thread poll server in this process)\n");
    std::printf("%-12s %12s %10s %8s %12s %10s %14s\n", "connections", "requests/s", "p99 ms", "failed", "floor req/s",
                "floor p99", "ratio req/s");
    for (int connections : {1, 64, 256}) {
        KeptRun service = kept_connections(port, connections, 3);
        KeptRun base = kept_connections(floor.port(), connections, 3);
        std::printf("%-12d %12.0f %10.2f %8ld %12.0f %10.2f %14.2f\n", connections, service.per_second(),
                    service.p99(), service.failed, base.per_second(), base.p99(),
                    base.per_second() > 0 ? service.per_second() / base.per_second() : 0.0);
    }
}

}  // namespace

int main(int argc, char **argv) {
    int seconds = 10, clients = 64, positional = 0;
    bool postgresql = false;
    std::string program = TOLVAR_SERVICE;
    std::vector<std::string> extra = {"--connections-per-network", "0"};
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--service" && i + 1 < argc) {
            program = argv[++i];
            extra.clear();
        } else if (a == "postgresql" || a == "sqlite") {
            postgresql = a == "postgresql";
        } else if (a == "--") {
            extra.assign(argv + i + 1, argv + argc);
            break;
        } else if (positional < 2 && !a.empty() && a.find_first_not_of("0123456789") == std::string::npos) {
            (positional++ == 0 ? seconds : clients) = std::atoi(a.c_str());
        } else {
            std::fprintf(stderr, "usage: service_bench [SECONDS] [CLIENTS] [sqlite|postgresql] [--service PATH] [-- SERVICE OPTIONS]\n");
            return 2;
        }
    }
    signal(SIGPIPE, SIG_IGN);
    ScratchDir dir;
    std::optional<Cluster> cluster;
    std::string db_path = (dir.path() / "bench.db").string(), log_path = (dir.path() / "service.log").string();
    if (postgresql) {
        db_path = cluster.emplace().database();
        if (db_path.empty()) return 1;
    }
    prepare_members(db_path, clients);

    pid_t pid = 0;
    std::vector<std::string> command = {program, "--listen", "127.0.0.1:0", "--db", db_path, "--log", log_path};
    command.insert(command.end(), extra.begin(), extra.end());
    std::thread service([&] { run_process(command, {}, [&](pid_t p) { pid = p; }); });
    int port = 0;
    for (int i = 0; i < 500 && port == 0; ++i) {
        std::smatch m;
        std::string log = read_file(log_path);
        if (std::regex_search(log, m, std::regex("listening on http://127\\.0\\.0\\.1:([0-9]+)")))
            port = std::stoi(m[1]);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (port == 0) {
        std::fprintf(stderr, "service_bench: the service did not start\n");
        if (pid) kill(pid, SIGTERM);
        service.join();
        return 1;
    }

    std::vector<ClientResult> results(clients);
    std::vector<std::thread> threads;
    double cpu_at_start = cpu_seconds(pid);
    auto start = Clock::now(), until = start + std::chrono::seconds(seconds);
    for (int i = 0; i < clients; ++i)
        threads.emplace_back([&, i] { BenchClient(port, db_path, i).run(until, results[i]); });
    for (auto &t : threads) t.join();
    double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    double service_cpu = cpu_seconds(pid) - cpu_at_start;

    std::vector<double> all;
    long failed = 0;
    for (auto &r : results) {
        all.insert(all.end(), r.latencies_ms.begin(), r.latencies_ms.end());
        failed += r.failed;
    }
    std::sort(all.begin(), all.end());
    auto percentile = [&](double p) { return all.empty() ? 0.0 : all[std::min(all.size() - 1, size_t(p * all.size()))]; };
    std::printf("\nwhole flow on %s, a connection per request: clients %d, %.1f s: %zu requests, %.0f requests/s\n",
                postgresql ? "PostgreSQL" : "SQLite", clients, elapsed, all.size(),
                all.size() / elapsed);
    std::printf("latency ms: p50 %.2f, p99 %.2f, max %.2f\n", percentile(0.50), percentile(0.99),
                all.empty() ? 0.0 : all.back());
    // What a request costs the service, whatever else the machine is doing.
    std::printf("service CPU per request: %.1f us\n", all.empty() ? 0.0 : service_cpu * 1e6 / all.size());
    std::printf("failed %ld\n", failed);
    report_kept_connections(port);
    kill(pid, SIGTERM);
    service.join();
    return failed == 0 ? 0 : 1;
}
