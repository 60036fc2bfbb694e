// Scanning a friend page of 100,000 entries (about 2 MB) with the friend
// pattern through the regular-expression object: create, execute, and every
// match text, as the friend-list reader does.
//   build/bin/regex_bench
#include <benchmark/benchmark.h>

#include "regex/regex_object.h"
#include "tests/support/kernel_harness.h"

using namespace tolvar;

namespace {

std::string friend_page(size_t entries) {
    std::string page = "<html><body><table>";
    char entry[96];
    for (size_t i = 0; i < entries; ++i) {
        std::snprintf(entry, sizeof entry, "<tr><td>f('%06zu','139%08zu')</td></tr>\n", 100000 + i, i);
        page += entry;
    }
    return page + "</table></body></html>";
}

void scan_friend_page(benchmark::State &state) {
    const std::string page = friend_page(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        regex::RegexObject r = regex::fresh_regex_object();
        regex::create(r, "\\d{6}','\\d{11}", {true, true}, {false, true}, {true, true});
        int32_t n = regex::execute(r, page);
        size_t total = 0;
        for (int32_t i = 1; i <= n; ++i) total += regex::match_text(r, i).size();
        regex::destroy(r);
        if (n != state.range(0)) state.SkipWithError("wrong match count");
        benchmark::DoNotOptimize(total);
    }
    state.counters["page_bytes"] = static_cast<double>(page.size());
}
BENCHMARK(scan_friend_page)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    benchmark::Initialize(&argc, argv);
    test::in_program([] { benchmark::RunSpecifiedBenchmarks(); });
    benchmark::Shutdown();
    return 0;
}
