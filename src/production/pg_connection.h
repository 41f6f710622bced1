#pragma once
// A libpq connection with bounded waits: connecting gives up after a few
// seconds, every statement and lock wait has a server-side time-out, and a
// network or a peer that goes silent is noticed by keep-alives on both ends,
// so no call blocks for ever and a station that lost power loses its session
// within seconds. Not shared between threads without the owner's lock.
#include "production/outcome.h"

#include <memory>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

namespace px316t {

// The setting that names the shared production database (a libpq connection
// string): $PX316T_PRODUCTION_DB; empty when unset.
std::string productionDatabaseFromEnvironment();

class PgRows {
public:
    explicit PgRows(pg_result* result);
    ~PgRows();
    PgRows(PgRows&& other) noexcept : result_(other.result_) { other.result_ = nullptr; }
    PgRows& operator=(PgRows&&) = delete;
    PgRows(const PgRows&) = delete;

    int count() const;
    std::string text(int row, int column) const;
    bool isNull(int row, int column) const;
    long long integer(int row, int column) const;

private:
    pg_result* result_;
};

// The settings a connection asks of the server and of libpq, merged into the
// connection string `conninfo`: its host, database, user and other settings
// are kept, its `options` go first and the program's server settings after
// them (the later setting wins), and the program's time-outs and keep-alives
// replace its own. Keyword and value pairs, or a failure when `conninfo`
// cannot be read.
Outcome<std::vector<std::pair<std::string, std::string>>> connectionSettings(const std::string& conninfo);

class PgConnection {
public:
    static Outcome<std::unique_ptr<PgConnection>> open(const std::string& conninfo);
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Runs one statement with text parameters ($1, $2, ...), never spliced into the SQL.
    Outcome<PgRows> exec(const std::string& sql, const std::vector<std::string>& params = {});
    // Runs `sql` without parameters (several statements allowed).
    Status run(const std::string& sql);
    // Best effort, after a failure inside a transaction.
    void rollback();
    bool isConnected() const;
    // The server process of the session (of the last one, once it broke).
    int backendPid() const;
    // Re-establishes a broken connection; false when the server still cannot be reached.
    bool reconnectIfBroken();
    // Makes `schema` the session's search_path, now and on every new session.
    Status keepSchema(const std::string& schema);

private:
    explicit PgConnection(pg_conn* conn);
    std::string error() const;
    void noteFailure(const pg_result* result);

    pg_conn* conn_;
    bool broken_ = false;
    // libpq forgets the server process once the connection breaks, which is
    // when a reconnect needs it to end that session.
    int backendPid_ = 0;
    std::string schema_;
};

} // namespace px316t
