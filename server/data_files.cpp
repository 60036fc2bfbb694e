#include "server/data_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace tolvar::server {

namespace fs = std::filesystem;

static bool same_folder(const fs::path &a, const char *b) {
    if (!b || !*b) return false;
    std::error_code ec;
    return fs::equivalent(a, b, ec);
}

DataFiles secure_data_files(const std::string &database_path) {
    DataFiles result;
    fs::path folder = fs::path(database_path).parent_path();
    std::error_code ec;
    if (!folder.empty() && !fs::exists(folder, ec)) {
        fs::create_directories(folder, ec);
        if (ec || chmod(folder.c_str(), 0700) != 0) {
            result.ok = false;
            result.error = "cannot make the folder of " + database_path;
            return result;
        }
    } else if (!folder.empty()) {
        struct stat st {};
        if (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & 077) != 0) {
            bool shared = (st.st_mode & S_ISVTX) != 0 || st.st_uid != geteuid() || same_folder(folder, getenv("HOME"));
            if (shared || chmod(folder.c_str(), 0700) != 0)
                result.warnings.push_back("the folder " + folder.string() +
                                          " is open to other users; the database files themselves are 0600");
        }
    }
    for (const char *suffix : {"", "-wal", "-shm", "-journal"}) {
        std::string file = database_path + suffix;
        struct stat st {};
        if (lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0 &&
            chmod(file.c_str(), 0600) != 0)
            result.warnings.push_back("cannot narrow " + file + " to 0600");
    }
    return result;
}

}  // namespace tolvar::server
