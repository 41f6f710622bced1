#include "production/pg_connection.h"

#include <libpq-fe.h>

#include <cstdlib>
#include <cstring>

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

Outcome<std::unique_ptr<PgConnection>> PgConnection::open(const std::string& conninfo)
{
    // Earlier keywords are overridden by the expanded connection string, which comes last.
    const char* keys[] = {"connect_timeout", "tcp_user_timeout", "keepalives_idle", "keepalives_interval",
                          "keepalives_count", "options", "application_name", "dbname", nullptr};
    const char* values[] = {"5", "10000", "5", "2", "3",
                            "-c statement_timeout=15000 -c lock_timeout=10000 "
                            "-c idle_in_transaction_session_timeout=60000 -c client_min_messages=warning",
                            "px316t", conninfo.c_str(), nullptr};
    pg_conn* conn = PQconnectdbParams(keys, values, 1);
    if (!conn)
        return Failure{"The production database could not be reached: out of memory."};
    if (PQstatus(conn) != CONNECTION_OK) {
        std::string message = PQerrorMessage(conn);
        PQfinish(conn);
        while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
            message.pop_back();
        return Failure{"The production database could not be reached: " + message};
    }
    return std::unique_ptr<PgConnection>(new PgConnection(conn));
}

PgConnection::~PgConnection() { PQfinish(conn_); }

std::string PgConnection::error() const
{
    std::string message = PQerrorMessage(conn_);
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
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
        std::string message = result ? PQresultErrorMessage(result) : "";
        PQclear(result);
        while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
            message.pop_back();
        return Failure{message.empty() ? error() : message};
    }
    return PgRows(result);
}

Status PgConnection::run(const std::string& sql)
{
    pg_result* result = PQexec(conn_, sql.c_str());
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    std::string message = result ? PQresultErrorMessage(result) : "";
    PQclear(result);
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        return {};
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    return Failure{message.empty() ? error() : message};
}

void PgConnection::rollback()
{
    if (PQstatus(conn_) == CONNECTION_OK && PQtransactionStatus(conn_) != PQTRANS_IDLE)
        PQclear(PQexec(conn_, "ROLLBACK"));
}

bool PgConnection::isConnected() const { return PQstatus(conn_) == CONNECTION_OK; }

bool PgConnection::reconnectIfBroken()
{
    if (PQstatus(conn_) == CONNECTION_OK)
        return true;
    PQreset(conn_);
    return PQstatus(conn_) == CONNECTION_OK;
}

} // namespace px316t
