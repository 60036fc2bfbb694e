// Scanning a friend page of 100,000 entries (about 4 MB) with the friend
// pattern through the regular-expression object: create, execute, and every
// match text, as the friend-list reader does; against its floor: PCRE2-16
// with JIT straight on the page, with one conversion each way (the page to
// UTF-16, each match back to GBK). Then filling the window's list with the
// 100,000 entries through the kernel, against a QListWidget filled directly.
//   build/bin/regex_bench
#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <QListWidget>

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include "bench/ratio_report.h"
#include "regex/regex_object.h"
#include "runtime/controls.h"
#include "runtime/window.h"
#include "tests/support/kernel_harness.h"

using namespace tolvar;

namespace {

constexpr int kRepetitions = 9;
constexpr size_t kEntries = 100000;

std::string friend_page(size_t entries) {
    std::string page = "<html><body><table>";
    char entry[96];
    for (size_t i = 0; i < entries; ++i) {
        std::snprintf(entry, sizeof entry, "<tr><td>f('%06zu','139%08zu')</td></tr>\n", 100000 + i, i);
        page += entry;
    }
    return page + "</table></body></html>";
}

const std::string &page() {
    static const std::string p = friend_page(kEntries);
    return p;
}

void scan_friend_page(benchmark::State &state) {
    for (auto _ : state) {
        regex::RegexObject r = regex::fresh_regex_object();
        regex::create(r, "\\d{6}','\\d{11}", {true, true}, {false, true}, {true, true});
        int32_t n = regex::execute(r, page());
        size_t total = 0;
        for (int32_t i = 1; i <= n; ++i) total += regex::match_text(r, i).size();
        regex::destroy(r);
        if (n != static_cast<int32_t>(kEntries)) state.SkipWithError("wrong match count");
        benchmark::DoNotOptimize(total);
    }
}

// The same work with PCRE2 directly: the options the engine uses, JIT.
void scan_with_pcre2(benchmark::State &state) {
    UErrorCode err = U_ZERO_ERROR;
    UConverter *gbk = ucnv_open("windows-936-2000", &err);
    const std::u16string pattern = u"\\d{6}','\\d{11}";
    int error = 0;
    PCRE2_SIZE at = 0;
    for (auto _ : state) {
        std::u16string units(page().size() + 1, u'\0');
        err = U_ZERO_ERROR;
        int32_t length = ucnv_toUChars(gbk, reinterpret_cast<UChar *>(units.data()), static_cast<int32_t>(units.size()),
                                       page().data(), static_cast<int32_t>(page().size()), &err);
        units.resize(static_cast<size_t>(length));
        pcre2_code *code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                         PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_ALT_BSUX | PCRE2_CASELESS, &error,
                                         &at, nullptr);
        pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
        pcre2_match_data *data = pcre2_match_data_create_from_pattern(code, nullptr);
        std::vector<std::string> matches;
        PCRE2_SIZE offset = 0;
        auto *subject = reinterpret_cast<PCRE2_SPTR>(units.data());
        while (pcre2_match(code, subject, units.size(), offset, 0, data, nullptr) > 0) {
            PCRE2_SIZE *ov = pcre2_get_ovector_pointer(data);
            std::string text((ov[1] - ov[0]) * 2 + 1, '\0');
            err = U_ZERO_ERROR;
            int32_t bytes = ucnv_fromUChars(gbk, text.data(), static_cast<int32_t>(text.size()),
                                            reinterpret_cast<const UChar *>(units.data() + ov[0]),
                                            static_cast<int32_t>(ov[1] - ov[0]), &err);
            text.resize(static_cast<size_t>(bytes));
            matches.push_back(std::move(text));
            offset = ov[1] > ov[0] ? ov[1] : ov[1] + 1;
        }
        pcre2_match_data_free(data);
        pcre2_code_free(code);
        if (matches.size() != kEntries) state.SkipWithError("wrong match count");
        benchmark::DoNotOptimize(matches.data());
    }
    ucnv_close(gbk);
}

// The list filling as the friend list does it: one item per entry.
void fill_list_through_kernel(benchmark::State &state) {
    for (auto _ : state) {
        runtime::list_clear(runtime::列表框1);
        for (size_t i = 0; i < kEntries; ++i) runtime::list_add(runtime::列表框1, "13900000001,100001", 0);
    }
    runtime::list_clear(runtime::列表框1);
}

void fill_list_directly(benchmark::State &state) {
    QListWidget list;
    for (auto _ : state) {
        list.clear();
        for (size_t i = 0; i < kEntries; ++i) list.addItem(QString::fromLatin1("13900000001,100001"));
    }
}

BENCHMARK(scan_friend_page)->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);
BENCHMARK(scan_with_pcre2)->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);
BENCHMARK(fill_list_through_kernel)->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);
BENCHMARK(fill_list_directly)->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);

}  // namespace

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::vector<char *> arguments;
    bench::initialize(argc, argv, arguments);
    page();
    bench::RatioReporter reporter;
    test::in_program([&] { benchmark::RunSpecifiedBenchmarks(&reporter); });
    bool within = reporter.print_ratios({
        {"scan_friend_page", "scan_with_pcre2", 1.5},
        {"fill_list_through_kernel", "fill_list_directly", 0},  // measured, not bounded
    });
    benchmark::Shutdown();
    return within ? 0 : 1;
}
