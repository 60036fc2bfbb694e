#include "server/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "server/service_time.h"

namespace tolvar::server {

LogFile::LogFile(std::string path) : path_(std::move(path)) {
    if (!path_.empty()) fd_ = open_file();
}

LogFile::~LogFile() {
    if (fd_ >= 0) close(fd_);
}

int LogFile::open_file() const {
    int fd = open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return -1;
    }
    if ((st.st_mode & 077) != 0) fchmod(fd, 0600);
    return fd;
}

bool LogFile::reopen() {
    if (path_.empty()) return true;
    int fd = open_file();
    std::lock_guard lock(mutex_);
    if (fd < 0) return false;  // the old file stays in use
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
    return true;
}

static void write_all(int fd, const std::string &text) {
    for (size_t at = 0; at < text.size();) {
        ssize_t n = ::write(fd, text.data() + at, text.size() - at);
        if (n <= 0) return;
        at += static_cast<size_t>(n);
    }
}

void LogFile::write(const std::string &text) {
    std::string line = "[" + local_time_text(system_clock()()) + "] " + text + "\n";
    std::lock_guard lock(mutex_);
    write_all(STDERR_FILENO, line);
    if (fd_ >= 0) write_all(fd_, line);
}

}  // namespace tolvar::server
