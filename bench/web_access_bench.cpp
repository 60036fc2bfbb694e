// Loopback exchanges through the web access routine (program -> kernel ->
// wininet stand-in -> libcurl) against the same exchanges through plain
// libcurl in this process, for bodies of 1 KiB, 1 MiB and 16 MiB; and an
// exchange whose reply sets a session cookie against the same one without.
// Each pair ends with the ratio of their median CPU times and its bound.
// Then the waiting itself, each figure beside its floor from the same run:
// how long a question from outside (an accessibility client asks over a
// socket) waits for its answer while an exchange waits on a silent server,
// against the same questions to an idle window; and the CPU time of a silent
// wait (TOLVAR_SILENT_SECONDS, 30 by default) against an idle window's; and
// the peak of resident memory during hostile replies (a 64 MiB body, 10,000
// Set-Cookie lines, a 1 MB cookie) against a legitimate 4 MiB reply's.
//   build/bin/web_access_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <QEventLoop>
#include <QSocketNotifier>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

#include "bench/ratio_report.h"
#include "tests/support/kernel_harness.h"
#include "tests/support/loopback_server.h"
#include "tests/support/process.h"
#include "web/web_access.h"

using namespace tolvar;
using namespace tolvar::test;

namespace {

constexpr int kRepetitions = 9;

LoopbackServer &server() {
    static std::atomic<int> session{0};
    static const std::string kib(1024, 'k'), mib(1u << 20, 'm'), mib16(16u << 20, 'b');
    static LoopbackServer s([](const HttpRequest &r, ServerConnection &c) {
        std::string line = r.request_line();
        if (line.find("/16mib") != std::string::npos) c.reply(mib16);
        else if (line.find("/1mib") != std::string::npos) c.reply(mib);
        else if (line.find("/cookie") != std::string::npos)
            c.reply(kib, "Set-Cookie: session=" + std::to_string(++session) + "; path=/\r\n");
        else c.reply(kib);
    });
    return s;
}

void through_web_access(benchmark::State &state, const char *path) {
    size_t bytes = 0;
    for (auto _ : state) {
        std::string address = server().host() + path;
        web::Bytes body = web::网页_访问(address);
        bytes += body.size();
        benchmark::DoNotOptimize(body.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

size_t collect(char *data, size_t size, size_t count, void *out) {
    static_cast<std::string *>(out)->append(data, size * count);
    return size * count;
}

void through_plain_curl(benchmark::State &state, const char *path) {
    size_t bytes = 0;
    std::string url = "http://" + server().host() + path;
    for (auto _ : state) {
        std::string body;
        CURL *easy = curl_easy_init();
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, collect);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
        curl_easy_perform(easy);
        curl_easy_cleanup(easy);
        bytes += body.size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

// The exchange without a cookie runs first: the store is empty for it.
BENCHMARK_CAPTURE(through_web_access, no_cookie, "/plain")->Unit(benchmark::kMicrosecond)->Repetitions(kRepetitions);
BENCHMARK_CAPTURE(through_web_access, session_cookie, "/cookie")->Unit(benchmark::kMicrosecond)->Repetitions(kRepetitions);
BENCHMARK_CAPTURE(through_web_access, body_1kib, "/1kib")->Unit(benchmark::kMicrosecond)->Repetitions(kRepetitions);
BENCHMARK_CAPTURE(through_plain_curl, body_1kib, "/1kib")->Unit(benchmark::kMicrosecond)->Repetitions(kRepetitions);
BENCHMARK_CAPTURE(through_web_access, body_1mib, "/1mib")->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);
BENCHMARK_CAPTURE(through_plain_curl, body_1mib, "/1mib")->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);
BENCHMARK_CAPTURE(through_web_access, body_16mib, "/16mib")->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);
BENCHMARK_CAPTURE(through_plain_curl, body_16mib, "/16mib")->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);

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
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ScratchDir data;
    setenv("XDG_DATA_HOME", data.path().c_str(), 1);
    std::vector<char *> arguments;
    bench::initialize(argc, argv, arguments);
    server();
    bench::RatioReporter reporter;
    // The benchmarks run inside the program, with the kernel and its window up.
    in_program([&] {
        benchmark::RunSpecifiedBenchmarks(&reporter);
        measure_waiting();
        measure_memory();
    });
    bool within = reporter.print_ratios({
        {"through_web_access/body_1kib", "through_plain_curl/body_1kib", 1.1},
        {"through_web_access/body_1mib", "through_plain_curl/body_1mib", 1.1},
        {"through_web_access/body_16mib", "through_plain_curl/body_16mib", 1.1},
        {"through_web_access/session_cookie", "through_web_access/no_cookie", 1.1},
    });
    benchmark::Shutdown();
    return within ? 0 : 1;
}
