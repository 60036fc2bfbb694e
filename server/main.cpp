// tolvar-service: serves the Tolvar client, or runs an admin command on its
// database. SIGTERM and SIGINT stop it; SIGHUP reads the settings again and
// reopens the log file.
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <iostream>
#include <thread>

#include "server/admin.h"
#include "server/data_files.h"
#include "server/http_service.h"
#include "server/log_file.h"
#include "server/options.h"
#include "server/service_time.h"
#include "server/storage/storage.h"

using namespace tolvar::server;

namespace {

// What a SIGHUP can change while the service runs, and what it only notes.
void reload(const std::vector<std::string> &arguments, Options &running, HttpService &service, LogFile &log_file,
            const Log &log) {
    if (!log_file.reopen()) log.line("cannot reopen the log file " + running.log_path + "; writing the old one on");
    ParsedOptions parsed = parse_options(arguments);
    if (!parsed.options) {
        log.line("settings not reloaded, the old ones stay: " + parsed.error);
        return;
    }
    const Options &next = *parsed.options;
    service.apply(next.settings);
    running.settings = next.settings;
    if (!(next.listen == running.listen)) log.line("the listening address changes at the next start");
    if (next.database_path != running.database_path) log.line("the database changes at the next start");
    if (next.log_path != running.log_path) log.line("the log file changes at the next start");
    if (next.connection_limit != running.connection_limit) log.line("the connection limit changes at the next start");
    log.line("settings reloaded" + (next.config_path.empty() ? std::string() : " from " + next.config_path));
}

// Room for every connection allowed and the files besides: the soft limit on
// open files is raised towards the hard one when it is lower (systemd starts
// services with 1024).
void allow_open_files(int64_t connections) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    rlim_t wanted = static_cast<rlim_t>(connections) + 64;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
        limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, limit.rlim_max);
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

int serve(const std::vector<std::string> &arguments, Options options, Storage &storage,
          const std::vector<std::string> &warnings) {
    LogFile log_file(options.log_path);
    if (!log_file.ok()) {
        std::cerr << "tolvar-service: cannot write the log file " << options.log_path << "\n";
        return 1;
    }
    Log log{options.settings.verbose, [&log_file](const std::string &line) { log_file.write(line); }};
    for (const std::string &warning : warnings) log.line("warning: " + warning);
    allow_open_files(options.connection_limit);
    HttpService service(ServiceContext{storage, log, system_clock(), options.settings}, options.connection_limit);
    int port = service.bind(options.listen);
    if (port < 0) {
        std::cerr << "tolvar-service: cannot listen on " << options.listen.host << ":" << options.listen.port << "\n";
        return 1;
    }
    std::string host = options.listen.host.find(':') != std::string::npos ? "[" + options.listen.host + "]"
                                                                          : options.listen.host;
    log.line("tolvar-service listening on http://" + host + ":" + std::to_string(port) + " (database " +
             storage.description() + ")");

    std::atomic<bool> finished{false};
    std::thread signals([&] {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGHUP);
        while (true) {
            int signal_number = 0;
            sigwait(&set, &signal_number);
            if (finished) return;
            if (signal_number == SIGHUP) {
                reload(arguments, options, service, log_file, log);
                continue;
            }
            log.line("stopping");
            service.stop();
            return;
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
    std::vector<std::string> arguments(argv + 1, argv + argc);
    ParsedOptions parsed = parse_options(arguments);
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
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    signal(SIGPIPE, SIG_IGN);
    // Every file the service makes (database, journals, log) is its user's alone.
    umask(077);

    // A PostgreSQL server keeps its own files; only a SQLite file is the service's to guard.
    DataFiles data = storage::is_postgresql_address(options.database_path) ? DataFiles{}
                                                                             : secure_data_files(options.database_path);
    if (!data.ok) {
        std::cerr << "tolvar-service: " << data.error << "\n";
        return 1;
    }
    try {
        Storage storage(options.database_path);
        if (!options.command.empty()) {
            for (const std::string &warning : data.warnings) std::cerr << "tolvar-service: warning: " << warning << "\n";
            return run_admin_command(storage, options.command, system_clock()(), std::cout, std::cerr);
        }
        return serve(arguments, options, storage, data.warnings);
    } catch (const std::exception &e) {
        std::cerr << "tolvar-service: " << e.what() << "\n";
        return 1;
    }
}
