#include "server/sweep.h"

#include <chrono>

namespace tolvar::server {

// Failed logins and rings are looked back on for at most an hour.
static constexpr int64_t longest_window = 60 * 60;

int64_t sweep_expired(Storage &storage, int64_t now) {
    int64_t removed = storage.remove_expired(ExpiryCutoffs{now, now - longest_window, now - longest_window});
    storage.checkpoint();
    return removed;
}

Sweeper::Sweeper(Storage &storage, Clock now, std::function<std::shared_ptr<const Settings>()> settings, Log &log)
    : storage_(storage), now_(std::move(now)), settings_(std::move(settings)), log_(log),
      thread_([this] { run(); }) {}

Sweeper::~Sweeper() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void Sweeper::run() {
    // Wakes every second, so a new interval (after a SIGHUP) applies at once
    // and a stop is never kept waiting; sweeps when the interval has passed.
    auto last = std::chrono::steady_clock::now();
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stopping_; })) {
        auto settings = settings_();
        if (std::chrono::steady_clock::now() - last < std::chrono::seconds(settings->sweep_interval)) continue;
        last = std::chrono::steady_clock::now();
        lock.unlock();
        try {
            int64_t removed = sweep_expired(storage_, now_());
            if (removed > 0) Log{settings->verbose, log_.write}.detail("swept " + std::to_string(removed) + " rows");
        } catch (const std::exception &e) {
            log_.line(std::string("error in the sweep of expired rows: ") + e.what());
        }
        lock.lock();
    }
}

}  // namespace tolvar::server
