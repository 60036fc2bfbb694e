// Real nginx as a child process of the test, configured from the deployment's
// site file: the file's listen lines become one free loopback port, its
// upstream lists the instances the test started, and everything nginx writes
// (pid, logs, temporary files) goes to a scratch folder of its own. It runs in
// the foreground (daemon off), with workers of an unprivileged user when the
// test runs as root, and stops when the object goes.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/process.h"

namespace tolvar::test {

// nginx from the system (Debian puts it in /usr/sbin, often not on a user's PATH).
inline std::string nginx_program() {
    if (access("/usr/sbin/nginx", X_OK) == 0) return "/usr/sbin/nginx";
    const char *path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (!folder.empty() && access((folder + "/nginx").c_str(), X_OK) == 0) return folder + "/nginx";
    return {};
}

// A loopback port nobody listens on right now.
inline int free_loopback_port() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof addr;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &size) == 0)
        port = ntohs(addr.sin_port);
    close(fd);
    return port;
}

inline std::string trimmed_line(const std::string &line) {
    size_t first = line.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : line.substr(first);
}

// The site file with its listen lines replaced by 127.0.0.1:`port` and the
// servers of its upstream by `upstreams` ("127.0.0.1:PORT" each); without
// its per-address limits when `limits` is false (a benchmark whose load all
// comes from one address). Throws when the file has no listen line or no
// upstream server to replace.
inline std::string site_for_test(const std::string &site, int port, const std::vector<std::string> &upstreams,
                                 bool limits = true) {
    std::stringstream in(site);
    std::string out, line;
    bool listened = false, in_upstream = false, replaced_servers = false;
    while (std::getline(in, line)) {
        std::string text = trimmed_line(line);
        if (text.starts_with("upstream ")) in_upstream = true;
        if (in_upstream && text.starts_with("}")) in_upstream = false;
        if (!limits && (text.starts_with("limit_req ") || text.starts_with("limit_conn "))) continue;
        if (text.starts_with("listen ")) {
            if (!listened) out += "    listen 127.0.0.1:" + std::to_string(port) + ";\n";
            listened = true;
            continue;
        }
        if (in_upstream && text.starts_with("server ")) {
            if (!replaced_servers)
                for (const std::string &u : upstreams) out += "    server " + u + " max_fails=3 fail_timeout=10s;\n";
            replaced_servers = true;
            continue;
        }
        out += line + "\n";
    }
    if (!listened || !replaced_servers) throw std::runtime_error("the site file has no listen line or no upstream");
    return out;
}

class RunningNginx {
public:
    RunningNginx(const std::string &site_file, const std::vector<std::string> &upstreams, bool limits = true) {
        program_ = nginx_program();
        if (program_.empty()) throw std::runtime_error("nginx is not installed (scripts/setup.sh installs it)");
        // Workers running as nobody reach their temporary folders through this one.
        chmod(folder_.path().c_str(), 0711);
        std::string site = read_file(site_file);
        for (int attempt = 0; attempt < 5 && port_ == 0; ++attempt) {
            int port = free_loopback_port();
            write_file(folder_.path() / "nginx.conf", main_configuration(site_for_test(site, port, upstreams, limits)));
            start();
            if (wait_until_listening(port)) port_ = port;
            else stop();  // the port was taken meanwhile, or nginx refused: try another
        }
    }
    ~RunningNginx() { stop(); }
    RunningNginx(const RunningNginx &) = delete;
    RunningNginx &operator=(const RunningNginx &) = delete;

    int port() const { return port_; }
    pid_t pid() const { return pid_; }  // the master's
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string error_log() const { return read_file(folder_.path() / "error.log"); }
    std::string access_log() const { return read_file(folder_.path() / "access.log"); }
    std::string configuration() const { return read_file(folder_.path() / "nginx.conf"); }

    void stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);  // fast shutdown: the master stops its workers
        int status = 0;
        for (int i = 0; i < 500 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (waitpid(pid_, &status, WNOHANG) == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
        pid_ = -1;
    }

private:
    std::string main_configuration(const std::string &site) const {
        std::string prefix = folder_.path().string();
        std::string text = "daemon off;\nmaster_process on;\nworker_processes auto;\n";
        if (geteuid() == 0) text += "user nobody nogroup;\n";
        text += "pid " + prefix + "/nginx.pid;\nerror_log " + prefix + "/error.log notice;\n";
        text += "events { worker_connections 512; }\n";
        text += "http {\n"
                "    log_format upstream '$remote_addr \"$request\" $status upstream $upstream_addr';\n"
                "    access_log " + prefix + "/access.log upstream;\n";
        for (const char *kind : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
            text += std::string("    ") + kind + "_temp_path " + prefix + "/temp-" + kind + ";\n";
        return text + site + "}\n";
    }

    void start() {
        std::string prefix = folder_.path().string() + "/";
        std::error_code ignored;
        std::filesystem::remove(folder_.path() / "nginx.pid", ignored);
        std::vector<std::string> argv = {program_, "-p", prefix, "-c", prefix + "nginx.conf", "-e", prefix + "error.log"};
        pid_ = start_logged_child(std::move(argv), prefix + "console", SIGTERM);
    }

    // Whether nginx accepts connections on `port` within five seconds: it
    // writes its pid file once its sockets are bound (false at once when it
    // exits, as it does when the port is taken).
    bool wait_until_listening(int port) {
        for (int i = 0; i < 500; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return false;
            }
            if (!std::filesystem::exists(folder_.path() / "nginx.pid")) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            addr.sin_port = htons(static_cast<uint16_t>(port));
            bool up = connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
            close(fd);
            if (up) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    ScratchDir folder_;
    std::string program_;
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace tolvar::test
