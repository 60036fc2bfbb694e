// Where the log's lines go: standard error always (the journal takes it
// under systemd), and a file when one is named, created 0600 (it holds every
// voice code and message) and narrowed to 0600 if it was wider. Each line
// gets the local time in front.
#pragma once

#include <mutex>
#include <string>

namespace tolvar::server {

class LogFile {
public:
    explicit LogFile(std::string path);  // empty: standard error only
    ~LogFile();
    LogFile(const LogFile &) = delete;
    LogFile &operator=(const LogFile &) = delete;

    // False when a file was named and cannot be written.
    bool ok() const { return path_.empty() || fd_ >= 0; }
    // Opens the file again (after it was rotated); false if it cannot be.
    bool reopen();
    void write(const std::string &text);

private:
    int open_file() const;

    std::string path_;
    std::mutex mutex_;
    int fd_ = -1;
};

}  // namespace tolvar::server
