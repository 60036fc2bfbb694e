// The whole chain in a child process: tolvar -> krnln -> image -> window, on
// the offscreen platform, ended by a termination signal as a session end would.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/support/process.h"

namespace fs = std::filesystem;
using namespace tolvar::test;

namespace {

// Whether the process catches SIGTERM (the "SigCgt" mask of its status).
bool catches_sigterm(pid_t pid) {
    std::string status = read_file("/proc/" + std::to_string(pid) + "/status");
    size_t at = status.find("SigCgt:");
    if (at == std::string::npos) return false;
    unsigned long long mask = std::strtoull(status.c_str() + at + 7, nullptr, 16);
    return mask & (1ull << (SIGTERM - 1));
}

// Waits until the kernel has put its signal handling in place (stand-ins are
// opened only when first called, so their mapping says nothing), then asks the
// program to end.
void end_when_running(pid_t pid) {
    for (int i = 0; i < 500 && !catches_sigterm(pid); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    kill(pid, SIGTERM);
}

std::map<std::string, std::string> environment(const fs::path &config) {
    return {{"XDG_CONFIG_HOME", config.string()}, {"DISPLAY", ""}, {"QT_QPA_PLATFORM", "offscreen"}};
}

TEST(Chain, StartsFromTheKernelBesideTheProgramAndEndsWithStatus0) {
    ScratchDir scratch;
    auto r = run_process({std::string(TOLVAR_BIN) + "/tolvar"}, environment(scratch.path()), end_when_running);
    EXPECT_EQ(0, r.status) << r.err;
}

TEST(Chain, StartsFromTheInstallPathWhenNoKernelIsBeside) {
    ScratchDir scratch;
    fs::path app = scratch.path() / "app", installed = scratch.path() / "E";
    fs::create_directories(app);
    fs::create_directories(installed);
    fs::copy_file(fs::path(TOLVAR_BIN) / "tolvar", app / "tolvar");
    fs::copy_file(fs::path(TOLVAR_BIN) / "krnln.fnr", installed / "krnln.fne");
    for (const char *stand_in : {"wininet.so", "kernel32.so", "user32.so", "skinh_el.so"})
        fs::copy_file(fs::path(TOLVAR_BIN) / stand_in, installed / stand_in);

    auto r = run_process({(app / "tolvar").string()}, environment(scratch.path() / "config"));
    EXPECT_EQ(255, r.status);
    EXPECT_EQ("Error: Not found the kernel library or the kernel library is invalid!\n", r.err);

    write_file(scratch.path() / "config/Corvane/E/Install", "Path=" + installed.string() + "\n");
    r = run_process({(app / "tolvar").string()}, environment(scratch.path() / "config"), end_when_running);
    EXPECT_EQ(0, r.status) << r.err;
}

}  // namespace
