// Bringing a database's tables to the version this program knows, at start:
// one transaction, under a lock, so instances starting together upgrade once.
#pragma once

#include <vector>

#include "server/storage/engine.h"

namespace tolvar::server::storage {

// Runs every version after the database's own, and records the last one in
// the schema_version row. A database without that row (made before the
// schema was versioned) is at version 0. Refuses a database at a version
// newer than `versions` knows, changing nothing.
void upgrade_schema(SqlConnection &c, const std::vector<SchemaVersion> &versions);

// The version in the schema_version row, 0 when there is none.
int64_t current_schema_version(SqlConnection &c);

}  // namespace tolvar::server::storage
