#include "production/pg_sequence.h"

#include "production/pg_schema.h"

namespace px316t {

namespace {

// The next capcode of the batch in one statement: the lowest capcode given
// back (one another station is taking right now is skipped, not waited for),
// else the batch's next new one. ($1 batch, $2 station, $3 instance)
constexpr const char* kReserve =
    "WITH given_back AS (SELECT id FROM px316t_reservation WHERE batch = $1 AND state = 'returned'"
    "  ORDER BY capcode LIMIT 1 FOR UPDATE SKIP LOCKED),"
    " retaken AS (UPDATE px316t_reservation r SET state = 'reserved', station = $2, instance = $3::bigint,"
    "  reserved_utc = now(), finished_utc = NULL, port = '', sha256 = '', capcodes = '', frequency_hz = 0,"
    "  reason = '' FROM given_back g WHERE r.id = g.id RETURNING r.id, r.capcode),"
    " fresh AS (UPDATE px316t_batch SET next_capcode = next_capcode + 1"
    "  WHERE name = $1 AND next_capcode <= last_capcode AND NOT EXISTS (SELECT 1 FROM given_back)"
    "  RETURNING next_capcode - 1 AS capcode),"
    " inserted AS (INSERT INTO px316t_reservation (batch, capcode, station, instance, state)"
    "  SELECT $1, capcode, $2, $3::bigint, 'reserved' FROM fresh RETURNING id, capcode)"
    " SELECT id, capcode, '', '', '', '' FROM retaken UNION ALL SELECT id, capcode, '', '', '', '' FROM inserted";

// The same for a batch made from a list, which walks the list in its order:
// the earliest capcode of the list given back, else the one at the batch's
// next position; with the list's columns of the capcode taken.
constexpr const char* kReserveListed =
    "WITH given_back AS (SELECT r.id FROM px316t_reservation r JOIN px316t_batch_capcode l"
    "  ON l.batch = r.batch AND l.capcode = r.capcode WHERE r.batch = $1 AND r.state = 'returned'"
    "  ORDER BY l.position LIMIT 1 FOR UPDATE OF r SKIP LOCKED),"
    " retaken AS (UPDATE px316t_reservation r SET state = 'reserved', station = $2, instance = $3::bigint,"
    "  reserved_utc = now(), finished_utc = NULL, port = '', sha256 = '', capcodes = '', frequency_hz = 0,"
    "  reason = '', operator = '', program_version = '', table_file = '', table_sha256 = ''"
    "  FROM given_back g WHERE r.id = g.id RETURNING r.id, r.capcode),"
    " fresh AS (UPDATE px316t_batch SET next_position = next_position + 1"
    "  WHERE name = $1 AND next_position < list_size AND NOT EXISTS (SELECT 1 FROM given_back)"
    "  RETURNING next_position - 1 AS position),"
    " inserted AS (INSERT INTO px316t_reservation (batch, capcode, station, instance, state)"
    "  SELECT $1, l.capcode, $2, $3::bigint, 'reserved' FROM fresh f JOIN px316t_batch_capcode l"
    "  ON l.batch = $1 AND l.position = f.position RETURNING id, capcode)"
    " SELECT t.id, t.capcode, l.customer, l.order_ref, l.label, l.extra"
    " FROM (SELECT id, capcode FROM retaken UNION ALL SELECT id, capcode FROM inserted) t"
    " JOIN px316t_batch_capcode l ON l.batch = $1 AND l.capcode = t.capcode";

constexpr const char* kPeekNext =
    "SELECT COALESCE((SELECT min(capcode) FROM px316t_reservation WHERE batch = $1 AND state = 'returned'),"
    " (SELECT next_capcode FROM px316t_batch WHERE name = $1 AND next_capcode <= last_capcode))";

constexpr const char* kPeekNextListed =
    "SELECT COALESCE((SELECT l.capcode FROM px316t_reservation r JOIN px316t_batch_capcode l"
    "  ON l.batch = r.batch AND l.capcode = r.capcode WHERE r.batch = $1 AND r.state = 'returned'"
    "  ORDER BY l.position LIMIT 1),"
    " (SELECT l.capcode FROM px316t_batch b JOIN px316t_batch_capcode l ON l.batch = b.name"
    "  AND l.position = b.next_position WHERE b.name = $1))";

} // namespace

Outcome<std::unique_ptr<PgCapcodeSequence>> PgCapcodeSequence::open(const std::string& conninfo,
                                                                    const std::string& batch,
                                                                    const std::string& station,
                                                                    std::chrono::seconds lease)
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
    auto instance = registerStation(db, station, batch, lease);
    if (!instance.ok())
        return instance.failure();

    std::unique_ptr<PgCapcodeSequence> sequence(
        new PgCapcodeSequence(std::move(connection.value()), batch, station, lease));
    sequence->instance_ = instance.value();
    sequence->state_ = *found.value();
    auto recovered = recoverGoneStations(*sequence->connection_, sequence->instance_, station);
    if (!recovered.ok())
        return Failure{recovered.message()};
    sequence->recovered_ = std::move(recovered.value());
    sequence->leaseRenewal_ = std::thread([s = sequence.get()] { s->renewLeaseUntilClosed(); });
    return sequence;
}

PgCapcodeSequence::~PgCapcodeSequence()
{
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
    }
    closingChanged_.notify_all();
    if (leaseRenewal_.joinable())
        leaseRenewal_.join();
}

void PgCapcodeSequence::renewLeaseUntilClosed()
{
    const auto every = std::chrono::duration_cast<std::chrono::milliseconds>(lease_) / 3;
    std::unique_lock lock(mutex_);
    while (!closingChanged_.wait_for(lock, every, [this] { return closing_; })) {
        // A lease that cannot be renewed now is renewed on the next turn; the
        // station's own statements say what is wrong with the connection.
        if (connected())
            renewLease(*connection_, instance_, lease_);
    }
}

bool PgCapcodeSequence::connected()
{
    PgConnection& db = *connection_;
    if (db.isConnected())
        return true;
    // The new session must hold this instance's liveness lock again; while a
    // recovery holds it, this station must not act.
    const int broken = db.backendPid();
    return db.reconnectIfBroken() && retakeLiveLock(db, instance_, broken);
}

Outcome<PgRows> PgCapcodeSequence::exec(const std::string& sql, const std::vector<std::string>& params)
{
    if (!connected())
        return Failure{"connection lost"};
    auto rows = connection_->exec(sql, params);
    if (rows.ok() || connection_->isConnected())
        return rows;
    // The server went away under the statement (a restart, a broken network).
    if (!connected())
        return rows;
    return connection_->exec(sql, params);
}

ListColumns PgCapcodeSequence::listed(const PgRows& rows, int row, int column) const
{
    if (!state_.isList())
        return {};
    std::vector<std::string> extra = unpackFields(rows.text(row, column + 3));
    extra.resize(state_.extraColumns.size());
    return {state_.listFile, rows.text(row, column), rows.text(row, column + 1), rows.text(row, column + 2),
            namedFields(state_.extraColumns, extra)};
}

Outcome<Reservation> PgCapcodeSequence::reserveNext()
{
    const std::lock_guard lock(mutex_);
    auto taken = exec(state_.isList() ? kReserveListed : kReserve, {batch_, station_, std::to_string(instance_)});
    if (!taken.ok())
        return Failure{databaseFailure(connection_->isConnected() ? "gave no capcode"
                                                                   : "cannot be reached; no capcode was reserved",
                                       taken.message())};
    if (taken.value().count() == 0) {
        exhausted_ = true;
        return Failure{"The batch " + batch_ + " has no capcode left" +
                       (state_.isList() ? " (its list " + state_.listFile + " is used up)."
                                        : " (its last is " + std::to_string(state_.last) + ").")};
    }
    return Reservation{static_cast<std::uint64_t>(taken.value().integer(0, 1)), taken.value().integer(0, 0),
                       listed(taken.value(), 0, 2)};
}

Status PgCapcodeSequence::transition(const Reservation& reservation, ReservationState to, const std::string& set,
                                     std::vector<std::string> params)
{
    const std::string what = moveText(to);
    const std::string sql = "UPDATE px316t_reservation SET state = '" + reservationStateText(to) + "', " + set +
                            " WHERE id = $1::bigint AND instance = $2::bigint AND state IN " + sqlStatesLeftFor(to) +
                            " RETURNING state";
    const std::lock_guard lock(mutex_);
    const std::string capcode = std::to_string(reservation.capcode);
    params.insert(params.begin(), {std::to_string(reservation.id), std::to_string(instance_)});
    auto updated = exec(sql, params);
    if (!updated.ok())
        return Failure{databaseFailure("could not record capcode " + capcode + " as " + what, updated.message())};
    if (updated.value().count() == 1)
        return {};
    // A move whose commit's reply was lost is found made when it is sent again.
    auto now = exec("SELECT state FROM px316t_reservation WHERE id = $1::bigint AND instance = $2::bigint",
                    {params[0], params[1]});
    if (now.ok() && now.value().count() == 1 && now.value().text(0, 0) == reservationStateText(to))
        return {};
    return Failure{"Capcode " + capcode + " could not be " + what +
                   ": it is no longer held by this station (released, or recovered while its connection was lost)."};
}

Status PgCapcodeSequence::beginWriting(const Reservation& reservation, const WriteIntent& intent)
{
    return transition(reservation, ReservationState::Writing,
                      "port = $3, sha256 = $4, capcodes = $5, frequency_hz = $6::bigint, reserved_utc = now(),"
                      " operator = $7, program_version = $8, table_file = $9, table_sha256 = $10",
                      {intent.port, intent.image.sha256, joinCapcodes(intent.image.enabledCapcodes),
                       std::to_string(intent.image.frequencyHz), intent.source.operatorName,
                       intent.source.programVersion, intent.source.tableFile, intent.source.tableSha256});
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

Outcome<std::optional<std::uint64_t>> PgCapcodeSequence::peekNext()
{
    const std::lock_guard lock(mutex_);
    auto rows = exec(state_.isList() ? kPeekNextListed : kPeekNext, {batch_});
    if (!rows.ok())
        return Failure{databaseFailure("cannot be reached", rows.message())};
    exhausted_ = rows.value().isNull(0, 0);
    if (exhausted_)
        return std::optional<std::uint64_t>();
    return std::optional(static_cast<std::uint64_t>(rows.value().integer(0, 0)));
}

Outcome<ListColumns> PgCapcodeSequence::listColumnsOf(std::uint64_t capcode)
{
    if (!state_.isList())
        return ListColumns{};
    const std::lock_guard lock(mutex_);
    auto rows = exec("SELECT customer, order_ref, label, extra FROM px316t_batch_capcode WHERE batch = $1"
                     " AND capcode = $2::bigint",
                     {batch_, std::to_string(capcode)});
    if (!rows.ok())
        return Failure{databaseFailure("cannot be reached", rows.message())};
    if (rows.value().count() == 0)
        return ListColumns{};
    return listed(rows.value(), 0, 0);
}

} // namespace px316t

