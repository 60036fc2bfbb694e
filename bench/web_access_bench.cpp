// Loopback exchanges through the web access routine (program -> kernel ->
// wininet stand-in -> libcurl) against the same exchanges through plain
// libcurl in this process, and bodies of 1 MiB and 16 MiB.
//   build/bin/web_access_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include "tests/support/kernel_harness.h"
#include "tests/support/loopback_server.h"
#include "tests/support/process.h"
#include "web/web_access.h"

using namespace tolvar;
using namespace tolvar::test;

namespace {

LoopbackServer &server() {
    static LoopbackServer s([](const HttpRequest &r, ServerConnection &c) {
        size_t size = 64;
        if (r.request_line().find("/1mib") != std::string::npos) size = 1u << 20;
        if (r.request_line().find("/16mib") != std::string::npos) size = 16u << 20;
        c.reply(std::string(size, 'b'));
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

BENCHMARK_CAPTURE(through_web_access, small, "/small")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(through_plain_curl, small, "/small")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(through_web_access, body_1mib, "/1mib")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(through_plain_curl, body_1mib, "/1mib")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(through_web_access, body_16mib, "/16mib")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(through_plain_curl, body_16mib, "/16mib")->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ScratchDir data;
    setenv("XDG_DATA_HOME", data.path().c_str(), 1);
    benchmark::Initialize(&argc, argv);
    server();
    // The benchmarks run inside the program, with the kernel and its window up.
    in_program([] { benchmark::RunSpecifiedBenchmarks(); });
    benchmark::Shutdown();
    return 0;
}
