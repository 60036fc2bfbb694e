// The background removal of expired rows: sessions (and the captchas they
// hold), claim tokens, voice codes, devices, and the rings and failed logins
// older than their limits look back. It runs every `sweep_interval` seconds
// besides the requests, so nothing waits for a request to clean up; on
// PostgreSQL one instance sweeps at a time. On SQLite each sweep also gives
// the write-ahead log's space back.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "server/log.h"
#include "server/service_time.h"
#include "server/settings.h"
#include "server/storage/storage.h"

namespace tolvar::server {

// One sweep at `now`: the rows removed, or -1 when another instance was sweeping.
int64_t sweep_expired(Storage &storage, int64_t now);

// Sweeps on a thread of its own until destroyed.
class Sweeper {
public:
    // `settings` is asked before each wait, so a SIGHUP's interval applies.
    Sweeper(Storage &storage, Clock now, std::function<std::shared_ptr<const Settings>()> settings, Log &log);
    ~Sweeper();
    Sweeper(const Sweeper &) = delete;
    Sweeper &operator=(const Sweeper &) = delete;

private:
    void run();

    Storage &storage_;
    Clock now_;
    std::function<std::shared_ptr<const Settings>()> settings_;
    Log &log_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace tolvar::server
