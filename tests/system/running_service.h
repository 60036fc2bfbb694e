// The real tolvar-service as a child process of the test: on a free loopback
// port, with its log (and, unless it is given one to share, its SQLite
// database) in a scratch folder of its own, stopped when the object goes (and
// killed by the system should the test process die first).
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/process.h"

namespace tolvar::test {

class RunningService {
public:
    // `database`: what --db gets; empty for a fresh SQLite file. `options`
    // are further command-line options.
    explicit RunningService(std::string database_address = {}, const std::vector<std::string> &options = {})
        : database_(std::move(database_address)) {
        if (database_.empty()) database_ = (folder_.path() / "tolvar.db").string();
        std::vector<std::string> argv = {TOLVAR_SERVICE, "--listen", "127.0.0.1:0", "--db", database(),
                                         "--log",        log_path(), "--verbose"};
        argv.insert(argv.end(), options.begin(), options.end());
        pid_ = start_logged_child(std::move(argv), (folder_.path() / "console").string(), SIGKILL);
        std::string port = wait_for_line("listening on http://127\\.0\\.0\\.1:([0-9]+)");
        port_ = port.empty() ? 0 : std::stoi(port);
    }
    ~RunningService() { stop(); }
    RunningService(const RunningService &) = delete;
    RunningService &operator=(const RunningService &) = delete;

    int port() const { return port_; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    const std::string &database() const { return database_; }
    std::string log_path() const { return (folder_.path() / "service.log").string(); }
    std::string log() const { return read_file(log_path()); }

    // The first group of the last log line that matches `pattern`, waiting up
    // to five seconds for one; empty when none comes.
    std::string wait_for_line(const std::string &pattern) const {
        std::regex re(pattern);
        for (int i = 0; i < 500; ++i) {
            std::string text = log(), last;
            for (std::sregex_iterator m(text.begin(), text.end(), re), end; m != end; ++m) last = (*m)[1];
            if (!last.empty()) return last;
            if (exited_on_its_own()) return {};
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return {};
    }

    // Stops the service with SIGTERM (SIGKILL when it does not end within
    // five seconds); its exit status, or -signal. Later calls give the same.
    int stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            for (int i = 0; i < 500 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (waitpid(pid_, &status, WNOHANG) == 0) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
            }
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
            pid_ = -1;
        }
        return status_;
    }

    // An admin command on the service's database.
    ProcessResult admin(std::vector<std::string> words) const {
        words.insert(words.begin(), {TOLVAR_SERVICE, "--db", database()});
        return run_process(words);
    }

private:
    bool exited_on_its_own() const {
        siginfo_t info{};
        return pid_ > 0 && waitid(P_PID, pid_, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid_;
    }

    ScratchDir folder_;
    std::string database_;
    pid_t pid_ = -1;
    int port_ = 0;
    int status_ = -1;
};

}  // namespace tolvar::test
