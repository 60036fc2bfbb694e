// Loopback exchanges through the web access routine (program -> kernel ->
// wininet stand-in -> libcurl) against the same exchanges through plain
// libcurl in this process, for bodies of 1 KiB, 1 MiB and 16 MiB; and an
// exchange whose reply sets a session cookie against the same one without.
// Each pair ends with the ratio of their median CPU times and its bound.
//   build/bin/web_access_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <atomic>

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
    in_program([&] { benchmark::RunSpecifiedBenchmarks(&reporter); });
    bool within = reporter.print_ratios({
        {"through_web_access/body_1kib", "through_plain_curl/body_1kib", 1.1},
        {"through_web_access/body_1mib", "through_plain_curl/body_1mib", 1.1},
        {"through_web_access/body_16mib", "through_plain_curl/body_16mib", 1.1},
        {"through_web_access/session_cookie", "through_web_access/no_cookie", 1.1},
    });
    benchmark::Shutdown();
    return within ? 0 : 1;
}
