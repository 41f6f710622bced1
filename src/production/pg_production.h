#pragma once
// The production data shared by several stations in one PostgreSQL database:
// batches (each a range of capcodes with its own sequence), the reservations
// of every capcode handed out, the stations running, and the production record.
//
// A station instance holds a session advisory lock keyed by its instance id
// for as long as it runs: its reservations are touched by another station only
// once that lock is free, that is once its session is provably gone.
#include "production/capcode_sequence.h"
#include "production/pg_connection.h"
#include "production/production_record.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace px316t {

// Creates the tables when missing and brings older ones up to date; safe when
// several stations start at once.
Status ensureProductionSchema(PgConnection& connection);

struct BatchSpec {
    std::string name;
    std::uint64_t first = 0;
    std::uint64_t last = 0;
};

struct BatchState {
    std::string name;
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::uint64_t next = 0;   // the next new capcode (given-back ones come first)
};

// A reservation as the batch commands list it.
struct ReservationRow {
    std::uint64_t capcode = 0;
    ReservationState state = ReservationState::Reserved;
    std::string station;
    std::int64_t instance = 0;
    std::string port;
    std::string reason;
    std::string since;        // when it entered its state (UTC)
};

struct BatchSummary {
    BatchState batch;
    long long used = 0;
    long long uncertain = 0;
    long long returned = 0;
    long long open = 0;       // reserved or writing
    // Every reservation that is not used: uncertain, returned, reserved, writing.
    std::vector<ReservationRow> notUsed;
};

// A reservation whose station is gone (or was released), and what became of it.
struct RecoveredReservation {
    std::string batch;
    std::uint64_t capcode = 0;
    std::string station;          // the station that held it
    ReservationState state = ReservationState::Returned;   // Returned or Uncertain
    std::string port;
    std::string sha256;
    std::vector<std::int64_t> capcodes;
    std::int64_t frequencyHz = 0;
    std::string reason;
};

// The record entry that says what became of a recovered reservation.
RecordEntry recoveryEntry(const RecoveredReservation& r, const std::string& recoveringStation);

// Batch administration (the "batch" commands).
Status createBatch(PgConnection& connection, const BatchSpec& wanted);
Outcome<std::vector<BatchSummary>> listBatches(PgConnection& connection);
Outcome<BatchSummary> describeBatch(PgConnection& connection, const std::string& name);
// For a station that will never come back: its writing reservations in the
// batch become uncertain, its reserved ones return. Safe while it runs: a
// station acts only on reservations that are still its own.
Outcome<std::vector<RecoveredReservation>> releaseStation(PgConnection& connection, const std::string& batch,
                                                          const std::string& station);
// Gives back or marks uncertain the open reservations of every station
// instance whose liveness lock is free (its process is gone), other than
// `except`.
Outcome<std::vector<RecoveredReservation>> recoverGoneStations(PgConnection& connection, std::int64_t except = 0);

class PgCapcodeSequence : public CapcodeSequence {
public:
    // Connects, creates the schema, registers this station instance (refused
    // while another live instance runs under the same name), recovers the
    // reservations of stations that are gone, and joins the batch, which must
    // exist (refused otherwise).
    static Outcome<std::unique_ptr<PgCapcodeSequence>> open(const std::string& conninfo, const std::string& batch,
                                                            const std::string& station);

    const BatchState& batchState() const { return state_; }
    std::int64_t instance() const { return instance_; }
    // What the start found of stations that are gone.
    const std::vector<RecoveredReservation>& recovered() const { return recovered_; }

    Outcome<Reservation> reserveNext() override;
    Status beginWriting(const Reservation& reservation, const WriteIntent& intent) override;
    Status markUsed(const Reservation& reservation) override;
    Status giveBack(const Reservation& reservation) override;
    Status markUncertain(const Reservation& reservation, const std::string& reason) override;
    std::optional<std::uint64_t> peekNext() override;
    bool exhausted() const override { return exhausted_; }

private:
    PgCapcodeSequence(std::unique_ptr<PgConnection> connection, std::string batch, std::string station)
        : connection_(std::move(connection)), batch_(std::move(batch)), station_(std::move(station)) {}
    // A broken connection is re-made and this instance's liveness lock taken
    // again; false when either fails.
    bool connected();
    // Moves the reservation to `to` from a state it may leave for it, setting
    // `set` too ($3.. are `params`).
    Status transition(const Reservation& reservation, ReservationState to, const std::string& set,
                      std::vector<std::string> params);

    std::mutex mutex_;   // boards of one station share the connection
    std::unique_ptr<PgConnection> connection_;
    std::string batch_;
    std::string station_;
    std::int64_t instance_ = 0;
    BatchState state_;
    bool exhausted_ = false;
    std::vector<RecoveredReservation> recovered_;
};

class PgRecordStore : public RecordStore {
public:
    static Outcome<std::unique_ptr<PgRecordStore>> open(const std::string& conninfo);
    Status append(const RecordEntry& entry) override;
    Outcome<std::vector<RecordEntry>> list(std::optional<SystemTime> since) override;

private:
    explicit PgRecordStore(std::unique_ptr<PgConnection> connection) : connection_(std::move(connection)) {}

    std::mutex mutex_;
    std::unique_ptr<PgConnection> connection_;
};

} // namespace px316t
