#pragma once
// The tables of the shared production database and what every part of it
// shares: the advisory lock keys and how a database failure is said. The
// tables live in one schema of the database, whatever search_path a
// connection brings: the schema that holds them (or, before they exist, the
// first of the search_path) becomes every session's search_path, so every
// station and every batch command sees the same batches and no range can be
// given out twice from two schemas.
#include "production/pg_connection.h"

#include <string>

namespace px316t {

// Advisory lock keys (two-number form, the second number being the instance
// or a name's hash): schema and batch changes, the liveness of one station
// instance, the start of a station by name.
inline constexpr const char* kSchemaLockKey = "316316";
inline constexpr const char* kLiveLockClass = "316317";
inline constexpr const char* kNameLockClass = "316318";

// Finds the schema of the tables (refused when two schemas hold them), creates
// them when missing and brings older ones up to date; safe when several
// stations start at once, and quiet: a database that is up to date is only
// read.
Status ensureProductionSchema(PgConnection& connection);

// "The production database <what>: <message>"
std::string databaseFailure(const std::string& what, const std::string& message);

} // namespace px316t
