#pragma once
// The capcode sequence of a station without a shared database, kept in its
// production record (the SQLite file) with the same reservation states as the
// shared one. Every capcode this record ever handed out is known to it, so the
// table file's capcode is only where a run starts looking: a capcode the record
// holds as used, uncertain or held by a live run is never handed out again.
//
// Each run is a station instance with a lock file beside the record
// ("production.sqlite.station-<id>.lock"), held while it runs; a later run
// recovers the open reservations of instances whose lock is free.
#include "production/capcode_sequence.h"
#include "production/file_lock.h"
#include "production/pg_production.h"

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct sqlite3;

namespace px316t {

class SqliteCapcodeSequence : public CapcodeSequence {
public:
    // Opens the sequence of the record at `recordPath` for capcodes first..last
    // and recovers what runs that are gone left open.
    static Outcome<std::unique_ptr<SqliteCapcodeSequence>> open(const std::filesystem::path& recordPath,
                                                                const std::string& station, std::uint64_t first,
                                                                std::uint64_t last);
    ~SqliteCapcodeSequence() override;
    SqliteCapcodeSequence(const SqliteCapcodeSequence&) = delete;
    SqliteCapcodeSequence& operator=(const SqliteCapcodeSequence&) = delete;

    const std::vector<RecoveredReservation>& recovered() const { return recovered_; }
    // Every reservation of the record that is not used, lowest capcode first.
    Outcome<std::vector<ReservationRow>> notUsed();

    Outcome<Reservation> reserveNext() override;
    Status beginWriting(const Reservation& reservation, const WriteIntent& intent) override;
    Status markUsed(const Reservation& reservation) override;
    Status giveBack(const Reservation& reservation) override;
    Status markUncertain(const Reservation& reservation, const std::string& reason) override;
    std::optional<std::uint64_t> peekNext() override;
    bool exhausted() const override { return exhausted_; }

private:
    SqliteCapcodeSequence(sqlite3* db, std::string station, std::uint64_t first, std::uint64_t last)
        : db_(db), station_(std::move(station)), first_(first), last_(last) {}
    Outcome<std::vector<RecoveredReservation>> recoverGoneRuns(const std::filesystem::path& recordPath);
    std::optional<std::uint64_t> lowestFree(std::string& error);
    // Moves the reservation to `to` from a state it may leave for it, setting
    // `set` too (?3 is now, ?4.. are `texts`).
    Status transition(const Reservation& reservation, ReservationState to, const char* set,
                      const std::vector<std::string>& texts);

    sqlite3* db_;
    std::string station_;
    std::uint64_t first_;
    std::uint64_t last_;
    std::int64_t instance_ = 0;
    bool exhausted_ = false;
    std::unique_ptr<FileLock> live_;
    std::vector<RecoveredReservation> recovered_;
    std::mutex mutex_;
};

} // namespace px316t
