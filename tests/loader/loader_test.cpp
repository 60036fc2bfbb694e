// The loader in a real `tolvar` process: where it finds the kernel library,
// what it calls, and its one error for every failure.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/process.h"

namespace fs = std::filesystem;
using namespace tolvar::test;

namespace {

const std::string kErrorLine = "Error: Not found the kernel library or the kernel library is invalid!\n";

class Loader : public ::testing::Test {
protected:
    ScratchDir scratch;
    fs::path program_dir = scratch.path() / "app";
    fs::path config = scratch.path() / "config";
    fs::path marker = scratch.path() / "marker";

    void SetUp() override {
        fs::create_directories(program_dir);
        fs::copy_file(TOLVAR_EXE, program_dir / "tolvar");
    }
    void place(const char *fake, const fs::path &as) {
        fs::create_directories(as.parent_path());
        fs::copy_file(fake, as, fs::copy_options::overwrite_existing);
    }
    void set_install_key(const std::string &content) { write_file(config / "Corvane/E/Install", content); }
    ProcessResult run(const fs::path &exe) {
        return run_process({exe.string()}, {{"XDG_CONFIG_HOME", config.string()},
                                            {"HOME", scratch.path().string()},
                                            {"DISPLAY", ""},
                                            {"TOLVAR_FAKE_MARKER", marker.string()}});
    }
    ProcessResult run() { return run(program_dir / "tolvar"); }
    std::string marks() { return read_file(marker); }
};

TEST_F(Loader, KernelBesideTheProgramWinsOverTheInstallPath) {
    place(FAKE_KERNEL_OK, program_dir / "krnln.fnr");
    place(FAKE_KERNEL_OK_2, scratch.path() / "installed/krnln.fne");
    set_install_key("Path=" + (scratch.path() / "installed").string() + "\n");
    auto r = run();
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("fake GetNewSock(1000)\nfake ran image\n", marks());
}

TEST_F(Loader, InstallPathWithOrWithoutTrailingSeparator) {
    place(FAKE_KERNEL_OK_2, scratch.path() / "installed/krnln.fne");
    for (std::string path : {(scratch.path() / "installed").string(), (scratch.path() / "installed").string() + "/"}) {
        fs::remove(marker);
        set_install_key("# the install key\r\nOther=x\r\nPath=" + path + "\r\n");
        auto r = run();
        EXPECT_EQ(0, r.status) << path << ": " << r.err;
        EXPECT_EQ("fake2 GetNewSock(1000)\nfake2 ran image\n", marks()) << path;
    }
}

TEST_F(Loader, AnUnloadableFileBesideFallsBackToTheInstallPath) {
    write_file(program_dir / "krnln.fnr", "not a library");
    place(FAKE_KERNEL_OK_2, scratch.path() / "installed/krnln.fne");
    set_install_key("Path=" + (scratch.path() / "installed").string());
    auto r = run();
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("fake2 GetNewSock(1000)\nfake2 ran image\n", marks());
}

TEST_F(Loader, EveryLookupFailureGivesTheOneMessageAndStatus255) {
    auto expect_error = [&](const char *why) {
        auto r = run();
        EXPECT_EQ(255, r.status) << why;
        EXPECT_EQ(kErrorLine, r.err) << why;
        EXPECT_EQ("", r.out) << why;
    };
    expect_error("no kernel, no install key");
    set_install_key("Other=1\n");
    expect_error("install key without Path");
    set_install_key("Path=" + (scratch.path() / "nowhere").string() + "\n");
    expect_error("install path without krnln.fne");
    set_install_key("Path=" + program_dir.string() + "\n");
    write_file(program_dir / "krnln.fne", "garbage");
    expect_error("krnln.fne that is no library");
}

TEST_F(Loader, AKernelWithoutGetNewSockOrReturningZeroIsReleasedFirst) {
    place(FAKE_KERNEL_NO_ENTRY, program_dir / "krnln.fnr");
    auto r = run();
    EXPECT_EQ(255, r.status);
    EXPECT_EQ("released noentry\n" + kErrorLine, r.err);

    place(FAKE_KERNEL_ZERO, program_dir / "krnln.fnr");
    r = run();
    EXPECT_EQ(255, r.status);
    EXPECT_EQ("released zero\n" + kErrorLine, r.err);
    EXPECT_EQ("zero GetNewSock(1000)\n", marks());
}

TEST_F(Loader, AProgramPathOfAnyLengthFindsItsKernel) {
    fs::path deep = program_dir;
    for (int i = 0; i < 12; ++i) deep /= "a-rather-long-folder-name-" + std::to_string(i);
    ASSERT_GT(deep.string().size(), 300u);
    fs::create_directories(deep);
    fs::copy_file(TOLVAR_EXE, deep / "tolvar");
    place(FAKE_KERNEL_OK, deep / "krnln.fnr");
    auto r = run(deep / "tolvar");
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("fake GetNewSock(1000)\nfake ran image\n", marks());
}

}  // namespace
