#include "production/pg_production.h"

#include <cctype>

#ifdef _WIN32
#include <process.h>
#include <winsock2.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace px316t {

namespace {

// Advisory lock keys (two-number form): schema and batch changes, the liveness
// of one station instance, and the start of a station by name.
constexpr const char* kSchemaLock = "316316";
constexpr const char* kLiveLockClass = "316317";
constexpr const char* kNameLockClass = "316318";

constexpr const char* kSchema =
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
    "CREATE INDEX IF NOT EXISTS px316t_record_time ON px316t_record(time_utc);";

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

constexpr const char* kRecoveredColumns =
    "batch, capcode, station, state, port, sha256, capcodes, frequency_hz, reason";

std::string databaseFailure(const std::string& what, const std::string& message)
{
    return "The production database " + what + ": " + message;
}

std::vector<RecoveredReservation> recoveredRows(const PgRows& rows)
{
    std::vector<RecoveredReservation> out;
    for (int i = 0; i < rows.count(); ++i) {
        RecoveredReservation r;
        r.batch = rows.text(i, 0);
        r.capcode = static_cast<std::uint64_t>(rows.integer(i, 1));
        r.station = rows.text(i, 2);
        r.state = reservationStateFromText(rows.text(i, 3)).value_or(ReservationState::Uncertain);
        r.port = rows.text(i, 4);
        r.sha256 = rows.text(i, 5);
        r.capcodes = splitCapcodes(rows.text(i, 6));
        r.frequencyHz = rows.integer(i, 7);
        r.reason = rows.text(i, 8);
        out.push_back(std::move(r));
    }
    return out;
}

std::string hostName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) == 0 && name[0])
        return name;
    return "?";
}

} // namespace

RecordEntry recoveryEntry(const RecoveredReservation& r, const std::string& recoveringStation)
{
    RecordEntry entry;
    entry.time = std::chrono::system_clock::now();
    entry.station = r.station.empty() ? recoveringStation : r.station;
    entry.port = r.port;
    entry.operation = RecordOperation::Write;
    entry.batch = r.batch;
    entry.firstCapcode = static_cast<std::int64_t>(r.capcode);
    entry.capcodes = r.capcodes;
    entry.frequencyHz = r.frequencyHz;
    entry.sha256 = r.sha256;
    entry.result = r.state == ReservationState::Returned ? RecordResult::Returned : RecordResult::Uncertain;
    entry.note = r.reason;
    if (!recoveringStation.empty() && recoveringStation != entry.station)
        entry.note += " (recorded by " + recoveringStation + ")";
    return entry;
}

Status ensureProductionSchema(PgConnection& connection)
{
    if (Status s = connection.run("BEGIN"); !s.ok())
        return Failure{databaseFailure("could not be prepared", s.message())};
    auto lock = connection.exec(std::string("SELECT pg_advisory_xact_lock(") + kSchemaLock + ")");
    Status created = lock.ok() ? connection.run(kSchema) : Status(Failure{lock.message()});
    if (created.ok()) {
        auto migrated = connection.exec("SELECT count(*) FROM information_schema.columns WHERE table_schema = "
                                        "current_schema() AND table_name = 'px316t_reservation' AND column_name = "
                                        "'instance'");
        if (!migrated.ok())
            created = Failure{migrated.message()};
        else if (migrated.value().integer(0, 0) == 0)
            created = connection.run(kStatesMigration);
    }
    if (created.ok())
        created = connection.run("COMMIT");
    if (!created.ok()) {
        connection.rollback();
        return Failure{databaseFailure("could not be prepared", created.message())};
    }
    return {};
}

// ---- batches -------------------------------------------------------------------------

namespace {

Outcome<std::optional<BatchState>> findBatch(PgConnection& db, const std::string& name)
{
    auto rows = db.exec("SELECT first_capcode, last_capcode, next_capcode FROM px316t_batch WHERE name = $1", {name});
    if (!rows.ok())
        return Failure{databaseFailure("could not be read", rows.message())};
    if (rows.value().count() == 0)
        return std::optional<BatchState>();
    BatchState b;
    b.name = name;
    b.first = static_cast<std::uint64_t>(rows.value().integer(0, 0));
    b.last = static_cast<std::uint64_t>(rows.value().integer(0, 1));
    b.next = static_cast<std::uint64_t>(rows.value().integer(0, 2));
    return std::optional<BatchState>(b);
}

Failure unknownBatch(PgConnection& db, const std::string& name)
{
    std::string known;
    if (auto rows = db.exec("SELECT name FROM px316t_batch ORDER BY created_utc DESC LIMIT 20"); rows.ok())
        for (int i = 0; i < rows.value().count(); ++i)
            known += (known.empty() ? "" : ", ") + ("\"" + rows.value().text(i, 0) + "\"");
    return Failure{"There is no batch \"" + name + "\" in the production database" +
                       (known.empty() ? std::string(" (it holds none)") : " (batches: " + known + ")") +
                       ". Create it with: px316t-cli batch create NAME --first N [--last M]",
                   true};
}

} // namespace

Status createBatch(PgConnection& db, const BatchSpec& wanted)
{
    if (wanted.name.empty() || std::isspace(static_cast<unsigned char>(wanted.name.front())) ||
        std::isspace(static_cast<unsigned char>(wanted.name.back())))
        return Failure{"A batch name must not be empty nor begin or end with a space.", true};
    for (unsigned char c : wanted.name)
        if (c < 0x20 || c == 0x7F)
            return Failure{"A batch name must not hold control characters.", true};
    if (wanted.first > wanted.last)
        return Failure{"The batch's first capcode " + std::to_string(wanted.first) + " is above its last " +
                           std::to_string(wanted.last) + ".",
                       true};
    if (Status s = ensureProductionSchema(db); !s.ok())
        return s;
    auto fail = [&db](const std::string& message, bool refused) -> Status {
        db.rollback();
        return Failure{message, refused};
    };
    if (Status s = db.run("BEGIN"); !s.ok())
        return Failure{databaseFailure("could not be written", s.message())};
    if (auto lock = db.exec(std::string("SELECT pg_advisory_xact_lock(") + kSchemaLock + ")"); !lock.ok())
        return fail(databaseFailure("could not be written", lock.message()), false);
    auto same = db.exec("SELECT name FROM px316t_batch WHERE lower(btrim(name)) = lower(btrim($1))", {wanted.name});
    if (!same.ok())
        return fail(databaseFailure("could not be read", same.message()), false);
    if (same.value().count() > 0)
        return fail(same.value().text(0, 0) == wanted.name
                        ? "The batch \"" + wanted.name + "\" exists already."
                        : "The batch \"" + wanted.name + "\" would differ from the batch \"" + same.value().text(0, 0) +
                              "\" only in case or spaces; choose another name.",
                    true);
    const std::string first = std::to_string(wanted.first);
    const std::string last = std::to_string(wanted.last);
    // Capcodes of any batch may be in pagers already: ranges never overlap.
    auto overlapping = db.exec("SELECT name, first_capcode, last_capcode FROM px316t_batch "
                               "WHERE first_capcode <= $2::bigint AND last_capcode >= $1::bigint ORDER BY first_capcode",
                               {first, last});
    if (!overlapping.ok())
        return fail(databaseFailure("could not be read", overlapping.message()), false);
    if (overlapping.value().count() > 0)
        return fail("The range " + first + ".." + last + " overlaps the batch \"" + overlapping.value().text(0, 0) +
                        "\" (" + overlapping.value().text(0, 1) + ".." + overlapping.value().text(0, 2) + ").",
                    true);
    auto inserted = db.exec("INSERT INTO px316t_batch (name, first_capcode, last_capcode, next_capcode) "
                            "VALUES ($1, $2::bigint, $3::bigint, $2::bigint)",
                            {wanted.name, first, last});
    if (!inserted.ok())
        return fail(databaseFailure("refused the batch " + wanted.name, inserted.message()), false);
    if (Status s = db.run("COMMIT"); !s.ok())
        return fail(databaseFailure("could not be written", s.message()), false);
    return {};
}

namespace {

Outcome<BatchSummary> summarize(PgConnection& db, const BatchState& batch, bool withRows)
{
    BatchSummary summary;
    summary.batch = batch;
    auto counts = db.exec("SELECT count(*) FILTER (WHERE state = 'used'), count(*) FILTER (WHERE state = 'uncertain'),"
                          " count(*) FILTER (WHERE state = 'returned'),"
                          " count(*) FILTER (WHERE state IN ('reserved', 'writing'))"
                          " FROM px316t_reservation WHERE batch = $1",
                          {batch.name});
    if (!counts.ok())
        return Failure{databaseFailure("could not be read", counts.message())};
    summary.used = counts.value().integer(0, 0);
    summary.uncertain = counts.value().integer(0, 1);
    summary.returned = counts.value().integer(0, 2);
    summary.open = counts.value().integer(0, 3);
    if (!withRows)
        return summary;
    auto rows = db.exec("SELECT capcode, state, station, COALESCE(instance, 0), port, reason,"
                        " to_char(COALESCE(finished_utc, reserved_utc) AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"')"
                        " FROM px316t_reservation WHERE batch = $1 AND state <> 'used' ORDER BY capcode",
                        {batch.name});
    if (!rows.ok())
        return Failure{databaseFailure("could not be read", rows.message())};
    for (int i = 0; i < rows.value().count(); ++i) {
        ReservationRow r;
        r.capcode = static_cast<std::uint64_t>(rows.value().integer(i, 0));
        r.state = reservationStateFromText(rows.value().text(i, 1)).value_or(ReservationState::Uncertain);
        r.station = rows.value().text(i, 2);
        r.instance = rows.value().integer(i, 3);
        r.port = rows.value().text(i, 4);
        r.reason = rows.value().text(i, 5);
        r.since = rows.value().text(i, 6);
        summary.notUsed.push_back(std::move(r));
    }
    return summary;
}

} // namespace

Outcome<std::vector<BatchSummary>> listBatches(PgConnection& db)
{
    if (Status s = ensureProductionSchema(db); !s.ok())
        return Failure{s.message()};
    auto names = db.exec("SELECT name FROM px316t_batch ORDER BY created_utc, name");
    if (!names.ok())
        return Failure{databaseFailure("could not be read", names.message())};
    std::vector<BatchSummary> out;
    for (int i = 0; i < names.value().count(); ++i) {
        auto batch = findBatch(db, names.value().text(i, 0));
        if (!batch.ok())
            return Failure{batch.message()};
        if (!batch.value())
            continue;
        auto summary = summarize(db, *batch.value(), false);
        if (!summary.ok())
            return Failure{summary.message()};
        out.push_back(std::move(summary.value()));
    }
    return out;
}

Outcome<BatchSummary> describeBatch(PgConnection& db, const std::string& name)
{
    if (Status s = ensureProductionSchema(db); !s.ok())
        return Failure{s.message()};
    auto batch = findBatch(db, name);
    if (!batch.ok())
        return Failure{batch.message()};
    if (!batch.value())
        return unknownBatch(db, name);
    return summarize(db, *batch.value(), true);
}

Outcome<std::vector<RecoveredReservation>> releaseStation(PgConnection& db, const std::string& batch,
                                                          const std::string& station)
{
    if (Status s = ensureProductionSchema(db); !s.ok())
        return Failure{s.message()};
    auto found = findBatch(db, batch);
    if (!found.ok())
        return Failure{found.message()};
    if (!found.value())
        return unknownBatch(db, batch);
    auto rows = db.exec(std::string("UPDATE px316t_reservation SET finished_utc = now(),"
                                    " reason = CASE WHEN state = 'writing' THEN 'released by the operator while its "
                                    "station was writing; the pager may hold it' ELSE 'released by the operator "
                                    "before its station wrote it' END,"
                                    " state = CASE WHEN state = 'writing' THEN 'uncertain' ELSE 'returned' END"
                                    " WHERE batch = $1 AND station = $2 AND state IN ('reserved', 'writing') RETURNING ") +
                            kRecoveredColumns,
                        {batch, station});
    if (!rows.ok())
        return Failure{databaseFailure("could not release the station's capcodes", rows.message())};
    return recoveredRows(rows.value());
}

Outcome<std::vector<RecoveredReservation>> recoverGoneStations(PgConnection& db, std::int64_t except)
{
    auto owners = db.exec("SELECT DISTINCT instance FROM px316t_reservation WHERE state IN ('reserved', 'writing') "
                          "AND instance IS NOT NULL AND instance <> $1::bigint",
                          {std::to_string(except)});
    if (!owners.ok())
        return Failure{databaseFailure("could not be read", owners.message())};
    std::vector<RecoveredReservation> recovered;
    for (int i = 0; i < owners.value().count(); ++i) {
        const std::string instance = owners.value().text(i, 0);
        auto free = db.exec(std::string("SELECT pg_try_advisory_lock(") + kLiveLockClass + ", $1::int)", {instance});
        if (!free.ok())
            return Failure{databaseFailure("could not be read", free.message())};
        if (free.value().text(0, 0) != "t")
            continue;   // its station still runs
        auto rows = db.exec(std::string("UPDATE px316t_reservation SET finished_utc = now(),"
                                        " reason = CASE WHEN state = 'writing' THEN 'its station stopped while "
                                        "writing; the pager may hold it' ELSE 'its station stopped before writing "
                                        "it' END,"
                                        " state = CASE WHEN state = 'writing' THEN 'uncertain' ELSE 'returned' END"
                                        " WHERE instance = $1::bigint AND state IN ('reserved', 'writing') RETURNING ") +
                                kRecoveredColumns,
                            {instance});
        if (rows.ok())
            db.exec("UPDATE px316t_station SET gone_utc = COALESCE(gone_utc, now()) WHERE id = $1::bigint", {instance});
        db.exec(std::string("SELECT pg_advisory_unlock(") + kLiveLockClass + ", $1::int)", {instance});
        if (!rows.ok())
            return Failure{databaseFailure("could not recover a station's capcodes", rows.message())};
        for (RecoveredReservation& r : recoveredRows(rows.value()))
            recovered.push_back(std::move(r));
    }
    return recovered;
}

// ---- capcode sequence ----------------------------------------------------------

Outcome<std::unique_ptr<PgCapcodeSequence>> PgCapcodeSequence::open(const std::string& conninfo,
                                                                    const std::string& batch,
                                                                    const std::string& station)
{
    if (batch.empty())
        return Failure{"A shared capcode sequence needs a batch name.", true};
    auto connection = PgConnection::open(conninfo);
    if (!connection.ok())
        return Failure{connection.message()};
    PgConnection& db = *connection.value();
    if (Status s = ensureProductionSchema(db); !s.ok())
        return Failure{s.message()};
    auto found = findBatch(db, batch);
    if (!found.ok())
        return Failure{found.message()};
    if (!found.value())
        return unknownBatch(db, batch);

    // One live instance per station name: the name is what the record and the
    // batch commands show, and what "batch release" names.
    auto fail = [&db](const std::string& message, bool refused) -> Outcome<std::unique_ptr<PgCapcodeSequence>> {
        db.rollback();
        return Failure{message, refused};
    };
    if (Status s = db.run("BEGIN"); !s.ok())
        return Failure{databaseFailure("could not register the station", s.message())};
    if (auto lock = db.exec(std::string("SELECT pg_advisory_xact_lock(") + kNameLockClass + ", hashtext($1))", {station});
        !lock.ok())
        return fail(databaseFailure("could not register the station", lock.message()), false);
    auto same = db.exec("SELECT id, host, pid FROM px316t_station WHERE name = $1 AND gone_utc IS NULL", {station});
    if (!same.ok())
        return fail(databaseFailure("could not register the station", same.message()), false);
    for (int i = 0; i < same.value().count(); ++i) {
        const std::string id = same.value().text(i, 0);
        auto free = db.exec(std::string("SELECT pg_try_advisory_lock(") + kLiveLockClass + ", $1::int)", {id});
        if (!free.ok())
            return fail(databaseFailure("could not register the station", free.message()), false);
        if (free.value().text(0, 0) != "t")
            return fail("A station named \"" + station + "\" is running already (on " + same.value().text(i, 1) +
                            ", process " + same.value().text(i, 2) +
                            "). Give this one another name with --station NAME (or PX316T_STATION).",
                        true);
        db.exec(std::string("SELECT pg_advisory_unlock(") + kLiveLockClass + ", $1::int)", {id});
        db.exec("UPDATE px316t_station SET gone_utc = now() WHERE id = $1::bigint", {id});
    }
    auto registered = db.exec("INSERT INTO px316t_station (name, host, pid) VALUES ($1, $2, $3::bigint) RETURNING id",
                              {station, hostName(), std::to_string(static_cast<long long>(::getpid()))});
    if (!registered.ok() || registered.value().count() != 1)
        return fail(databaseFailure("could not register the station",
                                    registered.ok() ? "no row" : registered.message()),
                    false);
    const std::string id = registered.value().text(0, 0);
    if (auto lock = db.exec(std::string("SELECT pg_advisory_lock(") + kLiveLockClass + ", $1::int)", {id}); !lock.ok())
        return fail(databaseFailure("could not register the station", lock.message()), false);
    if (Status s = db.run("COMMIT"); !s.ok())
        return fail(databaseFailure("could not register the station", s.message()), false);

    std::unique_ptr<PgCapcodeSequence> sequence(new PgCapcodeSequence(std::move(connection.value()), batch, station));
    sequence->instance_ = std::stoll(id);
    sequence->state_ = *found.value();
    auto recovered = recoverGoneStations(*sequence->connection_, sequence->instance_);
    if (!recovered.ok())
        return Failure{recovered.message()};
    sequence->recovered_ = std::move(recovered.value());
    return sequence;
}

bool PgCapcodeSequence::connected()
{
    PgConnection& db = *connection_;
    if (db.isConnected())
        return true;
    if (!db.reconnectIfBroken())
        return false;
    // The new session must hold this instance's liveness lock again; while a
    // recovery holds it, this station must not act.
    auto lock = db.exec(std::string("SELECT pg_try_advisory_lock(") + kLiveLockClass + ", $1::int)",
                        {std::to_string(instance_)});
    return lock.ok() && lock.value().text(0, 0) == "t";
}

Outcome<Reservation> PgCapcodeSequence::reserveNext()
{
    const std::lock_guard lock(mutex_);
    PgConnection& db = *connection_;
    if (!connected())
        return Failure{databaseFailure("cannot be reached; no capcode was reserved", "connection lost")};
    auto fail = [&db](const std::string& message) -> Outcome<Reservation> {
        db.rollback();
        return Failure{databaseFailure("gave no capcode", message)};
    };
    const std::string instance = std::to_string(instance_);
    if (Status s = db.run("BEGIN"); !s.ok())
        return fail(s.message());
    // A capcode given back (never written) goes out before any new one; a
    // returned row another station is taking right now is skipped, not waited for.
    auto returned = db.exec("SELECT id, capcode FROM px316t_reservation WHERE batch = $1 AND state = 'returned' "
                            "ORDER BY capcode LIMIT 1 FOR UPDATE SKIP LOCKED",
                            {batch_});
    if (!returned.ok())
        return fail(returned.message());
    Reservation reservation;
    if (returned.value().count() == 1) {
        reservation.id = returned.value().integer(0, 0);
        reservation.capcode = static_cast<std::uint64_t>(returned.value().integer(0, 1));
        auto taken = db.exec("UPDATE px316t_reservation SET state = 'reserved', station = $2, instance = $3::bigint, "
                             "reserved_utc = now(), finished_utc = NULL, port = '', sha256 = '', capcodes = '', "
                             "frequency_hz = 0, reason = '' WHERE id = $1::bigint",
                             {std::to_string(reservation.id), station_, instance});
        if (!taken.ok())
            return fail(taken.message());
    } else {
        // The batch row's lock orders the stations taking new numbers.
        auto next = db.exec("UPDATE px316t_batch SET next_capcode = next_capcode + 1 "
                            "WHERE name = $1 AND next_capcode <= last_capcode RETURNING next_capcode - 1, last_capcode",
                            {batch_});
        if (!next.ok())
            return fail(next.message());
        if (next.value().count() == 0) {
            db.rollback();
            exhausted_ = true;
            return Failure{"The batch " + batch_ + " has no capcode left (its last is " +
                           std::to_string(state_.last) + ")."};
        }
        reservation.capcode = static_cast<std::uint64_t>(next.value().integer(0, 0));
        auto inserted = db.exec("INSERT INTO px316t_reservation (batch, capcode, station, instance, state) "
                                "VALUES ($1, $2::bigint, $3, $4::bigint, 'reserved') RETURNING id",
                                {batch_, std::to_string(reservation.capcode), station_, instance});
        if (!inserted.ok() || inserted.value().count() != 1)
            return fail(inserted.ok() ? "no reservation row" : inserted.message());
        reservation.id = inserted.value().integer(0, 0);
    }
    if (Status s = db.run("COMMIT"); !s.ok())
        return fail(s.message());
    return reservation;
}

Status PgCapcodeSequence::transition(const Reservation& reservation, ReservationState to, const std::string& set,
                                     std::vector<std::string> params)
{
    const std::string what = moveText(to);
    const std::string sql = "UPDATE px316t_reservation SET state = '" + reservationStateText(to) + "', " + set +
                            " WHERE id = $1::bigint AND instance = $2::bigint AND state IN " + sqlStatesLeftFor(to);
    const std::lock_guard lock(mutex_);
    PgConnection& db = *connection_;
    const std::string capcode = std::to_string(reservation.capcode);
    params.insert(params.begin(), {std::to_string(reservation.id), std::to_string(instance_)});
    // One more try after re-connecting: each statement is conditional on the
    // state it leaves, so repeating it is harmless.
    std::string problem = "connection lost";
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!connected())
            continue;
        auto updated = db.exec(sql + " RETURNING state", params);
        if (!updated.ok()) {
            problem = updated.message();
            continue;
        }
        if (updated.value().count() == 1)
            return {};
        return Failure{"Capcode " + capcode + " could not be " + what +
                       ": it is no longer held by this station (released, or recovered while its connection was "
                       "lost)."};
    }
    return Failure{databaseFailure("could not record capcode " + capcode + " as " + what, problem)};
}

Status PgCapcodeSequence::beginWriting(const Reservation& reservation, const WriteIntent& intent)
{
    return transition(reservation, ReservationState::Writing,
                      "port = $3, sha256 = $4, capcodes = $5, frequency_hz = $6::bigint, reserved_utc = now()",
                      {intent.port, intent.image.sha256, joinCapcodes(intent.image.enabledCapcodes),
                       std::to_string(intent.image.frequencyHz)});
}

Status PgCapcodeSequence::markUsed(const Reservation& reservation)
{
    return transition(reservation, ReservationState::Used, "finished_utc = now(), reason = ''", {});
}

Status PgCapcodeSequence::giveBack(const Reservation& reservation)
{
    return transition(reservation, ReservationState::Returned,
                      "finished_utc = now(), reason = 'its write never began'", {});
}

Status PgCapcodeSequence::markUncertain(const Reservation& reservation, const std::string& reason)
{
    return transition(reservation, ReservationState::Uncertain, "finished_utc = now(), reason = $3", {reason});
}

std::optional<std::uint64_t> PgCapcodeSequence::peekNext()
{
    const std::lock_guard lock(mutex_);
    auto rows = connection_->exec(
        "SELECT COALESCE((SELECT min(capcode) FROM px316t_reservation WHERE batch = $1 AND state = 'returned'),"
        " (SELECT next_capcode FROM px316t_batch WHERE name = $1 AND next_capcode <= last_capcode))",
        {batch_});
    if (!rows.ok() || rows.value().count() != 1 || rows.value().isNull(0, 0))
        return std::nullopt;
    return static_cast<std::uint64_t>(rows.value().integer(0, 0));
}

// ---- record ----------------------------------------------------------------------

Outcome<std::unique_ptr<PgRecordStore>> PgRecordStore::open(const std::string& conninfo)
{
    auto connection = PgConnection::open(conninfo);
    if (!connection.ok())
        return Failure{connection.message()};
    if (Status s = ensureProductionSchema(*connection.value()); !s.ok())
        return Failure{s.message()};
    return std::unique_ptr<PgRecordStore>(new PgRecordStore(std::move(connection.value())));
}

Status PgRecordStore::append(const RecordEntry& e)
{
    const std::lock_guard lock(mutex_);
    const std::vector<std::string> params = {isoUtc(e.time), e.station, e.port, operationText(e.operation), e.batch,
                                             e.firstCapcode ? std::to_string(*e.firstCapcode) : std::string(),
                                             joinCapcodes(e.capcodes), std::to_string(e.frequencyHz),
                                             resultText(e.result), e.sha256, e.note};
    Status last;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!connection_->reconnectIfBroken()) {
            last = Failure{"connection lost"};
            continue;
        }
        // A single statement is its own transaction.
        auto inserted = connection_->exec(
            "INSERT INTO px316t_record (time_utc, station, port, operation, batch, first_capcode, capcodes, "
            "frequency_hz, result, sha256, note) VALUES ($1::timestamptz, $2, $3, $4, $5, NULLIF($6, '')::bigint, "
            "$7, $8::bigint, $9, $10, $11)",
            params);
        if (inserted.ok())
            return {};
        last = Failure{inserted.message()};
    }
    return Failure{databaseFailure("did not take the record entry", last.message())};
}

Outcome<std::vector<RecordEntry>> PgRecordStore::list(std::optional<SystemTime> since)
{
    const std::lock_guard lock(mutex_);
    auto rows = connection_->exec(
        "SELECT id, to_char(time_utc AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), station, port, "
        "operation, batch, first_capcode, capcodes, frequency_hz, result, sha256, note FROM px316t_record "
        "WHERE time_utc >= COALESCE(NULLIF($1, '')::timestamptz, '-infinity') ORDER BY id",
        {since ? isoUtc(*since) : std::string()});
    if (!rows.ok())
        return Failure{databaseFailure("could not be read", rows.message())};
    std::vector<RecordEntry> entries;
    const PgRows& r = rows.value();
    for (int i = 0; i < r.count(); ++i) {
        RecordEntry e;
        e.id = r.integer(i, 0);
        e.time = parseUtc(r.text(i, 1)).value_or(SystemTime{});
        e.station = r.text(i, 2);
        e.port = r.text(i, 3);
        e.operation = operationFromText(r.text(i, 4)).value_or(RecordOperation::Write);
        e.batch = r.text(i, 5);
        if (!r.isNull(i, 6))
            e.firstCapcode = r.integer(i, 6);
        e.capcodes = splitCapcodes(r.text(i, 7));
        e.frequencyHz = r.integer(i, 8);
        e.result = resultFromText(r.text(i, 9)).value_or(RecordResult::LinkLost);
        e.sha256 = r.text(i, 10);
        e.note = r.text(i, 11);
        entries.push_back(std::move(e));
    }
    return entries;
}

} // namespace px316t
