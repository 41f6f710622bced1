#include "production/local_sequence.h"

#include "production/production_record.h"
#include "production/utc_time.h"

#include "production/sqlite_helpers.h"
#include "production/sqlite_record_store.h"
#include "table/path_text.h"

#include <chrono>
#include <cstring>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace px316t {

namespace {

using sqlite::exec;
using sqlite::lastError;
using sqlite::Statement;

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS local_instance ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " station TEXT NOT NULL,"
    " pid INTEGER NOT NULL,"
    " started_utc TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS local_reservation ("
    " capcode INTEGER PRIMARY KEY,"
    " state TEXT NOT NULL CHECK (state IN ('reserved', 'writing', 'used', 'returned', 'uncertain')),"
    " station TEXT NOT NULL,"
    " instance INTEGER NOT NULL,"
    " port TEXT NOT NULL DEFAULT '',"
    " sha256 TEXT NOT NULL DEFAULT '',"
    " capcodes TEXT NOT NULL DEFAULT '',"
    " frequency_hz INTEGER NOT NULL DEFAULT 0,"
    " reason TEXT NOT NULL DEFAULT '',"
    " changed_utc TEXT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS local_reservation_open ON local_reservation(instance)"
    " WHERE state IN ('reserved', 'writing');"
    "CREATE TABLE IF NOT EXISTS local_list ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " file TEXT NOT NULL,"
    " digest TEXT NOT NULL UNIQUE,"
    " extra_columns TEXT NOT NULL,"
    " size INTEGER NOT NULL,"
    " created_utc TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS local_list_capcode ("
    " list INTEGER NOT NULL REFERENCES local_list(id),"
    " position INTEGER NOT NULL,"
    " capcode INTEGER NOT NULL,"
    " customer TEXT NOT NULL,"
    " order_ref TEXT NOT NULL,"
    " label TEXT NOT NULL,"
    " extra TEXT NOT NULL,"
    " PRIMARY KEY (list, position),"
    " UNIQUE (list, capcode));";

constexpr int kBusyTimeoutMs = 10000;

std::string now() { return isoUtc(std::chrono::system_clock::now()); }

std::filesystem::path instanceLockPath(const std::filesystem::path& recordPath, std::int64_t instance)
{
    std::filesystem::path lock = recordPath;
    return lock += ".station-" + std::to_string(instance) + ".lock";
}

Failure recordFailure(const std::string& what, const std::string& error)
{
    return Failure{"The production record " + what + ": " + error};
}

} // namespace

Outcome<std::unique_ptr<SqliteCapcodeSequence>> SqliteCapcodeSequence::open(const std::filesystem::path& recordPath,
                                                                            const std::string& station,
                                                                            std::uint64_t first, std::uint64_t last,
                                                                            const LocalList* list)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(utf8FromPath(recordPath).c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        const std::string error = lastError(db);
        sqlite3_close(db);
        return recordFailure("could not be opened", error);
    }
    std::unique_ptr<SqliteCapcodeSequence> sequence(
        new SqliteCapcodeSequence(db, capcodeJournalPath(recordPath), station, first, last));
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    std::string error;
    if (!exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;", error) || !exec(db, kSchema, error) ||
        !ensureRecordTable(db, error))
        return recordFailure("could not be prepared", error);

    // This run's instance, and its lock held before it reserves anything.
    {
        Statement insert(db, "INSERT INTO local_instance (station, pid, started_utc) VALUES (?, ?, ?)");
        if (!insert.ok() ||
            insert.text(1, station).integer(2, static_cast<std::int64_t>(::getpid())).text(3, now()).step() !=
                SQLITE_DONE)
            return recordFailure("could not be written", lastError(db));
        sequence->instance_ = sqlite3_last_insert_rowid(db);
    }
    auto live = FileLock::tryLock(instanceLockPath(recordPath, sequence->instance_));
    if (!live.ok())
        return Failure{"The station's lock file could not be taken: " + live.message()};
    sequence->live_ = std::move(live.value());

    auto recovered = sequence->recoverGoneRuns(recordPath);
    if (!recovered.ok())
        return Failure{recovered.message()};
    sequence->recovered_ = std::move(recovered.value());
    auto lost = sequence->reconcileWithJournal();
    if (!lost.ok())
        return lost.failure();
    if (!lost.value().empty())
        return Failure{lostCapcodesMessage(lost.value(), sequence->journal_.path())};
    // After the recovery and the journal: the record then holds all it knows.
    if (list)
        if (Status adopted = sequence->adoptList(*list); !adopted.ok())
            return Failure{adopted.message(), adopted.refused()};
    return sequence;
}

SqliteCapcodeSequence::~SqliteCapcodeSequence()
{
    // Reservations still open stay for the next run to recover (the lock
    // file is kept for that); without any, the lock file has no more use.
    bool open = true;
    {
        Statement query(db_, "SELECT count(*) FROM local_reservation WHERE instance = ? AND state IN ('reserved', 'writing')");
        if (query.ok() && query.integer(1, instance_).step() == SQLITE_ROW)
            open = query.column(0) > 0;
    }
    sqlite3_close(db_);
    if (live_ && !open)
        live_->removeAndRelease();
}

Outcome<std::vector<RecoveredReservation>> SqliteCapcodeSequence::recoverGoneRuns(
    const std::filesystem::path& recordPath)
{
    std::vector<std::int64_t> owners;
    {
        Statement query(db_, "SELECT DISTINCT instance FROM local_reservation WHERE state IN ('reserved', 'writing')"
                             " AND instance <> ?");
        if (!query.ok())
            return recordFailure("could not be read", lastError(db_));
        query.integer(1, instance_);
        while (query.step() == SQLITE_ROW)
            owners.push_back(query.column(0));
    }
    std::vector<RecoveredReservation> recovered;
    for (std::int64_t owner : owners) {
        auto lock = FileLock::tryLock(instanceLockPath(recordPath, owner));
        if (!lock.ok()) {
            if (lock.refused())
                continue;   // that run still goes on
            return Failure{lock.message()};
        }
        // Each state change commits with its record entry.
        std::string error;
        if (!exec(db_, "BEGIN IMMEDIATE", error))
            return recordFailure("could not be written", error);
        auto moved = recoverRun(owner);
        std::vector<RecordEntry> entries;
        if (moved.ok())
            for (const RecoveredReservation& r : moved.value())
                entries.push_back(recoveryEntry(r, station_));
        if (!moved.ok() || !insertRecordEntries(db_, entries, error) || !exec(db_, "COMMIT", error)) {
            std::string ignored;
            exec(db_, "ROLLBACK", ignored);
            return moved.ok() ? recordFailure("could not be written", error) : moved.failure();
        }
        recovered.insert(recovered.end(), moved.value().begin(), moved.value().end());
        lock.value()->removeAndRelease();
    }
    return recovered;
}

Outcome<std::vector<RecoveredReservation>> SqliteCapcodeSequence::recoverRun(std::int64_t owner)
{
    Statement update(db_, "UPDATE local_reservation SET changed_utc = ?,"
                          " reason = CASE WHEN state = 'writing' THEN 'its station stopped while writing; the "
                          "pager may hold it' ELSE 'its station stopped before writing it' END,"
                          " state = CASE WHEN state = 'writing' THEN 'uncertain' ELSE 'returned' END"
                          " WHERE instance = ? AND state IN ('reserved', 'writing')"
                          " RETURNING capcode, station, state, port, sha256, capcodes, frequency_hz, reason");
    if (!update.ok())
        return recordFailure("could not be written", lastError(db_));
    update.text(1, now()).integer(2, owner);
    std::vector<RecoveredReservation> recovered;
    int rc = SQLITE_OK;
    while ((rc = update.step()) == SQLITE_ROW) {
        RecoveredReservation r;
        r.capcode = static_cast<std::uint64_t>(update.column(0));
        r.station = update.columnText(1);
        r.state = reservationStateFromText(update.columnText(2)).value_or(ReservationState::Uncertain);
        r.port = update.columnText(3);
        r.sha256 = update.columnText(4);
        r.capcodes = splitCapcodes(update.columnText(5));
        r.frequencyHz = update.column(6);
        r.reason = update.columnText(7);
        recovered.push_back(std::move(r));
    }
    if (rc != SQLITE_DONE)
        return recordFailure("could not be written", lastError(db_));
    return recovered;
}

std::optional<std::uint64_t> SqliteCapcodeSequence::lowestFree(std::string& error)
{
    if (listId_)
        return lowestListed(error);
    // A capcode is free when the record holds nothing for it, or holds it returned.
    std::optional<std::uint64_t> best;
    {
        Statement returned(db_, "SELECT min(capcode) FROM local_reservation WHERE state = 'returned'"
                                " AND capcode BETWEEN ? AND ?");
        if (!returned.ok()) {
            error = lastError(db_);
            return std::nullopt;
        }
        returned.integer(1, static_cast<std::int64_t>(first_)).integer(2, static_cast<std::int64_t>(last_));
        if (returned.step() == SQLITE_ROW && !returned.isNull(0))
            best = static_cast<std::uint64_t>(returned.column(0));
    }
    std::uint64_t fresh = first_;
    {
        Statement taken(db_, "SELECT 1 FROM local_reservation WHERE capcode = ?");
        taken.integer(1, static_cast<std::int64_t>(first_));
        if (taken.step() == SQLITE_ROW) {
            // The end of the run of held capcodes that starts at `first`.
            Statement gap(db_, "SELECT a.capcode + 1 FROM local_reservation a WHERE a.capcode >= ?"
                               " AND NOT EXISTS (SELECT 1 FROM local_reservation b WHERE b.capcode = a.capcode + 1)"
                               " ORDER BY a.capcode LIMIT 1");
            gap.integer(1, static_cast<std::int64_t>(first_));
            fresh = gap.step() == SQLITE_ROW ? static_cast<std::uint64_t>(gap.column(0)) : last_ + 1;
        }
    }
    if (fresh <= last_ && (!best || fresh < *best))
        best = fresh;
    return best;
}

Outcome<Reservation> SqliteCapcodeSequence::reserveNext()
{
    const std::lock_guard lock(mutex_);
    std::string error;
    if (!exec(db_, "BEGIN IMMEDIATE", error))
        return recordFailure("could not be written; no capcode was reserved", error);
    const std::optional<std::uint64_t> capcode = lowestFree(error);
    if (!capcode) {
        std::string ignored;
        exec(db_, "ROLLBACK", ignored);
        if (!error.empty())
            return recordFailure("could not be read; no capcode was reserved", error);
        exhausted_ = true;
        return Failure{noneLeftMessage()};
    }
    Statement insert(db_, "INSERT OR REPLACE INTO local_reservation (capcode, state, station, instance, changed_utc)"
                          " VALUES (?, 'reserved', ?, ?, ?)");
    const bool inserted = insert.ok() && insert.integer(1, static_cast<std::int64_t>(*capcode))
                                                 .text(2, station_)
                                                 .integer(3, instance_)
                                                 .text(4, now())
                                                 .step() == SQLITE_DONE;
    if (!inserted || !exec(db_, "COMMIT", error)) {
        if (error.empty())
            error = lastError(db_);
        std::string ignored;
        exec(db_, "ROLLBACK", ignored);
        return recordFailure("could not be written; no capcode was reserved", error);
    }
    return Reservation{*capcode, static_cast<std::int64_t>(*capcode), listedLocked(*capcode)};
}

Status SqliteCapcodeSequence::transition(const Reservation& reservation, ReservationState to, const char* set,
                                         const std::vector<std::string>& texts)
{
    const std::string what = moveText(to);
    const std::string sql = "UPDATE local_reservation SET state = '" + reservationStateText(to) + "', " + set +
                            " WHERE capcode = ?1 AND instance = ?2 AND state IN " + sqlStatesLeftFor(to);
    const std::lock_guard lock(mutex_);
    Statement update(db_, sql.c_str());
    if (!update.ok())
        return recordFailure("could not record capcode " + std::to_string(reservation.capcode) + " as " + what,
                             lastError(db_));
    update.integer(1, static_cast<std::int64_t>(reservation.capcode)).integer(2, instance_).text(3, now());
    for (std::size_t i = 0; i < texts.size(); ++i)
        update.text(static_cast<int>(4 + i), texts[i]);
    if (update.step() != SQLITE_DONE)
        return recordFailure("could not record capcode " + std::to_string(reservation.capcode) + " as " + what,
                             lastError(db_));
    if (sqlite3_changes(db_) != 1)
        return Failure{"Capcode " + std::to_string(reservation.capcode) + " could not be " + what +
                       ": it is no longer held by this run."};
    return {};
}

Status SqliteCapcodeSequence::beginWriting(const Reservation& reservation, const WriteIntent& intent)
{
    const Status writing =
        transition(reservation, ReservationState::Writing,
                   "changed_utc = ?3, port = ?4, sha256 = ?5, capcodes = ?6, frequency_hz = CAST(?7 AS INTEGER)",
                   {intent.port, intent.image.sha256, joinCapcodes(intent.image.enabledCapcodes),
                    std::to_string(intent.image.frequencyHz)});
    if (!writing.ok())
        return writing;
    // The journal's line is on the disk before the pager is touched.
    const JournalLine line{std::chrono::system_clock::now(), ReservationState::Writing, reservation.capcode, station_,
                           intent.port, intent.image.sha256};
    const std::lock_guard lock(mutex_);
    const Status claimed = journal_.claim(line);
    if (claimed.ok()) {
        claimed_[reservation.capcode] = line;
        return {};
    }
    if (claimed.refused()) {
        // Another run wrote it on another record: it is never handed out here either.
        Statement skip(db_, "UPDATE local_reservation SET state = 'uncertain', changed_utc = ?, reason = ?"
                            " WHERE capcode = ? AND instance = ?");
        skip.text(1, now())
            .text(2, "the capcode journal holds it as written by another run")
            .integer(3, static_cast<std::int64_t>(reservation.capcode))
            .integer(4, instance_)
            .step();
    }
    return claimed;
}

void SqliteCapcodeSequence::noteInJournal(std::uint64_t capcode, ReservationState state)
{
    const std::lock_guard lock(mutex_);
    const auto it = claimed_.find(capcode);
    if (it == claimed_.end())
        return;   // never in the journal: nothing to say there
    JournalLine line = it->second;
    line.time = std::chrono::system_clock::now();
    line.state = state;
    claimed_.erase(it);
    // Best effort: the `writing` line already keeps the capcode from being
    // handed out again; this line only says how its write ended.
    journal_.append({line});
}

Status SqliteCapcodeSequence::markUsed(const Reservation& reservation)
{
    Status s = transition(reservation, ReservationState::Used, "changed_utc = ?3, reason = ''", {});
    if (s.ok())
        noteInJournal(reservation.capcode, ReservationState::Used);
    return s;
}

Status SqliteCapcodeSequence::giveBack(const Reservation& reservation)
{
    // The journal first: a run stopped between the two leaves the record
    // holding the capcode as writing (recovered as uncertain), never the
    // record giving back what the journal still holds as written.
    noteInJournal(reservation.capcode, ReservationState::Returned);
    return transition(reservation, ReservationState::Returned, "changed_utc = ?3, reason = 'its write never began'",
                      {});
}

Status SqliteCapcodeSequence::markUncertain(const Reservation& reservation, const std::string& reason)
{
    Status s = transition(reservation, ReservationState::Uncertain, "changed_utc = ?3, reason = ?4", {reason});
    if (s.ok())
        noteInJournal(reservation.capcode, ReservationState::Uncertain);
    return s;
}

Outcome<std::optional<std::uint64_t>> SqliteCapcodeSequence::peekNext()
{
    const std::lock_guard lock(mutex_);
    std::string error;
    const std::optional<std::uint64_t> next = lowestFree(error);
    if (!error.empty())
        return recordFailure("could not be read", error);
    exhausted_ = !next;
    return next;
}

namespace {

Outcome<std::vector<ReservationRow>> reservationRows(sqlite3* db, const char* where)
{
    const std::string sql = std::string("SELECT capcode, state, station, instance, port, reason, changed_utc FROM "
                                        "local_reservation") + where + " ORDER BY capcode";
    Statement query(db, sql.c_str());
    if (!query.ok())
        return recordFailure("could not be read", lastError(db));
    std::vector<ReservationRow> rows;
    while (query.step() == SQLITE_ROW) {
        ReservationRow r;
        r.capcode = static_cast<std::uint64_t>(query.column(0));
        r.state = reservationStateFromText(query.columnText(1)).value_or(ReservationState::Uncertain);
        r.station = query.columnText(2);
        r.instance = query.column(3);
        r.port = query.columnText(4);
        r.reason = query.columnText(5);
        r.since = query.columnText(6);
        rows.push_back(std::move(r));
    }
    return rows;
}

} // namespace

Outcome<std::vector<ReservationRow>> SqliteCapcodeSequence::notUsed()
{
    const std::lock_guard lock(mutex_);
    return reservationRows(db_, " WHERE state <> 'used'");
}

Outcome<std::vector<ReservationRow>> localReservations(const std::filesystem::path& recordPath)
{
    // Read only: looking does not make a record, nor a run of its own.
    sqlite3* db = nullptr;
    if (!std::filesystem::exists(recordPath))
        return std::vector<ReservationRow>{};
    if (sqlite3_open_v2(utf8FromPath(recordPath).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        const std::string error = lastError(db);
        sqlite3_close(db);
        return recordFailure("could not be opened", error);
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    Outcome<std::vector<ReservationRow>> rows = std::vector<ReservationRow>{};
    // A record no run was ever made on has no reservations yet.
    if (Statement table(db, "SELECT 1 FROM sqlite_master WHERE name = 'local_reservation'");
        table.ok() && table.step() == SQLITE_ROW)
        rows = reservationRows(db, "");
    sqlite3_close(db);
    return rows;
}

} // namespace px316t
