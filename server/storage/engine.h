// A database engine behind the storage: how to open a connection, and the
// engine's own form of the tables as numbered schema versions.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "server/storage/sql.h"

namespace tolvar::server::storage {

// One step of the schema: the statements that bring a database from the
// version before to `version`.
struct SchemaVersion {
    int version = 0;
    const char *statements = "";
};

class Engine {
public:
    virtual ~Engine() = default;
    virtual std::unique_ptr<SqlConnection> connect() = 0;
    // In order of version, from 1.
    virtual const std::vector<SchemaVersion> &schema() const = 0;
    // For the log and error messages; never holds a password.
    virtual std::string description() const = 0;
};

// A database file; it is made when missing.
std::unique_ptr<Engine> sqlite_engine(const std::string &path);

// A PostgreSQL connection URI (postgresql://...); libpq's environment
// variables and password file fill in what it leaves out.
std::unique_ptr<Engine> postgresql_engine(const std::string &uri);

// Whether a --db value names a PostgreSQL database rather than a file.
bool is_postgresql_address(std::string_view address);

}  // namespace tolvar::server::storage
