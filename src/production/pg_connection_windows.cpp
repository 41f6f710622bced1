// The Windows build has no PostgreSQL client: a shared production database is
// refused with a sentence that says so, before anything is written. Every
// station then keeps its record on its own disk.
#include "production/pg_connection.h"

#include <cstdlib>

namespace px316t {

std::string productionDatabaseFromEnvironment()
{
    const char* value = std::getenv("PX316T_PRODUCTION_DB");
    return value ? value : "";
}

namespace {
constexpr const char* kSharedDatabaseLinuxOnly =
    "A shared production database (PostgreSQL) is available only in the Linux build of this tool; "
    "this Windows build keeps its production record on this computer. Remove the database setting "
    "(--production-db, PX316T_PRODUCTION_DB) or run the station on Linux.";
} // namespace

PgRows::PgRows(pg_result* result) : result_(result) {}
PgRows::~PgRows() = default;
int PgRows::count() const { return 0; }
std::string PgRows::text(int, int) const { return {}; }
bool PgRows::isNull(int, int) const { return true; }
long long PgRows::integer(int, int) const { return 0; }

Outcome<std::vector<std::pair<std::string, std::string>>> connectionSettings(const std::string&)
{
    return Failure{kSharedDatabaseLinuxOnly, true};
}

Outcome<std::unique_ptr<PgConnection>> PgConnection::open(const std::string&)
{
    return Failure{kSharedDatabaseLinuxOnly};
}

// No connection is ever made, so none of these is reached.
PgConnection::~PgConnection() = default;
std::string PgConnection::error() const { return kSharedDatabaseLinuxOnly; }
Outcome<PgRows> PgConnection::exec(const std::string&, const std::vector<std::string>&)
{
    return Failure{kSharedDatabaseLinuxOnly};
}
Status PgConnection::run(const std::string&) { return Failure{kSharedDatabaseLinuxOnly}; }
void PgConnection::rollback() {}
bool PgConnection::isConnected() const { return false; }
int PgConnection::backendPid() const { return 0; }
bool PgConnection::reconnectIfBroken() { return false; }
Status PgConnection::keepSchema(const std::string&) { return Failure{kSharedDatabaseLinuxOnly}; }

} // namespace px316t
