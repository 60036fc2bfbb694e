// Load on tolvar-service: 64 clients at once, each going through the whole
// flow again and again for a fixed time (captcha, login, balance, call,
// message, friend page), every request on a connection of its own as the
// client makes them. Prints requests per second, latency percentiles and the
// number of failed requests (a reply the client would judge a failure).
// The service keeps its data in a SQLite file, or with "postgresql" in a
// throw-away PostgreSQL cluster that the benchmark starts and stops.
//   build/bin/service_bench [SECONDS] [CLIENTS] [sqlite|postgresql]
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

}  // namespace

int main(int argc, char **argv) {
    int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    int clients = argc > 2 ? std::atoi(argv[2]) : 64;
    bool postgresql = argc > 3 && std::string(argv[3]) == "postgresql";
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
    std::thread service([&] {
        run_process({TOLVAR_SERVICE, "--listen", "127.0.0.1:0", "--db", db_path, "--log", log_path}, {},
                    [&](pid_t p) { pid = p; });
    });
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
    kill(pid, SIGTERM);
    service.join();

    std::vector<double> all;
    long failed = 0;
    for (auto &r : results) {
        all.insert(all.end(), r.latencies_ms.begin(), r.latencies_ms.end());
        failed += r.failed;
    }
    std::sort(all.begin(), all.end());
    auto percentile = [&](double p) { return all.empty() ? 0.0 : all[std::min(all.size() - 1, size_t(p * all.size()))]; };
    std::printf("%s, clients %d, %.1f s: %zu requests, %.0f requests/s\n", postgresql ? "PostgreSQL" : "SQLite",
                clients, elapsed, all.size(),
                all.size() / elapsed);
    std::printf("latency ms: p50 %.2f, p99 %.2f, max %.2f\n", percentile(0.50), percentile(0.99),
                all.empty() ? 0.0 : all.back());
    // What a request costs the service, whatever else the machine is doing.
    std::printf("service CPU per request: %.1f us\n", all.empty() ? 0.0 : service_cpu * 1e6 / all.size());
    std::printf("failed %ld\n", failed);
    return failed == 0 ? 0 : 1;
}
