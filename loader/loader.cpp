#include "loader/loader.h"

#include <dlfcn.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "abi/tolvar_abi.h"

extern char **environ;

namespace tolvar::loader {

std::string program_directory() {
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return "./";
        if (static_cast<size_t>(n) < buffer.size()) {
            std::string path(buffer.data(), static_cast<size_t>(n));
            return path.substr(0, path.rfind('/') + 1);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<std::string> install_path() {
    std::string config;
    if (const char *xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) config = xdg;
    else if (const char *home = std::getenv("HOME"); home && *home) config = std::string(home) + "/.config";
    else return std::nullopt;
    std::ifstream key(config + "/Corvane/E/Install");
    if (!key) return std::nullopt;
    std::string line;
    while (std::getline(key, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("Path=", 0) == 0) return line.substr(5);
    }
    return std::nullopt;
}

namespace {

// The message goes to stderr, and into a dialog when a graphical session is
// present (xmessage, so the loader links no toolkit).
int error_exit() {
    std::fprintf(stderr, "%s: %s\n", kErrorTitle, kErrorText);
    const char *display = std::getenv("DISPLAY");
    if (display && *display) {
        const char *argv[] = {"xmessage", "-title", kErrorTitle, "-center", "-buttons", "OK:0", kErrorText, nullptr};
        pid_t pid;
        if (posix_spawnp(&pid, "xmessage", nullptr, nullptr, const_cast<char **>(argv), environ) == 0) {
            int status;
            waitpid(pid, &status, 0);
        }
    }
    return -1;
}

}  // namespace

int run(const void *image) {
    std::string path = program_directory() + kBesideName;
    void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        auto installed = install_path();
        if (!installed) return error_exit();
        path = *installed;
        if (path.empty() || path.back() != '/') path += '/';
        path += kInstalledName;
        library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!library) return error_exit();
    }
    auto get_new_sock = reinterpret_cast<tolvar_get_new_sock>(dlsym(library, kEntryName));
    if (!get_new_sock) {
        dlclose(library);
        return error_exit();
    }
    auto run_entry = reinterpret_cast<tolvar_run_entry>(get_new_sock(1000));
    if (!run_entry) {
        dlclose(library);
        return error_exit();
    }
    run_entry(image);
    return 0;
}

}  // namespace tolvar::loader
