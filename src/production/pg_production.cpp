#include "production/pg_production.h"

namespace px316t {

namespace {

// Serialises schema creation between stations starting at the same moment.
constexpr const char* kSchemaLock = "316316";

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS px316t_batch ("
    " name text PRIMARY KEY,"
    " first_capcode bigint NOT NULL,"
    " last_capcode bigint NOT NULL,"
    " next_capcode bigint NOT NULL,"
    " created_utc timestamptz NOT NULL DEFAULT now());"
    "CREATE TABLE IF NOT EXISTS px316t_reservation ("
    " id bigserial PRIMARY KEY,"
    " batch text NOT NULL REFERENCES px316t_batch(name),"
    " capcode bigint NOT NULL,"
    " station text NOT NULL,"
    " state text NOT NULL CHECK (state IN ('reserved', 'used', 'returned')),"
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

std::string databaseFailure(const std::string& what, const std::string& message)
{
    return "The production database " + what + ": " + message;
}

} // namespace

Status ensureProductionSchema(PgConnection& connection)
{
    if (Status s = connection.run("BEGIN"); !s.ok())
        return Failure{databaseFailure("could not be prepared", s.message())};
    auto lock = connection.exec(std::string("SELECT pg_advisory_xact_lock(") + kSchemaLock + ")");
    Status created = lock.ok() ? connection.run(kSchema) : Status(Failure{lock.message()});
    if (created.ok())
        created = connection.run("COMMIT");
    if (!created.ok()) {
        connection.rollback();
        return Failure{databaseFailure("could not be prepared", created.message())};
    }
    return {};
}

// ---- capcode sequence ----------------------------------------------------------

Outcome<std::unique_ptr<PgCapcodeSequence>> PgCapcodeSequence::open(const std::string& conninfo,
                                                                    const BatchSpec& batch,
                                                                    const std::string& station)
{
    if (batch.name.empty())
        return Failure{"A shared capcode sequence needs a batch name."};
    if (batch.first > batch.last)
        return Failure{capcodeLimitMessage(batch.last)};
    auto connection = PgConnection::open(conninfo);
    if (!connection.ok())
        return Failure{connection.message()};
    if (Status s = ensureProductionSchema(*connection.value()); !s.ok())
        return Failure{s.message()};
    const std::string first = std::to_string(batch.first);
    auto inserted = connection.value()->exec(
        "INSERT INTO px316t_batch (name, first_capcode, last_capcode, next_capcode) VALUES ($1, $2, $3, $2) "
        "ON CONFLICT (name) DO NOTHING RETURNING name",
        {batch.name, first, std::to_string(batch.last)});
    if (!inserted.ok())
        return Failure{databaseFailure("refused the batch " + batch.name, inserted.message())};
    auto rows = connection.value()->exec(
        "SELECT first_capcode, last_capcode, next_capcode FROM px316t_batch WHERE name = $1", {batch.name});
    if (!rows.ok() || rows.value().count() != 1)
        return Failure{databaseFailure("lost the batch " + batch.name, rows.ok() ? "not found" : rows.message())};
    std::unique_ptr<PgCapcodeSequence> sequence(
        new PgCapcodeSequence(std::move(connection.value()), batch.name, station));
    sequence->state_.first = static_cast<std::uint64_t>(rows.value().integer(0, 0));
    sequence->state_.last = static_cast<std::uint64_t>(rows.value().integer(0, 1));
    sequence->state_.next = static_cast<std::uint64_t>(rows.value().integer(0, 2));
    sequence->state_.joined = inserted.value().count() == 0;
    return sequence;
}

Outcome<std::vector<RecoveredReservation>> PgCapcodeSequence::recoverReservations(
    const WrittenCheck& wasWritten)
{
    const std::lock_guard lock(mutex_);
    PgConnection& db = *connection_;
    if (Status s = db.run("BEGIN"); !s.ok())
        return Failure{databaseFailure("could not be read", s.message())};
    auto held = db.exec("SELECT id, batch, capcode FROM px316t_reservation WHERE station = $1 AND state = 'reserved' "
                        "ORDER BY batch, capcode FOR UPDATE",
                        {station_});
    if (!held.ok()) {
        db.rollback();
        return Failure{databaseFailure("could not be read", held.message())};
    }
    std::vector<RecoveredReservation> recovered;
    for (int row = 0; row < held.value().count(); ++row) {
        RecoveredReservation r{held.value().text(row, 1),
                               static_cast<std::uint64_t>(held.value().integer(row, 2)), false};
        const std::optional<bool> written = wasWritten ? wasWritten(r.batch, r.capcode) : std::optional<bool>(false);
        if (!written) {
            db.rollback();
            return Failure{"The station's own record could not be read to return capcode " +
                           std::to_string(r.capcode) + "; nothing was returned."};
        }
        r.written = *written;
        auto updated = db.exec("UPDATE px316t_reservation SET state = $2, finished_utc = now() WHERE id = $1",
                               {held.value().text(row, 0), r.written ? "used" : "returned"});
        if (!updated.ok()) {
            db.rollback();
            return Failure{databaseFailure("could not return a reservation", updated.message())};
        }
        recovered.push_back(std::move(r));
    }
    if (Status s = db.run("COMMIT"); !s.ok()) {
        db.rollback();
        return Failure{databaseFailure("could not return a reservation", s.message())};
    }
    return recovered;
}

Outcome<Reservation> PgCapcodeSequence::reserveNext()
{
    const std::lock_guard lock(mutex_);
    PgConnection& db = *connection_;
    if (!db.reconnectIfBroken())
        return Failure{databaseFailure("cannot be reached; no capcode was reserved", "connection lost")};
    auto fail = [&db](const std::string& message) -> Outcome<Reservation> {
        db.rollback();
        return Failure{databaseFailure("gave no capcode", message)};
    };
    if (Status s = db.run("BEGIN"); !s.ok())
        return fail(s.message());
    // A capcode given back after a failure is written before any new one; a
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
        auto taken = db.exec("UPDATE px316t_reservation SET state = 'reserved', station = $2, reserved_utc = now(), "
                             "finished_utc = NULL WHERE id = $1",
                             {std::to_string(reservation.id), station_});
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
            return Failure{"The batch " + batch_ + " has no capcode left (its last is " +
                           std::to_string(state_.last) + ")."};
        }
        reservation.capcode = static_cast<std::uint64_t>(next.value().integer(0, 0));
        auto inserted = db.exec("INSERT INTO px316t_reservation (batch, capcode, station, state) "
                                "VALUES ($1, $2, $3, 'reserved') RETURNING id",
                                {batch_, std::to_string(reservation.capcode), station_});
        if (!inserted.ok() || inserted.value().count() != 1)
            return fail(inserted.ok() ? "no reservation row" : inserted.message());
        reservation.id = inserted.value().integer(0, 0);
    }
    if (Status s = db.run("COMMIT"); !s.ok())
        return fail(s.message());
    return reservation;
}

Status PgCapcodeSequence::finish(const Reservation& reservation, const char* newState)
{
    const std::lock_guard lock(mutex_);
    PgConnection& db = *connection_;
    const std::vector<std::string> params = {std::to_string(reservation.id), station_, newState};
    // One retry after re-connecting: the statement is harmless to repeat.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!db.reconnectIfBroken())
            continue;
        auto updated = db.exec("UPDATE px316t_reservation SET state = $3, finished_utc = now() "
                               "WHERE id = $1 AND station = $2 AND state = 'reserved' RETURNING capcode",
                               params);
        if (!updated.ok())
            continue;
        if (updated.value().count() == 1)
            return {};
        // Already done by an earlier attempt whose answer was lost?
        auto current = db.exec("SELECT state FROM px316t_reservation WHERE id = $1 AND station = $2",
                               {params[0], params[1]});
        if (current.ok() && current.value().count() == 1 && current.value().text(0, 0) == newState)
            return {};
        return Failure{"Capcode " + std::to_string(reservation.capcode) + " is no longer reserved by this station."};
    }
    return Failure{databaseFailure("could not be told about capcode " + std::to_string(reservation.capcode),
                                   "connection lost")};
}

Status PgCapcodeSequence::markUsed(const Reservation& reservation) { return finish(reservation, "used"); }

Status PgCapcodeSequence::giveBack(const Reservation& reservation) { return finish(reservation, "returned"); }

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
