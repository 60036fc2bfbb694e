// Loopback exchanges through the web access routine (program -> kernel ->
// wininet stand-in -> libcurl) against the same exchanges through plain
// libcurl, for bodies of 1 KiB, 1 MiB and 16 MiB; and an exchange whose reply
// sets a session cookie against the same one without. The server runs in a
// child process, so the CPU time of this process (user and system, every
// thread) is the client's; case and floor are measured in interleaved pairs
// and each line gives the median ratio, its quartiles and its range.
// Then the waiting itself, each figure beside its floor from the same run:
// how long a question from outside (an accessibility client asks over a
// socket) waits for its answer while an exchange waits on a silent server,
// against the same questions to an idle window; and the CPU time of a silent
// wait (TOLVAR_SILENT_SECONDS, 30 by default) against an idle window's; and
// the peak of resident memory during hostile replies (a 64 MiB body, 10,000
// Set-Cookie lines, a 1 MB cookie) against a legitimate 4 MiB reply's.
//   build/bin/web_access_bench [--rounds=N] [--only=exchanges|waiting|memory]
// Where the instructions of one case go, repeatable on a loaded machine:
//   valgrind --tool=callgrind --collect-atstart=no build/bin/web_access_bench --profile=1kib --count=200
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <valgrind/callgrind.h>

#include <QEventLoop>
#include <QSocketNotifier>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

#include "abi/win32.h"
#include "bench/paired_ratio.h"
#include "tests/support/kernel_harness.h"
#include "tests/support/loopback_server.h"
#include "tests/support/process.h"
#include "web/web_access.h"

using namespace tolvar;
using namespace tolvar::test;

namespace {

// The replies the exchanges fetch, from a server in a child process of its
// own: the CPU time of this process is then the client's alone.
void serve_replies(const HttpRequest &r, ServerConnection &c) {
    static std::atomic<int> session{0};
    static const std::string kib(1024, 'k'), mib(1u << 20, 'm'), mib16(16u << 20, 'b');
    std::string line = r.request_line();
    if (line.find("/16mib") != std::string::npos) c.reply(mib16);
    else if (line.find("/1mib") != std::string::npos) c.reply(mib);
    else if (line.find("/cookie") != std::string::npos)
        c.reply(kib, "Set-Cookie: session=" + std::to_string(++session) + "; path=/\r\n");
    else c.reply(kib);
}

// The server's process: started before this process has threads, ended
// (and waited for) with the object; it also ends should this process die.
class ServerProcess {
public:
    ServerProcess() {
        int port_pipe[2], life_pipe[2];
        if (pipe2(port_pipe, O_CLOEXEC) != 0 || pipe2(life_pipe, O_CLOEXEC) != 0) std::abort();
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            close(port_pipe[0]);
            close(life_pipe[1]);
            {
                LoopbackServer s(serve_replies);
                uint16_t port = s.port();
                (void)!write(port_pipe[1], &port, sizeof port);
                char c;
                while (read(life_pipe[0], &c, 1) > 0) {
                }
            }
            _exit(0);
        }
        close(port_pipe[1]);
        close(life_pipe[0]);
        life_ = life_pipe[1];
        uint16_t port = 0;
        if (read(port_pipe[0], &port, sizeof port) != sizeof port) std::abort();
        close(port_pipe[0]);
        host_ = "127.0.0.1:" + std::to_string(port);
    }
    ~ServerProcess() {
        close(life_);
        waitpid(pid_, nullptr, 0);
    }
    const std::string &host() const { return host_; }

private:
    pid_t pid_ = -1;
    int life_ = -1;
    std::string host_;
};

ServerProcess *g_server = nullptr;

web::Bytes through_web_access(const char *path) {
    std::string address = g_server->host() + path;
    return web::网页_访问(address);
}

size_t collect(char *data, size_t size, size_t count, void *out) {
    static_cast<std::string *>(out)->append(data, size * count);
    return size * count;
}

// What a plain libcurl program does for the same result: the same request on
// the wire (the routine's user agent and header lines), a handle and a
// connection of its own, the body in a fresh buffer.
std::string through_plain_curl(const char *path) {
    std::string address = g_server->host() + path;
    std::string url = "http://" + address;
    std::string referer = "Referer: " + url;
    std::string body;
    CURL *easy = curl_easy_init();
    curl_slist *lines = curl_slist_append(nullptr,
                                          "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
                                          "application/x-shockwave-flash, application/vnd.ms-excel, "
                                          "application/vnd.ms-powerpoint, application/msword, */*");
    lines = curl_slist_append(lines, referer.c_str());
    lines = curl_slist_append(lines, "Accept-Language: zh-cn");
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_USERAGENT, TOLVAR_USER_AGENT);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, lines);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    curl_easy_perform(easy);
    curl_easy_cleanup(easy);
    curl_slist_free_all(lines);
    return body;
}

struct ExchangeCase {
    const char *name;
    const char *path;
    size_t size;  // the body each exchange must bring
    int calls;    // exchanges per block
};

const ExchangeCase kCases[] = {
    {"1 KiB", "/1kib", 1024, 40},
    {"1 MiB", "/1mib", 1u << 20, 8},
    {"16 MiB", "/16mib", 16u << 20, 2},
};

int g_rounds = 15;

// Runs `exchange` and stops the run when its body is not the one expected:
// a figure of failed exchanges would be worthless.
template <class Exchange>
std::function<void()> checked(Exchange exchange, const char *path, size_t size) {
    return [exchange, path, size] {
        auto body = exchange(path);
        benchmark::DoNotOptimize(body.data());
        if (body.size() != size) {
            std::fprintf(stderr, "%s brought %zu bytes, not %zu\n", path, body.size(), size);
            std::abort();
        }
    };
}

bool measure_exchanges() {
    bool within = true;
    bench::print_pair_heading();
    // The exchange without a cookie runs first: the store is empty for it.
    within &= bench::print_pair("session cookie / none (web access)",
                                bench::measure_pair(checked(through_web_access, "/cookie", 1024),
                                                    checked(through_web_access, "/plain", 1024), g_rounds, 40),
                                1.1);
    for (const ExchangeCase &c : kCases)
        within &= bench::print_pair(std::string(c.name) + ": web access / plain libcurl",
                                    bench::measure_pair(checked(through_web_access, c.path, c.size),
                                                        checked(through_plain_curl, c.path, c.size), g_rounds,
                                                        c.calls),
                                    1.1);
    return within;
}

// Under callgrind (--collect-atstart=no): the instructions of `count`
// exchanges of one case alone, the web access routine's or plain libcurl's.
void profile(const std::string &which, int count) {
    bool plain = which.rfind("plain-", 0) == 0;
    std::string size = plain ? which.substr(6) : which;
    std::function<void()> exchange;
    if (size == "cookie" && !plain) exchange = checked(through_web_access, "/cookie", 1024);
    for (const ExchangeCase &c : kCases)
        if (size == c.path + 1)
            exchange = plain ? checked(through_plain_curl, c.path, c.size) : checked(through_web_access, c.path, c.size);
    if (!exchange) {
        std::fprintf(stderr, "no case %s (1kib, 1mib, 16mib, cookie, plain-1kib, ...)\n", which.c_str());
        return;
    }
    exchange();  // the first one warms up
    CALLGRIND_TOGGLE_COLLECT;
    for (int i = 0; i < count; ++i) exchange();
    CALLGRIND_TOGGLE_COLLECT;
}

// Questions asked from another thread over a socket, answered by the GUI
// thread from its event loop (as an accessibility client's are, over D-Bus):
// the time from each question to its answer, in milliseconds.
class Questions {
public:
    Questions() {
        socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds_);
        answerer_ = std::make_unique<QSocketNotifier>(fds_[0], QSocketNotifier::Read);
        QObject::connect(answerer_.get(), &QSocketNotifier::activated, [this] {
            char c;
            if (read(fds_[0], &c, 1) == 1) (void)!write(fds_[0], &c, 1);
        });
    }
    ~Questions() {
        answerer_.reset();
        close(fds_[0]);
        close(fds_[1]);
    }
    // Starts asking `count` questions, one every 10 ms, on a thread of its own.
    void ask(int count) {
        asker_ = std::thread([this, count] {
            for (int i = 0; i < count; ++i) {
                auto t0 = std::chrono::steady_clock::now();
                char c = 'q';
                if (write(fds_[1], &c, 1) != 1 || read(fds_[1], &c, 1) != 1) return;
                waits_.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
    }
    std::vector<double> finish() {
        asker_.join();
        std::sort(waits_.begin(), waits_.end());
        return waits_;
    }

private:
    int fds_[2];
    std::unique_ptr<QSocketNotifier> answerer_;
    std::thread asker_;
    std::vector<double> waits_;
};

double thread_cpu_ms() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

void idle_for(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void print_waits(const char *what, const std::vector<double> &w) {
    if (w.empty()) return;
    std::printf("  %-44s median %7.3f ms   max %7.3f ms   (%zu questions)\n", what, w[w.size() / 2], w.back(), w.size());
}

// The figures of waiting, each beside its floor measured here and now.
void measure_waiting() {
    constexpr int kQuestions = 60;
    std::printf("\nwaiting on a silent server\n");
    Questions idle_questions;
    idle_questions.ask(kQuestions);
    idle_for(kQuestions * 12 + 300);
    print_waits("answer to a question, idle window", idle_questions.finish());

    setenv("WININET_RECEIVE_TIMEOUT", std::to_string(kQuestions * 12 + 300).c_str(), 1);
    LoopbackServer silent([](const HttpRequest &, ServerConnection &c) { c.pause(kQuestions * 12 + 800); });
    Questions busy_questions;
    busy_questions.ask(kQuestions);
    std::string address = silent.host();
    web::网页_访问(address);
    print_waits("answer to a question, exchange waiting", busy_questions.finish());

    int seconds = 30;
    if (const char *s = std::getenv("TOLVAR_SILENT_SECONDS")) seconds = std::max(1, std::atoi(s));
    double before = thread_cpu_ms();
    idle_for(seconds * 1000);
    double idle_cpu = thread_cpu_ms() - before;
    setenv("WININET_RECEIVE_TIMEOUT", std::to_string(seconds * 1000 + 2000).c_str(), 1);
    LoopbackServer slow([seconds](const HttpRequest &, ServerConnection &c) {
        c.pause(seconds * 1000);
        c.reply("late");
    });
    address = slow.host();
    before = thread_cpu_ms();
    web::网页_访问(address);
    double wait_cpu = thread_cpu_ms() - before;
    unsetenv("WININET_RECEIVE_TIMEOUT");
    std::printf("  CPU time of a %d s silent wait             %8.3f ms   idle window %8.3f ms   ratio %.2f\n", seconds,
                wait_cpu, idle_cpu, idle_cpu > 0 ? wait_cpu / idle_cpu : 0.0);
}

long status_kib(const char *field) {
    std::string status = read_file("/proc/self/status");
    size_t at = status.find(std::string(field) + ":");
    return at == std::string::npos ? -1 : std::atol(status.c_str() + at + std::strlen(field) + 1);
}

// How far resident memory rose above where it stood while `exchange` ran.
long peak_growth_kib(const std::function<void()> &exchange) {
    malloc_trim(0);  // memory freed earlier goes back first: it would hide a rise
    write_file("/proc/self/clear_refs", "5");  // the peak starts again from now
    long before = status_kib("VmRSS");
    exchange();
    return status_kib("VmHWM") - before;
}

void measure_memory() {
    LoopbackServer server([](const HttpRequest &r, ServerConnection &c) {
        std::string line = r.request_line();
        if (line.find("/legitimate") != std::string::npos) {
            c.reply(std::string(4u << 20, 'l'));
        } else if (line.find("/huge") != std::string::npos) {
            c.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(64u << 20) + "\r\n\r\n");
            std::string block(1 << 20, 'h');
            for (int i = 0; i < 64; ++i) c.send(block);
        } else if (line.find("/cookies") != std::string::npos) {
            std::string lines;
            for (int i = 0; i < 10000; ++i) lines += "Set-Cookie: c" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
            c.reply("ok", lines);
        } else {
            c.reply("ok", "Set-Cookie: big=" + std::string(1 << 20, 'c') + "\r\n");
        }
    });
    auto fetch = [&](const char *path) {
        return [&server, path] {
            std::string address = server.host() + path;
            web::网页_访问(address);
        };
    };
    long floor = peak_growth_kib(fetch("/legitimate"));
    std::printf("\npeak resident memory above the start, against a legitimate 4 MiB reply (%ld KiB)\n", floor);
    for (const char *path : {"/huge", "/cookies", "/big-cookie"}) {
        long grew = peak_growth_kib(fetch(path));
        std::printf("  %-44s %8ld KiB   ratio %.2f\n", path, grew, floor > 0 ? double(grew) / floor : 0.0);
    }
}

}  // namespace

int main(int argc, char **argv) {
    // Before any thread: the server's process is a fork of this one.
    ServerProcess server;
    g_server = &server;
    // Blocks beyond 128 KiB are fresh mappings, freed when done, whatever ran
    // before: each exchange's body lands in fresh memory, the routine's and
    // plain libcurl's alike, instead of in warm heap memory on some runs only.
    mallopt(M_MMAP_THRESHOLD, 128 << 10);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ScratchDir data;
    setenv("XDG_DATA_HOME", data.path().c_str(), 1);
    std::string only, profiled;
    int count = 100;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a.rfind("--rounds=", 0) == 0) g_rounds = std::max(1, std::atoi(a.c_str() + 9));
        else if (a.rfind("--only=", 0) == 0) only = a.substr(7);
        else if (a.rfind("--profile=", 0) == 0) profiled = a.substr(10);
        else if (a.rfind("--count=", 0) == 0) count = std::max(1, std::atoi(a.c_str() + 8));
        else {
            std::fprintf(stderr,
                         "usage: %s [--rounds=N] [--only=exchanges|waiting|memory]\n"
                         "       %s --profile=1kib|1mib|16mib|cookie|plain-1kib|plain-1mib|plain-16mib [--count=N]\n",
                         argv[0], argv[0]);
            return 2;
        }
    }
    bool within = true;
    // The figures are taken inside the program, with the kernel and its window up.
    in_program([&] {
        if (!profiled.empty()) {
            profile(profiled, count);
            return;
        }
        if (only.empty() || only == "exchanges") within = measure_exchanges();
        if (only.empty() || only == "waiting") measure_waiting();
        if (only.empty() || only == "memory") measure_memory();
    });
    return within ? 0 : 1;
}
