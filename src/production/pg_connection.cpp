#include "production/pg_connection.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace px316t {

std::string productionDatabaseFromEnvironment()
{
    const char* value = std::getenv("PX316T_PRODUCTION_DB");
    return value ? value : "";
}

PgRows::PgRows(pg_result* result) : result_(result) {}
PgRows::~PgRows() { PQclear(result_); }
int PgRows::count() const { return result_ ? PQntuples(result_) : 0; }
std::string PgRows::text(int row, int column) const { return PQgetvalue(result_, row, column); }
bool PgRows::isNull(int row, int column) const { return PQgetisnull(result_, row, column) != 0; }
long long PgRows::integer(int row, int column) const
{
    return std::strtoll(PQgetvalue(result_, row, column), nullptr, 10);
}

namespace {

// What every session asks of the server: bounded statement, lock and idle
// waits; keep-alives (and a time-out for unacknowledged data) with which the
// server ends the session of a station that lost power, and with it that
// station's locks; each commit on disk before it is acknowledged; and no
// notices on the terminal.
constexpr const char* kServerOptions =
    "-c statement_timeout=15000 -c lock_timeout=10000 -c idle_in_transaction_session_timeout=20000 "
    "-c tcp_keepalives_idle=5 -c tcp_keepalives_interval=2 -c tcp_keepalives_count=3 -c tcp_user_timeout=10000 "
    "-c synchronous_commit=on -c client_min_messages=warning";

// libpq's own waits: connecting, and noticing a server that went silent.
const std::pair<const char*, const char*> kClientSettings[] = {
    {"connect_timeout", "5"},  {"tcp_user_timeout", "10000"}, {"keepalives", "1"},
    {"keepalives_idle", "5"}, {"keepalives_interval", "2"},   {"keepalives_count", "3"},
};

std::string trimmed(std::string message)
{
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    return message;
}

// Notices ("relation ... already exists, skipping") are not for the operator:
// every statement's outcome is checked and said by the program itself.
void dropNotice(void*, const char*) {}

} // namespace

Outcome<std::vector<std::pair<std::string, std::string>>> connectionSettings(const std::string& conninfo)
{
    char* error = nullptr;
    PQconninfoOption* given = PQconninfoParse(conninfo.c_str(), &error);
    if (!given) {
        const std::string message = error ? trimmed(error) : "out of memory";
        PQfreemem(error);
        return Failure{"The production database setting cannot be read: " + message, true};
    }
    std::vector<std::pair<std::string, std::string>> settings;
    std::string options;
    bool named = false;
    for (const PQconninfoOption* o = given; o->keyword; ++o) {
        if (!o->val)
            continue;
        const std::string keyword = o->keyword;
        if (keyword == "options")
            options = o->val;
        else if (std::none_of(std::begin(kClientSettings), std::end(kClientSettings),
                              [&](const auto& s) { return keyword == s.first; }))
            settings.emplace_back(keyword, o->val);
        named = named || keyword == "application_name";
    }
    PQconninfoFree(given);
    for (const auto& [keyword, value] : kClientSettings)
        settings.emplace_back(keyword, value);
    if (!named)
        settings.emplace_back("application_name", "px316t");
    settings.emplace_back("options", options.empty() ? kServerOptions : options + " " + kServerOptions);
    return settings;
}

Outcome<std::unique_ptr<PgConnection>> PgConnection::open(const std::string& conninfo)
{
    auto settings = connectionSettings(conninfo);
    if (!settings.ok())
        return settings.failure();
    std::vector<const char*> keys;
    std::vector<const char*> values;
    for (const auto& [keyword, value] : settings.value()) {
        keys.push_back(keyword.c_str());
        values.push_back(value.c_str());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    pg_conn* conn = PQconnectdbParams(keys.data(), values.data(), 0);
    if (!conn)
        return Failure{"The production database could not be reached: out of memory."};
    if (PQstatus(conn) != CONNECTION_OK) {
        const std::string message = trimmed(PQerrorMessage(conn));
        PQfinish(conn);
        return Failure{"The production database could not be reached: " + message};
    }
    PQsetNoticeProcessor(conn, dropNotice, nullptr);
    return std::unique_ptr<PgConnection>(new PgConnection(conn));
}

PgConnection::PgConnection(pg_conn* conn) : conn_(conn), backendPid_(PQbackendPID(conn)) {}

PgConnection::~PgConnection() { PQfinish(conn_); }

std::string PgConnection::error() const
{
    const std::string message = trimmed(PQerrorMessage(conn_));
    return message.empty() ? "unknown error" : message;
}

Outcome<PgRows> PgConnection::exec(const std::string& sql, const std::vector<std::string>& params)
{
    std::vector<const char*> values;
    values.reserve(params.size());
    for (const std::string& p : params)
        values.push_back(p.c_str());
    pg_result* result = PQexecParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr,
                                     values.data(), nullptr, nullptr, 0);
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        const std::string message = result ? trimmed(PQresultErrorMessage(result)) : "";
        noteFailure(result);
        PQclear(result);
        return Failure{message.empty() ? error() : message};
    }
    return PgRows(result);
}

Status PgConnection::run(const std::string& sql)
{
    pg_result* result = PQexec(conn_, sql.c_str());
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    const std::string message = result ? trimmed(PQresultErrorMessage(result)) : "";
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        noteFailure(result);
    PQclear(result);
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        return {};
    return Failure{message.empty() ? error() : message};
}

void PgConnection::rollback()
{
    if (isConnected() && PQtransactionStatus(conn_) != PQTRANS_IDLE)
        PQclear(PQexec(conn_, "ROLLBACK"));
}

void PgConnection::noteFailure(const pg_result* result)
{
    // The server names every error it sends; one without a name came from
    // the connection itself (libpq does not always mark it broken then).
    broken_ = broken_ || !result || !PQresultErrorField(result, PG_DIAG_SQLSTATE);
}

bool PgConnection::isConnected() const { return !broken_ && PQstatus(conn_) == CONNECTION_OK; }

int PgConnection::backendPid() const { return backendPid_; }

Status PgConnection::keepSchema(const std::string& schema)
{
    auto set = exec("SELECT set_config('search_path', quote_ident($1), false)", {schema});
    if (!set.ok())
        return set.failure();
    schema_ = schema;
    return {};
}

bool PgConnection::reconnectIfBroken()
{
    if (isConnected())
        return true;
    PQreset(conn_);
    broken_ = PQstatus(conn_) != CONNECTION_OK;
    if (!broken_)
        backendPid_ = PQbackendPID(conn_);
    if (!broken_ && !schema_.empty())
        broken_ = !keepSchema(schema_).ok();
    return !broken_;
}

} // namespace px316t
