#include "server/storage/schema_upgrade.h"

namespace tolvar::server::storage {

int64_t current_schema_version(SqlConnection &c) {
    return first_integer(c, "SELECT MAX(version) FROM schema_version").value_or(0);
}

void upgrade_schema(SqlConnection &c, const std::vector<SchemaVersion> &versions) {
    const int64_t latest = versions.empty() ? 0 : versions.back().version;
    WriteTransaction tx(c);
    c.lock(LockKind::schema, "");
    c.run_script("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
    const int64_t current = current_schema_version(c);
    if (current > latest)
        throw StorageError("the database is at schema version " + std::to_string(current) +
                           ", newer than this tolvar-service knows (" + std::to_string(latest) +
                           "): run a newer tolvar-service on it");
    if (current < latest) {
        for (const SchemaVersion &v : versions)
            if (v.version > current) c.run_script(v.statements);
        execute(c, "DELETE FROM schema_version");
        execute(c, "INSERT INTO schema_version (version) VALUES ($1)", {latest});
    }
    tx.commit();
}

}  // namespace tolvar::server::storage
