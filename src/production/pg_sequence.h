#pragma once
// The capcode sequence of one batch of the shared production database. Every
// statement that takes or moves a reservation is a single statement, its own
// transaction: no lock is held while the station waits for anything (the
// board, the operator, the network), so a station that stalls or dies at any
// point keeps no other station waiting on a row it holds.
#include "production/capcode_sequence.h"
#include "production/pg_batches.h"
#include "production/pg_connection.h"
#include "production/pg_stations.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace px316t {

class PgCapcodeSequence : public CapcodeSequence {
public:
    // Connects, creates the schema, registers this station instance (refused
    // while another live instance runs under the same name), recovers the
    // reservations of stations that are gone, and joins the batch, which must
    // exist (refused otherwise). The station renews its lease every third of
    // `lease` while the sequence is open.
    static Outcome<std::unique_ptr<PgCapcodeSequence>> open(const std::string& conninfo, const std::string& batch,
                                                            const std::string& station,
                                                            std::chrono::seconds lease = kStationLease);
    ~PgCapcodeSequence() override;
    PgCapcodeSequence(const PgCapcodeSequence&) = delete;
    PgCapcodeSequence& operator=(const PgCapcodeSequence&) = delete;

    const BatchState& batchState() const { return state_; }
    std::int64_t instance() const { return instance_; }
    // What the start found of stations that are gone (their record entries
    // are in the shared record already).
    const std::vector<RecoveredReservation>& recovered() const { return recovered_; }

    Outcome<Reservation> reserveNext() override;
    Status beginWriting(const Reservation& reservation, const WriteIntent& intent) override;
    Status markUsed(const Reservation& reservation) override;
    Status giveBack(const Reservation& reservation) override;
    Status markUncertain(const Reservation& reservation, const std::string& reason) override;
    Outcome<std::optional<std::uint64_t>> peekNext() override;
    bool exhausted() const override { return exhausted_; }
    Outcome<ListColumns> listColumnsOf(std::uint64_t capcode) override;

private:
    PgCapcodeSequence(std::unique_ptr<PgConnection> connection, std::string batch, std::string station,
                      std::chrono::seconds lease)
        : connection_(std::move(connection)), batch_(std::move(batch)), station_(std::move(station)), lease_(lease)
    {
    }
    // A broken connection is re-made and this instance's liveness lock taken
    // again; false when either fails.
    bool connected();
    // Runs one statement; once more on a new session when the connection broke
    // under it (every statement here is harmless to repeat).
    Outcome<PgRows> exec(const std::string& sql, const std::vector<std::string>& params);
    // Moves the reservation to `to` from a state it may leave for it, setting
    // `set` too ($3.. are `params`).
    Status transition(const Reservation& reservation, ReservationState to, const std::string& set,
                      std::vector<std::string> params);
    void renewLeaseUntilClosed();
    // The list's columns from the customer, order, label and packed other
    // columns at `column`.. of `row` (nothing for a range batch).
    ListColumns listed(const PgRows& rows, int row, int column) const;

    std::mutex mutex_;   // boards of one station and the lease share the connection
    std::unique_ptr<PgConnection> connection_;
    std::string batch_;
    std::string station_;
    std::chrono::seconds lease_;
    std::int64_t instance_ = 0;
    BatchState state_;
    std::atomic<bool> exhausted_ = false;
    std::vector<RecoveredReservation> recovered_;
    bool closing_ = false;
    std::condition_variable closingChanged_;
    std::thread leaseRenewal_;
};

} // namespace px316t
