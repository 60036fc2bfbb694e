// Running a program of the build as a child process, and scratch folders.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

extern char **environ;

namespace tolvar::test {

inline std::string read_file(const std::filesystem::path &p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void write_file(const std::filesystem::path &p, const std::string &content) {
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
}

// A fresh folder under the system's temporary folder, removed with the object.
class ScratchDir {
public:
    ScratchDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tolvar-test-XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path &path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Starts `argv` as a child whose standard input is /dev/null and whose
// standard output and error go to the file `console`; the child gets
// `death_signal` should this process die. Only calls that are safe in a child
// of a threaded process run between fork and exec. The child's pid.
inline pid_t start_logged_child(std::vector<std::string> argv, const std::string &console, int death_signal) {
    std::vector<char *> args;
    for (auto &a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, death_signal);
        int null = open("/dev/null", O_RDONLY), out = open(console.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(null, 0);
        dup2(out, 1);
        dup2(out, 2);
        execv(args[0], args.data());
        _exit(127);
    }
    return pid;
}

struct ProcessResult {
    int status = -1;  // exit status, or -signal
    std::string out;
    std::string err;
};

// The environment of this process with `changes` applied; an empty value removes.
inline std::vector<std::string> environment_with(const std::map<std::string, std::string> &changes) {
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        std::string entry = *e;
        if (!changes.count(entry.substr(0, entry.find('=')))) env.push_back(entry);
    }
    for (const auto &[k, v] : changes)
        if (!v.empty()) env.push_back(k + "=" + v);
    return env;
}

// Starts `argv`; `on_started` gets the pid (to signal it) before the wait.
template <class OnStarted>
ProcessResult run_process(const std::vector<std::string> &argv, const std::map<std::string, std::string> &env_changes,
                          OnStarted on_started) {
    ScratchDir scratch;
    auto out_path = (scratch.path() / "out").string(), err_path = (scratch.path() / "err").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char *> args, envp;
    for (const auto &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    auto env = environment_with(env_changes);
    for (auto &e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid;
    ProcessResult result;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) return result;
    posix_spawn_file_actions_destroy(&actions);
    on_started(pid);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    result.out = read_file(out_path);
    result.err = read_file(err_path);
    return result;
}

inline ProcessResult run_process(const std::vector<std::string> &argv,
                                 const std::map<std::string, std::string> &env_changes = {}) {
    return run_process(argv, env_changes, [](pid_t) {});
}

}  // namespace tolvar::test
