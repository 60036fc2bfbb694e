// Load on tolvar-service: 64 clients at once, each going through the whole
// flow again and again for a fixed time (captcha, login, balance, call,
// message, friend page), every request on a connection of its own as the
// client makes them. Prints requests per second, latency percentiles and the
// number of failed requests (a reply the client would judge a failure).
//   build/bin/service_bench [SECONDS] [CLIENTS]
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

#include "server/database.h"
#include "server/friends.h"
#include "server/members.h"
#include "server/sessions.h"
#include "tests/server/service_harness.h"

using namespace tolvar;
using namespace tolvar::test;
using Clock = std::chrono::steady_clock;

namespace {

std::string number_of(int i) { return std::to_string(13900000000LL + i); }

// Client i is a member with plenty of minutes whose friend is member i + 1
// (registered with i's number as referrer).
void prepare_members(const std::string &db_path, int clients) {
    server::Database db(db_path);
    auto c = db.lease();
    server::WriteTransaction tx(*c);
    for (int i = 0; i <= clients; ++i)
        server::register_member(*c, number_of(i), i > 0 ? std::optional<std::string>(number_of(i - 1)) : std::nullopt,
                                0);
    server::execute(*c, "UPDATE members SET minutes = 1000000000");
    tx.commit();
}

struct ClientResult {
    std::vector<double> latencies_ms;
    long failed = 0;
};

class BenchClient {
public:
    BenchClient(int port, const std::string &db_path, int index)
        : port_(port), host_("127.0.0.1:" + std::to_string(port)), db_(db_path), number_(number_of(index)),
          friend_number_(number_of(index + 1)) {}

    void run(Clock::time_point until, ClientResult &result) {
        auto c = db_.lease();
        {
            server::Query q(*c, "SELECT id FROM members WHERE number = ?1", friend_number_);
            if (q.next()) friend_id_ = std::to_string(q.integer(0));
        }
        while (Clock::now() < until) {
            cookie_.clear();
            RawReply picture = timed(result, client_request("GET", host_, "/verifycode.php"));
            std::string set = picture.header("Set-Cookie");
            cookie_ = set.substr(0, set.find(';'));
            judge(result, picture.status == 200 && !cookie_.empty());
            std::string code;
            {
                server::Query q(*c, "SELECT captcha FROM sessions WHERE token = ?1", cookie_.substr(4));
                if (q.next()) code = q.text(0);
            }
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
    server::Database db_;
    std::string number_, friend_number_, friend_id_, cookie_;
};

}  // namespace

int main(int argc, char **argv) {
    int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    int clients = argc > 2 ? std::atoi(argv[2]) : 64;
    signal(SIGPIPE, SIG_IGN);
    ScratchDir dir;
    std::string db_path = (dir.path() / "bench.db").string(), log_path = (dir.path() / "service.log").string();
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
    auto start = Clock::now(), until = start + std::chrono::seconds(seconds);
    for (int i = 0; i < clients; ++i)
        threads.emplace_back([&, i] { BenchClient(port, db_path, i).run(until, results[i]); });
    for (auto &t : threads) t.join();
    double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
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
    std::printf("clients %d, %.1f s: %zu requests, %.0f requests/s\n", clients, elapsed, all.size(),
                all.size() / elapsed);
    std::printf("latency ms: p50 %.2f, p99 %.2f, max %.2f\n", percentile(0.50), percentile(0.99),
                all.empty() ? 0.0 : all.back());
    std::printf("failed %ld\n", failed);
    return failed == 0 ? 0 : 1;
}
