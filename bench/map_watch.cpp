// Start-up measurement of a whole process: starts PROGRAM on the X display of
// $DISPLAY, waits until it maps its first top-level window (MapNotify on the
// root window, for a window whose _NET_WM_PID is the child's), reads the CPU
// time its threads have used by then (/proc/PID/task/*/schedstat, in
// nanoseconds), later its resident memory, ends it with SIGTERM and prints
//   map_ms=<wall time from spawn to map> cpu_ms=<CPU time to map> rss_kib=<VmRSS>
//   map_watch [--settle-ms N] PROGRAM [ARGUMENTS...]
// --settle-ms: wait that long after the map before reading the memory (the
// window has painted by then); 300 by default.
#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

extern char **environ;

namespace {

double now_ms() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

long rss_kib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// CPU time of all the process's threads so far, in milliseconds.
double cpu_ms(pid_t pid) {
    std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    double total = 0;
    if (DIR *dir = opendir(tasks.c_str())) {
        while (dirent *e = readdir(dir)) {
            if (e->d_name[0] == '.') continue;
            std::ifstream stat(tasks + "/" + e->d_name + "/schedstat");
            double ns = 0;
            if (stat >> ns) total += ns;
        }
        closedir(dir);
    }
    return total / 1e6;
}

xcb_atom_t atom(xcb_connection_t *c, const char *name) {
    xcb_intern_atom_reply_t *r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    xcb_atom_t a = r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

// The _NET_WM_PID of a window, 0 when it has none.
pid_t window_pid(xcb_connection_t *c, xcb_window_t w, xcb_atom_t net_wm_pid) {
    auto cookie = xcb_get_property(c, 0, w, net_wm_pid, XCB_ATOM_CARDINAL, 0, 1);
    xcb_get_property_reply_t *r = xcb_get_property_reply(c, cookie, nullptr);
    pid_t pid = 0;
    if (r && xcb_get_property_value_length(r) == 4) pid = *static_cast<uint32_t *>(xcb_get_property_value(r));
    std::free(r);
    return pid;
}

}  // namespace

int main(int argc, char **argv) {
    int settle_ms = 300, first = 1;
    if (argc > 2 && std::strcmp(argv[1], "--settle-ms") == 0) {
        settle_ms = std::atoi(argv[2]);
        first = 3;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: map_watch [--settle-ms N] PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "map_watch: no X display\n");
        return 2;
    }
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    xcb_atom_t net_wm_pid = atom(c, "_NET_WM_PID");
    xcb_flush(c);

    double start = now_ms();
    pid_t pid;
    if (posix_spawn(&pid, argv[first], nullptr, nullptr, argv + first, environ) != 0) {
        std::fprintf(stderr, "map_watch: cannot start %s\n", argv[first]);
        return 2;
    }
    double mapped = -1, cpu = -1;
    bool ended = false;
    while (mapped < 0 && !ended && now_ms() - start < 20000) {
        pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
        poll(&p, 1, 50);
        while (xcb_generic_event_t *e = xcb_poll_for_event(c)) {
            double at = now_ms();
            if ((e->response_type & 0x7F) == XCB_MAP_NOTIFY && mapped < 0) {
                auto *map = reinterpret_cast<xcb_map_notify_event_t *>(e);
                if (!map->override_redirect && window_pid(c, map->window, net_wm_pid) == pid) {
                    mapped = at - start;
                    cpu = cpu_ms(pid);
                }
            }
            std::free(e);
        }
        int status;
        ended = waitpid(pid, &status, WNOHANG) == pid;  // ended without a window
    }
    long rss = -1;
    if (!ended) {
        usleep(static_cast<useconds_t>(settle_ms) * 1000);
        rss = rss_kib(pid);
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
    }
    xcb_disconnect(c);
    if (mapped < 0) {
        std::fprintf(stderr, "map_watch: %s mapped no window\n", argv[first]);
        return 1;
    }
    std::printf("map_ms=%.2f cpu_ms=%.2f rss_kib=%ld\n", mapped, cpu, rss);
    return 0;
}
