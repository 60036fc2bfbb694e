// A small kernel in the fuzz target's own process for the program's routines:
// Tolvar's image is built, loaded and relocated, and its service table is this
// one. Window controls keep their texts and list items in memory, files live
// in memory, DLL commands are bound to the platform stand-ins linked into the
// target (the code pages of kernel32), late-bound objects come from the
// vbscript stand-in linked there too (program_objects.h), and every block the program allocates
// is counted. Anything a routine must never do (a run-time error, a release of
// a block it does not hold) aborts, which libFuzzer reports as a crash.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tolvar::fuzz {

struct ListItem {
    std::string text;
    int32_t value = 0;
};

struct ProgramKernel {
    std::map<uint32_t, std::string> texts;                // a control's text, by control id
    std::map<uint32_t, std::vector<ListItem>> lists;      // a list box's items, by control id
    std::map<uint32_t, int32_t> pages;                    // a tab control's current page, by control id
    std::map<std::string, std::string> files;             // path -> content
    std::vector<std::string> messages;                    // message boxes shown
    size_t live_blocks = 0;                               // blocks allocated and not yet released
    size_t allocated_bytes = 0;                           // in all, since the last reset

    // Forgets the window's state, the files and the messages (not the live blocks).
    void reset();
};

// The kernel, with the image loaded and the program attached on first use.
ProgramKernel &program_kernel();

// The folder the program is told it runs from.
inline constexpr const char *kProgramFolder = "/fuzz-program";

}  // namespace tolvar::fuzz
