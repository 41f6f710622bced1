#include "production/pg_stations.h"

#include "production/pg_batches.h"
#include "production/pg_schema.h"

#include <thread>

#ifdef _WIN32
#include <process.h>
#include <winsock2.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace px316t {

namespace {

std::string hostName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) == 0 && name[0])
        return name;
    return "?";
}

// A call of an advisory lock `function` on an instance's liveness lock ($1).
std::string liveLock(const char* function)
{
    return std::string("SELECT ") + function + "(" + kLiveLockClass + ", $1::int)";
}

// Tries `instance`'s liveness lock; true when it was free (and is now held here).
Outcome<bool> tryLiveLock(PgConnection& db, const std::string& instance)
{
    auto free = db.exec(liveLock("pg_try_advisory_lock"), {instance});
    if (!free.ok())
        return free.failure();
    return free.value().text(0, 0) == "t";
}

// Ends the session that holds `instance`'s liveness lock (only when it is
// server process `onlyBackend`, when one is given) and takes the lock once the
// server let it go (a session ends a moment after it is told to).
Outcome<bool> endSessionAndLock(PgConnection& db, const std::string& instance, int onlyBackend = 0)
{
    auto ended = db.exec(std::string("SELECT pg_terminate_backend(pid) FROM pg_locks WHERE locktype = 'advisory'"
                                     " AND classid = ") + kLiveLockClass + " AND objid = $1::oid AND objsubid = 2"
                                     " AND granted AND ($2::int = 0 OR pid = $2::int)",
                         {instance, std::to_string(onlyBackend)});
    if (!ended.ok())
        return Failure{"its session could not be ended (" + ended.message() +
                       "); ask the database administrator to end it"};
    if (ended.value().count() == 0)
        return tryLiveLock(db, instance);   // none of them holds it (any more)
    for (int i = 0; i < 50; ++i) {
        auto free = tryLiveLock(db, instance);
        if (!free.ok() || free.value())
            return free;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

constexpr const char* kRecoveredColumns =
    "batch, capcode, station, state, port, sha256, capcodes, frequency_hz, reason, operator, program_version,"
    " table_file, table_sha256";

// Moves the open reservations matching `where` ($4, $5, ... are its
// parameters) to uncertain (writing) or returned (reserved), with `$2` or `$3`
// as the reason, and writes the record entry of each in the same statement
// ($1 is the recording station), with who wrote it from what and, for a
// capcode of a list, the list's customer, order and label.
std::string recoverStatement(const std::string& where)
{
    return std::string("WITH moved AS (UPDATE px316t_reservation SET finished_utc = now(),"
                       " reason = CASE WHEN state = 'writing' THEN $2 ELSE $3 END,"
                       " state = CASE WHEN state = 'writing' THEN 'uncertain' ELSE 'returned' END"
                       " WHERE ") + where + " AND state IN ('reserved', 'writing') RETURNING " + kRecoveredColumns +
           "), listed AS (SELECT m.*, COALESCE(b.list_file, '') AS list_file, COALESCE(l.customer, '') AS customer,"
           " COALESCE(l.order_ref, '') AS order_ref, COALESCE(l.label, '') AS label FROM moved m"
           " LEFT JOIN px316t_batch_capcode l ON l.batch = m.batch AND l.capcode = m.capcode"
           " LEFT JOIN px316t_batch b ON b.name = l.batch),"
           " recorded AS (INSERT INTO px316t_record (time_utc, station, port, operation, batch, first_capcode,"
           " capcodes, frequency_hz, result, sha256, note, entry_uid, operator, program_version, table_file,"
           " table_sha256, list_file, customer, order_ref, label)"
           " SELECT now(), COALESCE(NULLIF(station, ''), $1), port, 'write', batch, capcode, capcodes, frequency_hz,"
           " state, sha256, reason || CASE WHEN $1 <> '' AND $1 <> COALESCE(NULLIF(station, ''), $1)"
           " THEN ' (recorded by ' || $1 || ')' ELSE '' END, gen_random_uuid()::text, operator, program_version,"
           " table_file, table_sha256, list_file, customer, order_ref, label FROM listed)"
           " SELECT " + kRecoveredColumns + ", list_file, customer, order_ref, label FROM listed ORDER BY capcode";
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
        r.source = {rows.text(i, 9), rows.text(i, 10), rows.text(i, 11), rows.text(i, 12)};
        r.listed = {rows.text(i, 13), rows.text(i, 14), rows.text(i, 15), rows.text(i, 16), {}};
        out.push_back(std::move(r));
    }
    return out;
}

} // namespace

Outcome<std::int64_t> registerStation(PgConnection& db, const std::string& station, const std::string& batch,
                                      std::chrono::seconds lease)
{
    const std::string leaseText = std::to_string(lease.count()) + " seconds";
    auto fail = [&db](const std::string& message, bool refused) -> Outcome<std::int64_t> {
        db.rollback();
        return Failure{message, refused};
    };
    const auto failed = [](const std::string& message) {
        return databaseFailure("could not register the station", message);
    };
    // One live instance per station name: the name is what the record and the
    // batch commands show, and what "batch release" names.
    if (Status s = db.run("BEGIN"); !s.ok())
        return Failure{failed(s.message())};
    if (auto lock =
            db.exec(std::string("SELECT pg_advisory_xact_lock(") + kNameLockClass + ", hashtext($1))", {station});
        !lock.ok())
        return fail(failed(lock.message()), false);
    auto same = db.exec("SELECT id, host, pid, lease_until IS NOT NULL AND lease_until < now(),"
                        " COALESCE(ceil(extract(epoch FROM lease_until - now()))::bigint, -1)"
                        " FROM px316t_station WHERE name = $1 AND gone_utc IS NULL",
                        {station});
    if (!same.ok())
        return fail(failed(same.message()), false);
    for (int i = 0; i < same.value().count(); ++i) {
        const std::string id = same.value().text(i, 0);
        auto free = tryLiveLock(db, id);
        // A lease that ran out: that station lost power or stalled, and the
        // server may keep its session for a while; it is ended here.
        if (free.ok() && !free.value() && same.value().text(i, 3) == "t") {
            free = endSessionAndLock(db, id);
            if (!free.ok())
                return fail("A station named \"" + station + "\" stopped renewing its lease, but " + free.message() +
                                ", or run: px316t-cli batch release " + batch + " --station " + station,
                            false);
        }
        if (!free.ok())
            return fail(failed(free.message()), false);
        if (!free.value()) {
            const long long left = same.value().integer(i, 4);
            return fail("A station named \"" + station + "\" is running already (on " + same.value().text(i, 1) +
                            ", process " + same.value().text(i, 2) +
                            "). Give this one another name with --station NAME (or PX316T_STATION). If that station "
                            "is gone (its computer lost power), " +
                            (left >= 0 ? "start this one again in " + std::to_string(left + 1) + " s, when its lease "
                                         "has run out, or "
                                       : std::string()) +
                            "run: px316t-cli batch release " + batch + " --station " + station,
                        true);
        }
        db.exec(liveLock("pg_advisory_unlock"), {id});
        db.exec("UPDATE px316t_station SET gone_utc = now() WHERE id = $1::bigint", {id});
    }
    auto registered = db.exec("INSERT INTO px316t_station (name, host, pid, lease_until)"
                              " VALUES ($1, $2, $3::bigint, now() + $4::interval) RETURNING id",
                              {station, hostName(), std::to_string(static_cast<long long>(::getpid())), leaseText});
    if (!registered.ok() || registered.value().count() != 1)
        return fail(failed(registered.ok() ? "no row" : registered.message()), false);
    const std::string id = registered.value().text(0, 0);
    if (auto lock = db.exec(liveLock("pg_advisory_lock"), {id}); !lock.ok())
        return fail(failed(lock.message()), false);
    if (Status s = db.run("COMMIT"); !s.ok())
        return fail(failed(s.message()), false);
    return std::stoll(id);
}

Status renewLease(PgConnection& db, std::int64_t instance, std::chrono::seconds lease)
{
    auto renewed = db.exec("UPDATE px316t_station SET lease_until = now() + $2::interval WHERE id = $1::bigint",
                           {std::to_string(instance), std::to_string(lease.count()) + " seconds"});
    if (!renewed.ok())
        return Failure{databaseFailure("did not renew the station's lease", renewed.message())};
    return {};
}

bool retakeLiveLock(PgConnection& db, std::int64_t instance, int previousBackend)
{
    const std::string id = std::to_string(instance);
    auto lock = tryLiveLock(db, id);
    if (lock.ok() && !lock.value() && previousBackend > 0)
        lock = endSessionAndLock(db, id, previousBackend);
    return lock.ok() && lock.value();
}

Outcome<std::vector<RecoveredReservation>> recoverGoneStations(PgConnection& db, std::int64_t except,
                                                               const std::string& recordingStation)
{
    auto owners = db.exec("SELECT DISTINCT r.instance, s.lease_until IS NOT NULL AND s.lease_until < now()"
                          " FROM px316t_reservation r LEFT JOIN px316t_station s ON s.id = r.instance"
                          " WHERE r.state IN ('reserved', 'writing') AND r.instance IS NOT NULL"
                          " AND r.instance <> $1::bigint",
                          {std::to_string(except)});
    if (!owners.ok())
        return Failure{databaseFailure("could not be read", owners.message())};
    const std::string statement = recoverStatement("instance = $4::bigint");
    std::vector<RecoveredReservation> recovered;
    for (int i = 0; i < owners.value().count(); ++i) {
        const std::string instance = owners.value().text(i, 0);
        auto free = tryLiveLock(db, instance);
        if (free.ok() && !free.value() && owners.value().text(i, 1) == "t")
            free = endSessionAndLock(db, instance);
        if (!free.ok())
            return Failure{databaseFailure("could not be read", free.message())};
        if (!free.value())
            continue;   // its station still runs
        auto rows = db.exec(statement, {recordingStation, "its station stopped while writing; the pager may hold it",
                                        "its station stopped before writing it", instance});
        if (rows.ok())
            db.exec("UPDATE px316t_station SET gone_utc = COALESCE(gone_utc, now()) WHERE id = $1::bigint", {instance});
        db.exec(liveLock("pg_advisory_unlock"), {instance});
        if (!rows.ok())
            return Failure{databaseFailure("could not recover a station's capcodes", rows.message())};
        for (RecoveredReservation& r : recoveredRows(rows.value()))
            recovered.push_back(std::move(r));
    }
    return recovered;
}

Outcome<ReleasedStation> releaseStation(PgConnection& db, const std::string& batch, const std::string& station)
{
    if (Status s = ensureProductionSchema(db); !s.ok())
        return Failure{s.message()};
    auto found = findBatch(db, batch);
    if (!found.ok())
        return Failure{found.message()};
    if (!found.value())
        return unknownBatch(db, batch);
    ReleasedStation released;
    auto live = db.exec("SELECT id FROM px316t_station WHERE name = $1 AND gone_utc IS NULL", {station});
    if (!live.ok())
        return Failure{databaseFailure("could not be read", live.message())};
    for (int i = 0; i < live.value().count(); ++i) {
        const std::string id = live.value().text(i, 0);
        auto free = tryLiveLock(db, id);
        if (free.ok() && !free.value()) {
            free = endSessionAndLock(db, id);
            released.sessionsEnded += free.ok() && free.value();
        }
        if (!free.ok())
            return Failure{"The session of station " + station + " could not be ended: " + free.message() + "."};
        db.exec(liveLock("pg_advisory_unlock"), {id});
        db.exec("UPDATE px316t_station SET gone_utc = now() WHERE id = $1::bigint", {id});
    }
    auto rows = db.exec(recoverStatement("batch = $4 AND station = $5"),
                        {"batch release",
                         "released by the operator while its station was writing; the pager may hold it",
                         "released by the operator before its station wrote it", batch, station});
    if (!rows.ok())
        return Failure{databaseFailure("could not release the station's capcodes", rows.message())};
    released.reservations = recoveredRows(rows.value());
    return released;
}

} // namespace px316t
