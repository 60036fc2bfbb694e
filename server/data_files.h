// The database's folder and files kept to the service's own user: the folder
// 0700 and the database with its journal files 0600, whoever made them.
#pragma once

#include <string>
#include <vector>

namespace tolvar::server {

struct DataFiles {
    bool ok = true;
    std::string error;                  // why the folder could not be made
    std::vector<std::string> warnings;  // what was left open, and why
};

// Makes the folder of `database_path` (0700) when it is missing; narrows an
// existing one to 0700 unless it is shared (sticky, as /tmp), belongs to
// another user or is the home folder; narrows the database, its -wal, -shm
// and -journal files to 0600. Call with the umask 077 in force, so that files
// made later are 0600 too.
DataFiles secure_data_files(const std::string &database_path);

}  // namespace tolvar::server
