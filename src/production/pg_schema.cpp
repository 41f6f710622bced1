#include "production/pg_schema.h"

namespace px316t {

namespace {

// Raised whenever the tables change; a database at this version is left alone.
constexpr int kSchemaVersion = 3;

constexpr const char* kTables =
    "CREATE TABLE IF NOT EXISTS px316t_batch ("
    " name text PRIMARY KEY,"
    " first_capcode bigint NOT NULL,"
    " last_capcode bigint NOT NULL,"
    " next_capcode bigint NOT NULL,"
    " created_utc timestamptz NOT NULL DEFAULT now());"
    "CREATE TABLE IF NOT EXISTS px316t_station ("
    " id bigserial PRIMARY KEY,"
    " name text NOT NULL,"
    " host text NOT NULL,"
    " pid bigint NOT NULL,"
    " started_utc timestamptz NOT NULL DEFAULT now(),"
    " gone_utc timestamptz);"
    "CREATE INDEX IF NOT EXISTS px316t_station_name ON px316t_station(name) WHERE gone_utc IS NULL;"
    "CREATE TABLE IF NOT EXISTS px316t_reservation ("
    " id bigserial PRIMARY KEY,"
    " batch text NOT NULL REFERENCES px316t_batch(name),"
    " capcode bigint NOT NULL,"
    " station text NOT NULL,"
    " state text NOT NULL,"
    " reserved_utc timestamptz NOT NULL DEFAULT now(),"
    " finished_utc timestamptz,"
    " UNIQUE (batch, capcode));"
    "CREATE INDEX IF NOT EXISTS px316t_reservation_state ON px316t_reservation(batch, state, capcode);"
    "CREATE INDEX IF NOT EXISTS px316t_reservation_station ON px316t_reservation(station, state);"
    "CREATE TABLE IF NOT EXISTS px316t_record ("
    " id bigserial PRIMARY KEY,"
    " time_utc timestamptz NOT NULL,"
    " station text NOT NULL,"
    " port text NOT NULL,"
    " operation text NOT NULL,"
    " batch text NOT NULL,"
    " first_capcode bigint,"
    " capcodes text NOT NULL,"
    " frequency_hz bigint NOT NULL,"
    " result text NOT NULL,"
    " sha256 text NOT NULL,"
    " note text NOT NULL);"
    "CREATE INDEX IF NOT EXISTS px316t_record_time ON px316t_record(time_utc);"
    "CREATE TABLE IF NOT EXISTS px316t_schema (version integer NOT NULL);";

// Reservations of the time before the states: `reserved` rows carry no owner
// that could be proven gone, and may have been written, so they become uncertain.
constexpr const char* kStatesMigration =
    "ALTER TABLE px316t_reservation DROP CONSTRAINT IF EXISTS px316t_reservation_state_check;"
    "ALTER TABLE px316t_reservation ADD COLUMN instance bigint,"
    " ADD COLUMN port text NOT NULL DEFAULT '', ADD COLUMN sha256 text NOT NULL DEFAULT '',"
    " ADD COLUMN capcodes text NOT NULL DEFAULT '', ADD COLUMN frequency_hz bigint NOT NULL DEFAULT 0,"
    " ADD COLUMN reason text NOT NULL DEFAULT '';"
    "UPDATE px316t_reservation SET state = 'uncertain', finished_utc = now(),"
    " reason = 'held by a station of an earlier version when the database was brought up to date'"
    " WHERE state = 'reserved';"
    "ALTER TABLE px316t_reservation ADD CONSTRAINT px316t_reservation_state_check"
    " CHECK (state IN ('reserved', 'writing', 'used', 'returned', 'uncertain'));"
    "CREATE INDEX px316t_reservation_instance ON px316t_reservation(instance) WHERE state IN ('reserved', 'writing');";

// Version 2: the lease a station renews while it runs, and the entry id a
// station chooses so that an entry sent again after a lost reply is kept once.
constexpr const char* kLeaseAndEntryIds =
    "ALTER TABLE px316t_station ADD COLUMN IF NOT EXISTS lease_until timestamptz;"
    "ALTER TABLE px316t_record ADD COLUMN IF NOT EXISTS entry_uid text;"
    "CREATE UNIQUE INDEX IF NOT EXISTS px316t_record_entry_uid ON px316t_record(entry_uid);";

// Version 3: batches made from a carrier's allocation list (the list kept in
// px316t_batch_capcode, walked by next_position; first, last and next_capcode
// span the list so that a station of an earlier version sees the batch as a
// range it must not overlap and has nothing left to give), and who and from
// what each capcode was written and each entry made.
constexpr const char* kListsAndSources =
    "ALTER TABLE px316t_batch ADD COLUMN IF NOT EXISTS list_file text,"
    " ADD COLUMN IF NOT EXISTS list_size bigint,"
    " ADD COLUMN IF NOT EXISTS next_position bigint NOT NULL DEFAULT 0,"
    " ADD COLUMN IF NOT EXISTS extra_columns text NOT NULL DEFAULT '';"
    "CREATE TABLE IF NOT EXISTS px316t_batch_capcode ("
    " batch text NOT NULL REFERENCES px316t_batch(name),"
    " position bigint NOT NULL,"
    " capcode bigint NOT NULL,"
    " customer text NOT NULL,"
    " order_ref text NOT NULL,"
    " label text NOT NULL,"
    " extra text NOT NULL,"
    " PRIMARY KEY (batch, position),"
    " UNIQUE (batch, capcode));"
    "CREATE INDEX IF NOT EXISTS px316t_batch_capcode_capcode ON px316t_batch_capcode(capcode);"
    "ALTER TABLE px316t_reservation ADD COLUMN IF NOT EXISTS operator text NOT NULL DEFAULT '',"
    " ADD COLUMN IF NOT EXISTS program_version text NOT NULL DEFAULT '',"
    " ADD COLUMN IF NOT EXISTS table_file text NOT NULL DEFAULT '',"
    " ADD COLUMN IF NOT EXISTS table_sha256 text NOT NULL DEFAULT '';"
    "ALTER TABLE px316t_record ADD COLUMN IF NOT EXISTS operator text NOT NULL DEFAULT '',"
    " ADD COLUMN IF NOT EXISTS program_version text NOT NULL DEFAULT '',"
    " ADD COLUMN IF NOT EXISTS table_file text NOT NULL DEFAULT '',"
    " ADD COLUMN IF NOT EXISTS table_sha256 text NOT NULL DEFAULT '',"
    " ADD COLUMN IF NOT EXISTS list_file text NOT NULL DEFAULT '',"
    " ADD COLUMN IF NOT EXISTS customer text NOT NULL DEFAULT '',"
    " ADD COLUMN IF NOT EXISTS order_ref text NOT NULL DEFAULT '',"
    " ADD COLUMN IF NOT EXISTS label text NOT NULL DEFAULT '',"
    " ADD COLUMN IF NOT EXISTS list_extra text NOT NULL DEFAULT '';";

Outcome<int> versionOf(PgConnection& db)
{
    auto present = db.exec("SELECT to_regclass('px316t_schema') IS NOT NULL");
    if (!present.ok())
        return Failure{present.message()};
    if (present.value().text(0, 0) != "t")
        return 0;
    auto version = db.exec("SELECT COALESCE(max(version), 0) FROM px316t_schema");
    if (!version.ok())
        return Failure{version.message()};
    return static_cast<int>(version.value().integer(0, 0));
}

// The one schema that holds the production tables, or, when none does yet,
// the one this session creates them in; kept as the session's search_path
// (on every new session too). Tables in two schemas are refused: each set
// would give out the same capcodes.
Status fixSchema(PgConnection& db)
{
    auto schemas = db.exec("SELECT n.nspname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace"
                           " WHERE c.relname = 'px316t_batch' AND c.relkind = 'r' ORDER BY 1");
    if (!schemas.ok())
        return Failure{schemas.message()};
    if (schemas.value().count() > 1) {
        std::string names;
        for (int i = 0; i < schemas.value().count(); ++i)
            names += (i ? ", " : "") + schemas.value().text(i, 0);
        return Failure{"its production tables are in several schemas (" + names +
                       "), which would give out the same capcodes twice; the database administrator keeps one"};
    }
    if (schemas.value().count() == 1)
        return db.keepSchema(schemas.value().text(0, 0));
    auto current = db.exec("SELECT current_schema()");
    if (!current.ok())
        return Failure{current.message()};
    if (current.value().isNull(0, 0))
        return Failure{"no schema of the connection's search_path exists to hold the production tables"};
    return db.keepSchema(current.value().text(0, 0));
}

Status bringUpToDate(PgConnection& db)
{
    if (Status s = fixSchema(db); !s.ok())
        return s;
    auto version = versionOf(db);
    if (!version.ok() || version.value() >= kSchemaVersion)
        return version.ok() ? Status{} : Status(version.failure());
    if (Status s = db.run(kTables); !s.ok())
        return s;
    auto states = db.exec("SELECT count(*) FROM information_schema.columns WHERE table_schema = current_schema()"
                          " AND table_name = 'px316t_reservation' AND column_name = 'instance'");
    if (!states.ok())
        return Failure{states.message()};
    if (states.value().integer(0, 0) == 0)
        if (Status s = db.run(kStatesMigration); !s.ok())
            return s;
    if (Status s = db.run(kLeaseAndEntryIds); !s.ok())
        return s;
    if (Status s = db.run(kListsAndSources); !s.ok())
        return s;
    return db.run("DELETE FROM px316t_schema; INSERT INTO px316t_schema VALUES (" + std::to_string(kSchemaVersion) +
                  ")");
}

} // namespace

std::string databaseFailure(const std::string& what, const std::string& message)
{
    return "The production database " + what + ": " + message;
}

Status ensureProductionSchema(PgConnection& db)
{
    // Quick when the tables are there and up to date: nothing is created.
    if (Status s = fixSchema(db); !s.ok())
        return Failure{databaseFailure("cannot be used", s.message())};
    auto version = versionOf(db);
    if (!version.ok())
        return Failure{databaseFailure("could not be read", version.message())};
    if (version.value() >= kSchemaVersion)
        return {};
    // Changed by one station at a time; the others find it done.
    if (Status s = db.run("BEGIN"); !s.ok())
        return Failure{databaseFailure("could not be prepared", s.message())};
    auto lock = db.exec(std::string("SELECT pg_advisory_xact_lock(") + kSchemaLockKey + ")");
    Status done = lock.ok() ? bringUpToDate(db) : Status(Failure{lock.message()});
    if (done.ok())
        done = db.run("COMMIT");
    if (!done.ok()) {
        db.rollback();
        return Failure{databaseFailure("could not be prepared", done.message())};
    }
    return {};
}

} // namespace px316t
