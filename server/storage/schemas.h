// Each engine's form of the service's tables, version by version.
#pragma once

#include <vector>

#include "server/storage/engine.h"

namespace tolvar::server::storage {

const std::vector<SchemaVersion> &sqlite_schema();
const std::vector<SchemaVersion> &postgresql_schema();

}  // namespace tolvar::server::storage
