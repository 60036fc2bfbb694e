// The kernel's state for the one program it runs.
#pragma once

#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "kernel/main_window.h"
#include "kernel/program_loader.h"

namespace tolvar::kernel {

struct KernelState {
    std::unique_ptr<Program> program;
    std::unique_ptr<MainWindow> window;
    std::vector<tolvar_routine> at_end;
    bool ended = false;
    bool quit_requested = false;  // the window was closed, or a termination signal came in
    bool in_event_loop = false;   // the program's event loop runs
    QString program_directory;    // the program's folder, no trailing separator
    std::string stand_in_folder;  // the kernel's own folder, where the platform stand-ins lie
};

KernelState &state();

// Reports an error on stderr and, when a window system is up, in a message box.
void report_error(const std::string &text);

}  // namespace tolvar::kernel
