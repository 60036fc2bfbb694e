// The kernel binds no routine of a program built for an interface it does not
// offer: another major version, or a later minor one. A program of its own
// major and a minor no later passes the check (and here, exporting no routine,
// stops at the first routine it lacks).
#include <gtest/gtest.h>

#include <string>

#include "abi/tolvar_abi.h"
#include "tests/support/process.h"

using namespace tolvar::test;

namespace {

ProcessResult run_as_version(uint32_t major, uint32_t minor) {
    return run_process({INTERFACE_VERSION_CHILD, KRNLN_FNR, TOLVAR_IMAGE_FILE, std::to_string(major),
                        std::to_string(minor)},
                       {{"QT_QPA_PLATFORM", "offscreen"}, {"DISPLAY", ""}});
}

std::string version_text(uint32_t major, uint32_t minor) {
    return std::to_string(major) + "." + std::to_string(minor);
}

TEST(InterfaceVersion, TheKernelRefusesAProgramOfAnotherMajorOrALaterMinorVersion) {
    const std::string kernel = version_text(TOLVAR_ABI_VERSION_MAJOR, TOLVAR_ABI_VERSION_MINOR);
    struct Case {
        uint32_t major, minor;
    };
    for (Case c : {Case{TOLVAR_ABI_VERSION_MAJOR + 1, 0}, Case{TOLVAR_ABI_VERSION_MAJOR - 1, TOLVAR_ABI_VERSION_MINOR},
                   Case{TOLVAR_ABI_VERSION_MAJOR, TOLVAR_ABI_VERSION_MINOR + 1}}) {
        ProcessResult r = run_as_version(c.major, c.minor);
        std::string refusal = "tolvar: the program was built for interface version " +
                              version_text(c.major, c.minor) + ", this kernel has version " + kernel + "\n";
        EXPECT_EQ(1, r.status) << r.err;
        EXPECT_NE(std::string::npos, r.err.find(refusal)) << r.err;
    }
}

TEST(InterfaceVersion, AProgramOfTheKernelsOwnVersionPassesTheCheck) {
    ProcessResult r = run_as_version(TOLVAR_ABI_VERSION_MAJOR, TOLVAR_ABI_VERSION_MINOR);
    EXPECT_EQ(1, r.status) << r.err;
    EXPECT_EQ(std::string::npos, r.err.find("interface version")) << r.err;
    EXPECT_NE(std::string::npos, r.err.find("is not in the program")) << r.err;
}

}  // namespace
