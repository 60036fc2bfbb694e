// tolvar-service: serves the Tolvar client, or runs an admin command on its
// database.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <thread>

#include "server/admin.h"
#include "server/http_service.h"
#include "server/options.h"
#include "server/service_time.h"
#include "server/storage/storage.h"

using namespace tolvar::server;

namespace {

// Lines to the console and, when asked, appended to a log file, each with the
// local time in front.
class LogWriter {
public:
    explicit LogWriter(const std::string &path) {
        if (!path.empty()) file_ = std::fopen(path.c_str(), "a");
    }
    ~LogWriter() {
        if (file_) std::fclose(file_);
    }
    bool file_failed(const std::string &path) const { return !path.empty() && !file_; }
    void write(const std::string &text) {
        std::string line = "[" + local_time_text(system_clock()()) + "] " + text + "\n";
        std::lock_guard lock(mutex_);
        std::fputs(line.c_str(), stderr);
        std::fflush(stderr);
        if (file_) {
            std::fputs(line.c_str(), file_);
            std::fflush(file_);
        }
    }

private:
    std::mutex mutex_;
    std::FILE *file_ = nullptr;
};

bool make_database_folder(const std::string &database_path) {
    std::filesystem::path folder = std::filesystem::path(database_path).parent_path();
    if (folder.empty()) return true;
    std::error_code ec;
    if (std::filesystem::exists(folder, ec)) return true;
    std::filesystem::create_directories(folder, ec);
    if (ec) return false;
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ec);
    return true;
}

int serve(const Options &options, Storage &storage) {
    LogWriter writer(options.log_path);
    if (writer.file_failed(options.log_path)) {
        std::cerr << "tolvar-service: cannot write the log file " << options.log_path << "\n";
        return 1;
    }
    Log log{options.verbose, [&writer](const std::string &line) { writer.write(line); }};
    HttpService service(ServiceContext{storage, log, system_clock()});
    int port = service.bind(options.listen);
    if (port < 0) {
        std::cerr << "tolvar-service: cannot listen on " << options.listen.host << ":" << options.listen.port << "\n";
        return 1;
    }
    log.line("tolvar-service listening on http://" + options.listen.host + ":" + std::to_string(port) +
             " (database " + storage.description() + ")");

    std::atomic<bool> finished{false};
    std::thread signals([&] {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        int signal_number = 0;
        sigwait(&set, &signal_number);
        while (!finished && !service.running()) usleep(1000);
        if (!finished) {
            log.line("stopping");
            service.stop();
        }
    });
    bool ok = service.run();
    finished = true;
    pthread_kill(signals.native_handle(), SIGTERM);
    signals.join();
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
    ParsedOptions parsed = parse_options(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        std::cerr << "tolvar-service: " << parsed.error << "\n" << usage_text();
        return 2;
    }
    const Options &options = *parsed.options;
    if (options.help) {
        std::cout << usage_text();
        return 0;
    }
    // Signals are taken by one thread of their own (started in serve); every
    // other thread, the request threads included, is made with them blocked.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    signal(SIGPIPE, SIG_IGN);

    if (!storage::is_postgresql_address(options.database_path) && !make_database_folder(options.database_path)) {
        std::cerr << "tolvar-service: cannot make the folder of " << options.database_path << "\n";
        return 1;
    }
    try {
        Storage storage(options.database_path);
        if (!options.command.empty())
            return run_admin_command(storage, options.command, system_clock()(), std::cout, std::cerr);
        return serve(options, storage);
    } catch (const std::exception &e) {
        std::cerr << "tolvar-service: " << e.what() << "\n";
        return 1;
    }
}
