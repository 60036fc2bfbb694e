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
//  3. Deployments: the whole flow again for SECONDS on each of SQLite, on
//     PostgreSQL, and on PostgreSQL with 1 and with 2 instances behind nginx
//     (configured from deploy/nginx, its per-address limits left out since all
//     the load comes from one address); requests per second, p99, and the CPU
//     each request cost the service, PostgreSQL, nginx and the benchmark's
//     own clients.
//   build/bin/service_bench [SECONDS] [CLIENTS] [sqlite|postgresql] [--service PATH] [-- SERVICE OPTIONS]
// With "postgresql" the service keeps its data in a throw-away PostgreSQL
// cluster that the benchmark starts and stops (a SQLite file otherwise).
// Another build of the service can be measured with --service; the service
// built here is started with its per-network and per-member limits out of
// the way (all the load comes from one address).
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
#include "tests/system/running_nginx.h"
#include "tests/support/loopback_server.h"

using namespace tolvar;
using namespace tolvar::test;
using Clock = std::chrono::steady_clock;

namespace {

std::string number_of(int i) { return std::to_string(13900000000LL + i); }

// The device cookie value bound to client i's member: 32 hex digits.
std::string device_of(int i) {
    char token[33];
    std::snprintf(token, sizeof token, "%032x", static_cast<unsigned>(i + 1));
    return token;
}

// Client i is a member with plenty of minutes whose friend is member i + 1
// (registered with i's number as referrer), logging in from device i.
void prepare_members(const std::string &address, int clients) {
    server::Storage storage(address);
    for (int i = 0; i <= clients; ++i) {
        auto registration = storage.register_member(
            number_of(i), i > 0 ? std::optional<std::string>(number_of(i - 1)) : std::nullopt, 1000000000, 0);
        if (registration) storage.bind_device(device_of(i), registration->member.id, INT64_MAX / 2, 0, 5);
    }
}

// A PostgreSQL cluster of the benchmark's own, for its run.
class Cluster {
public:
    Cluster() : started_(run({"/bin/sh", TOLVAR_POSTGRES_CLUSTER, "start", state_.path().string()})) {}
    ~Cluster() {
        if (started_) run({"/bin/sh", TOLVAR_POSTGRES_CLUSTER, "stop", state_.path().string()});
    }
    // A fresh database in it; empty when the cluster did not start.
    std::string database(const std::string &name = "bench") {
        if (!started_) return {};
        std::string cluster = read_file(state_.path() / "address");
        cluster.erase(cluster.find_last_not_of("\n") + 1);
        SqlPeek(cluster).text("CREATE DATABASE " + name);
        return "postgresql:///" + name + cluster.substr(cluster.find('?'));
    }
    // The cluster's postmaster, whose children are its backends.
    pid_t postmaster() const {
        std::string folder = read_file(state_.path() / "folder");
        folder.erase(folder.find_last_not_of("\n") + 1);
        return static_cast<pid_t>(std::atol(read_file(folder + "/data/postmaster.pid").c_str()));
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

// CPU seconds (user and system) a process has used so far, from /proc; with
// `reaped`, also those of its children that have ended and been waited for.
// `parent` receives its parent's pid.
// With `main_thread`, only the process's first thread: the service's
// connection loop, which every request passes through one at a time.
double cpu_seconds(pid_t pid, bool reaped = false, pid_t *parent = nullptr, bool main_thread = false) {
    const std::string process = "/proc/" + std::to_string(pid);
    std::string stat = read_file(main_thread ? process + "/task/" + std::to_string(pid) + "/stat" : process + "/stat");
    size_t end = stat.rfind(')');
    if (end == std::string::npos) return 0;
    std::istringstream fields(stat.substr(end + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 17 && fields >> field; ++i) {
        if (i == 4 && parent) *parent = static_cast<pid_t>(std::atol(field.c_str()));
        if (i == 14 || i == 15 || (reaped && i >= 16)) ticks += std::stod(field);  // utime, stime, cutime, cstime
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// CPU seconds of a process, its living children and its children that ended:
// PostgreSQL's postmaster with its backends, nginx's master with its workers.
double family_cpu_seconds(pid_t pid) {
    if (pid <= 0) return 0;
    double total = cpu_seconds(pid, true);
    for (const auto &entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        pid_t parent = 0;
        double own = cpu_seconds(std::atoi(name.c_str()), false, &parent);
        if (parent == pid) total += own;
    }
    return total;
}

struct ClientResult {
    std::vector<double> latencies_ms;
    long failed = 0;
};

class BenchClient {
public:
    BenchClient(int port, const std::string &address, int index)
        : port_(port), host_("127.0.0.1:" + std::to_string(port)), db_(address), number_(number_of(index)),
          friend_number_(number_of(index + 1)), device_(device_of(index)) {}

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
            cookie_ += "; device=" + device_;
            RawReply login = post(result, "/validate.php",
                                  "top=1&NoCode=1&RedirectUrl=%2Fp.php&MemberCode=" + number_ + "&MemberPassword=" +
                                      number_ + "&ValidCode=" + code + "&Image2.x=73&Image2.y=14");
            judge(result, contains(login.body, "p.php"));
            // The login gave the session a new id.
            for (const std::string &line : login.set_cookies())
                if (line.rfind("sid=", 0) == 0) cookie_ = line.substr(0, line.find(';')) + "; device=" + device_;
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
    std::string number_, friend_number_, device_, friend_id_, cookie_;
};

// A minimal HTTP server on loopback: one thread polling every connection,
// each request answered by one write of a fixed reply. The floor of the
// kept-connection runs.
class FloorServer {
public:
    FloorServer() {
        listener_ = tolvar::test::listen_on_loopback(port_, 1024, SOCK_NONBLOCK);
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
    int listener_ = -1;
    uint16_t port_ = 0;
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

// A tolvar-service of the benchmark's own on a free loopback port, its log in
// `log_path`; stopped when the object goes.
class ServiceProcess {
public:
    ServiceProcess(const std::string &program, const std::string &database, const std::vector<std::string> &extra,
                   const std::string &log_path) {
        std::vector<std::string> command = {program, "--listen", "127.0.0.1:0", "--db", database, "--log", log_path};
        command.insert(command.end(), extra.begin(), extra.end());
        thread_ = std::thread([this, command] { run_process(command, {}, [this](pid_t p) { pid_ = p; }); });
        for (int i = 0; i < 500 && port_ == 0; ++i) {
            std::smatch m;
            std::string log = read_file(log_path);
            if (std::regex_search(log, m, std::regex("listening on http://127\\.0\\.0\\.1:([0-9]+)")))
                port_ = std::stoi(m[1]);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (port_ == 0) std::fprintf(stderr, "service_bench: the service did not start\n%s", read_file(log_path).c_str());
    }
    ~ServiceProcess() {
        for (int i = 0; i < 500 && pid_ == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (pid_ > 0) kill(pid_, SIGTERM);
        thread_.join();
    }
    ServiceProcess(const ServiceProcess &) = delete;
    ServiceProcess &operator=(const ServiceProcess &) = delete;

    int port() const { return port_; }
    pid_t pid() const { return pid_; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    std::atomic<pid_t> pid_{0};
    int port_ = 0;
    std::thread thread_;
};

struct FlowResult {
    std::vector<double> latencies_ms;  // sorted
    long failed = 0;
    double seconds = 0;
    double per_second() const { return seconds > 0 ? latencies_ms.size() / seconds : 0; }
    double percentile(double p) const {
        return latencies_ms.empty() ? 0.0 : latencies_ms[std::min(latencies_ms.size() - 1, size_t(p * latencies_ms.size()))];
    }
};

// `clients` clients through the whole flow at once against `port` for `seconds`.
FlowResult whole_flow(int port, const std::string &database, int clients, int seconds) {
    std::vector<ClientResult> results(clients);
    std::vector<std::thread> threads;
    auto start = Clock::now(), until = start + std::chrono::seconds(seconds);
    for (int i = 0; i < clients; ++i)
        threads.emplace_back([&, i] { BenchClient(port, database, i).run(until, results[i]); });
    for (auto &t : threads) t.join();
    FlowResult flow;
    flow.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (auto &r : results) {
        flow.latencies_ms.insert(flow.latencies_ms.end(), r.latencies_ms.begin(), r.latencies_ms.end());
        flow.failed += r.failed;
    }
    std::sort(flow.latencies_ms.begin(), flow.latencies_ms.end());
    return flow;
}

struct Deployment {
    const char *name;
    bool postgresql;
    int instances;
    bool behind_nginx;
};

// The four deployments one after another, each on a fresh database; false
// when one of them could not be started.
bool report_deployments(const std::string &program, const std::vector<std::string> &extra, int clients, int seconds) {
    const Deployment deployments[] = {{"SQLite, 1 instance", false, 1, false},
                                      {"PostgreSQL, 1 instance", true, 1, false},
                                      {"PostgreSQL, 1 instance, nginx", true, 1, true},
                                      {"PostgreSQL, 2 instances, nginx", true, 2, true}};
    Cluster cluster;
    std::printf("\ndeployments, whole flow: clients %d, %d s each; CPU per request in us\n", clients, seconds);
    std::printf("%-32s %11s %8s %8s %7s %9s %6s %9s %7s %7s %8s\n", "deployment", "requests/s", "p50 ms", "p99 ms",
                "failed", "service", "loop", "postgres", "nginx", "total", "clients");
    int row = 0;
    for (const Deployment &d : deployments) {
        ScratchDir dir;
        std::string database =
            d.postgresql ? cluster.database("deployment_" + std::to_string(++row)) : (dir.path() / "bench.db").string();
        if (database.empty()) return false;
        prepare_members(database, clients);
        std::vector<std::string> options = extra;
        if (d.behind_nginx) options.insert(options.end(), {"--trusted-proxy", "127.0.0.1"});
        std::vector<std::unique_ptr<ServiceProcess>> instances;
        std::vector<std::string> upstreams;
        for (int i = 0; i < d.instances; ++i) {
            instances.push_back(std::make_unique<ServiceProcess>(
                program, database, options, (dir.path() / ("service-" + std::to_string(i) + ".log")).string()));
            if (instances.back()->port() == 0) return false;
            upstreams.push_back(instances.back()->host());
        }
        std::unique_ptr<RunningNginx> nginx;
        if (d.behind_nginx) {
            nginx = std::make_unique<RunningNginx>(TOLVAR_NGINX_SITE, upstreams, false);
            if (nginx->port() == 0) {
                std::fprintf(stderr, "service_bench: nginx did not start\n%s", nginx->error_log().c_str());
                return false;
            }
        }
        auto service_cpu = [&](bool loop_only) {
            double total = 0;
            for (auto &instance : instances) total += cpu_seconds(instance->pid(), false, nullptr, loop_only);
            return total;
        };
        pid_t postmaster = d.postgresql ? cluster.postmaster() : 0;
        double service_before = service_cpu(false), loop_before = service_cpu(true), postgres_before = family_cpu_seconds(postmaster),
               nginx_before = nginx ? family_cpu_seconds(nginx->pid()) : 0, clients_before = cpu_seconds(getpid());
        FlowResult flow = whole_flow(nginx ? nginx->port() : instances.front()->port(), database, clients, seconds);
        double requests = std::max<double>(1, static_cast<double>(flow.latencies_ms.size()));
        double service_us = (service_cpu(false) - service_before) * 1e6 / requests,
               loop_us = (service_cpu(true) - loop_before) * 1e6 / requests,
               postgres_us = (family_cpu_seconds(postmaster) - postgres_before) * 1e6 / requests,
               nginx_us = nginx ? (family_cpu_seconds(nginx->pid()) - nginx_before) * 1e6 / requests : 0,
               clients_us = (cpu_seconds(getpid()) - clients_before) * 1e6 / requests;
        // "total" is what the deployment spends per request; "loop" is the
        // part of "service" spent in the instances' connection loops, one
        // thread each (an instance serves at most 1 s / loop requests a
        // second however many cores it has); "clients" is this benchmark's
        // own load generator, which shares the machine.
        std::printf("%-32s %11.0f %8.2f %8.2f %7ld %9.1f %6.1f %9.1f %7.1f %7.1f %8.1f\n", d.name, flow.per_second(),
                    flow.percentile(0.50), flow.percentile(0.99), flow.failed, service_us, loop_us, postgres_us,
                    nginx_us, service_us + postgres_us + nginx_us, clients_us);
        std::fflush(stdout);
    }
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    int seconds = 10, clients = 64, positional = 0;
    bool postgresql = false;
    std::string program = TOLVAR_SERVICE;
    // All the load comes from one address and a few members: no limit of a
    // network or a member's day may stop it.
    std::vector<std::string> extra = {"--connections-per-network", "0",       "--sessions-per-network",
                                      "1000000",                   "--messages-per-day", "1000000",
                                      "--login-failures-per-network", "1000000"};
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
    long failed = 0;
    {
        ScratchDir dir;
        std::optional<Cluster> cluster;
        std::string db_path = (dir.path() / "bench.db").string(), log_path = (dir.path() / "service.log").string();
        if (postgresql) {
            db_path = cluster.emplace().database();
            if (db_path.empty()) return 1;
        }
        prepare_members(db_path, clients);
        ServiceProcess service(program, db_path, extra, log_path);
        if (service.port() == 0) return 1;

        double cpu_at_start = cpu_seconds(service.pid());
        FlowResult flow = whole_flow(service.port(), db_path, clients, seconds);
        double service_cpu = cpu_seconds(service.pid()) - cpu_at_start;
        size_t requests = flow.latencies_ms.size();
        std::printf("\nwhole flow on %s, a connection per request: clients %d, %.1f s: %zu requests, %.0f requests/s\n",
                    postgresql ? "PostgreSQL" : "SQLite", clients, flow.seconds, requests, flow.per_second());
        std::printf("latency ms: p50 %.2f, p99 %.2f, max %.2f\n", flow.percentile(0.50), flow.percentile(0.99),
                    flow.latencies_ms.empty() ? 0.0 : flow.latencies_ms.back());
        // What a request costs the service, whatever else the machine is doing.
        std::printf("service CPU per request: %.1f us\n", requests == 0 ? 0.0 : service_cpu * 1e6 / requests);
        std::printf("failed %ld\n", flow.failed);
        failed += flow.failed;
        report_kept_connections(service.port());
    }
    if (!report_deployments(program, extra, clients, seconds)) return 1;
    return failed == 0 ? 0 : 1;
}
