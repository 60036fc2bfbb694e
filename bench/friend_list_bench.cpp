// The friend list at scale on the real kernel (offscreen) against a loopback
// service: a refresh (fetch, scan, list, save) of pages of 10,000 and 90,000
// friends (440 KB and 4 MB, within the 4 MiB a page may have), entering page
// ③ with the saved file, and
// filling the list box alone, to see that an item costs the same however long
// the list already is. "longest_stall_ms" is the longest time the window's
// event loop did not run during one operation.
//   build/bin/friend_list_bench
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <map>

#include "runtime/controls.h"
#include "runtime/runtime.h"
#include "runtime/window.h"
#include "tests/service/friend_pages.h"
#include "tests/support/kernel_harness.h"
#include "tests/support/loopback_server.h"
#include "tests/support/process.h"

using namespace tolvar;
using namespace tolvar::test;

namespace {

QWidget *g_window = nullptr;

const std::string &page_of(size_t friends) {
    static std::map<size_t, std::string> pages;
    auto it = pages.find(friends);
    if (it == pages.end()) it = pages.emplace(friends, friend_page(numbered_friends(friends))).first;
    return it->second;
}

std::atomic<const std::string *> g_served{nullptr};

LoopbackServer &server() {
    static LoopbackServer s([](const HttpRequest &, ServerConnection &c) { c.reply(*g_served.load()); });
    return s;
}

ScratchDir &program_folder() {
    static ScratchDir folder;
    return folder;
}

// The longest time between two runs of the event loop while it lives.
class StallMeter {
public:
    StallMeter() {
        since_.start();
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            longest_ = std::max(longest_, since_.restart());
        });
        timer_.start(1);
    }
    qint64 longest_ms() {
        longest_ = std::max(longest_, since_.restart());
        return longest_;
    }

private:
    QTimer timer_;
    QElapsedTimer since_;
    qint64 longest_ = 0;
};

// The time an iteration took, per one of its `count` things.
benchmark::Counter time_each(size_t count) {
    return benchmark::Counter(static_cast<double>(count),
                              benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

QTabBar *tabs() { return g_window->findChild<QTabBar *>(); }
int listed() { return g_window->findChild<QListWidget *>(QString::fromUtf8("列表框1"))->count(); }

void refresh(benchmark::State &state) {
    const auto friends = static_cast<size_t>(state.range(0));
    g_served = &page_of(friends);
    tabs()->setCurrentIndex(2);
    auto *button = g_window->findChild<QPushButton *>(QString::fromUtf8("按钮18"));
    qint64 stall = 0;
    for (auto _ : state) {
        StallMeter meter;
        button->click();
        QCoreApplication::processEvents();  // the list's delayed layout and paint
        stall = std::max(stall, meter.longest_ms());
        if (listed() != static_cast<int>(friends)) state.SkipWithError("wrong number of friends listed");
    }
    state.counters["page_bytes"] = static_cast<double>(page_of(friends).size());
    state.counters["longest_stall_ms"] = static_cast<double>(stall);
    state.counters["per_friend"] = time_each(friends);
}
BENCHMARK(refresh)->Arg(10000)->Arg(90000)->Unit(benchmark::kMillisecond)->UseRealTime();

void enter_friend_page(benchmark::State &state) {
    const auto friends = static_cast<size_t>(state.range(0));
    write_file(program_folder().path() / "hao.txt", friend_file_text(numbered_friends(friends)));
    qint64 stall = 0;
    for (auto _ : state) {
        tabs()->setCurrentIndex(1);
        StallMeter meter;
        tabs()->setCurrentIndex(2);
        QCoreApplication::processEvents();
        stall = std::max(stall, meter.longest_ms());
        if (listed() != static_cast<int>(friends)) state.SkipWithError("wrong number of friends listed");
    }
    state.counters["longest_stall_ms"] = static_cast<double>(stall);
    state.counters["per_friend"] = time_each(friends);
}
BENCHMARK(enter_friend_page)->Arg(10000)->Arg(90000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The list box alone, through the kernel's list commands.
void fill_list(benchmark::State &state) {
    const auto items = static_cast<int32_t>(state.range(0));
    tabs()->setCurrentIndex(2);
    for (auto _ : state) {
        runtime::list_clear(runtime::列表框1);
        for (int32_t i = 0; i < items; ++i) runtime::list_add(runtime::列表框1, "13900000000", i);
        QCoreApplication::processEvents();
    }
    state.counters["per_item"] = time_each(static_cast<size_t>(items));
}
BENCHMARK(fill_list)->Arg(10000)->Arg(90000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ScratchDir cookies;
    setenv("XDG_DATA_HOME", cookies.path().c_str(), 1);
    benchmark::Initialize(&argc, argv);
    program::ProgramSettings settings = loopback_settings();
    settings.service_host = server().host();
    run_with_window(
        [](QWidget *w) {
            g_window = w;
            benchmark::RunSpecifiedBenchmarks();
        },
        image::write_image(program::build_program_image(settings)), program_folder().path().string());
    benchmark::Shutdown();
    return 0;
}
