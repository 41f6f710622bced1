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
//
// A run may walk a carrier's allocation list instead of counting up: the list
// is kept in the record (known again by its contents), each run takes the
// earliest capcode of it the record holds nothing for (or holds given back),
// and a list first seen is refused when the record holds some of its capcodes
// as used, uncertain or held by a running run.
//
// The capcode journal (capcode_journal.h) is the record's second witness:
// whatever one of them holds as written that the other lacks is copied into
// it when a run starts, so either alone keeps every capcode that may be in a
// pager from being handed out again. A record that lost capcodes (deleted,
// damaged and started anew, replaced) stops the run that finds it once, with
// the lost capcodes back on it as uncertain.
#include "production/allocation_list.h"
#include "production/capcode_journal.h"
#include "production/capcode_sequence.h"
#include "production/file_lock.h"
#include "production/station_recovery.h"

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct sqlite3;

namespace px316t {

// What the operator is told when the record lacked capcodes the journal
// holds as written: which, that they are back on the record, how to go on.
std::string lostCapcodesMessage(const std::vector<JournalLine>& lost, const std::filesystem::path& journal);

// An allocation list a station works through on its own record.
struct LocalList {
    std::string file;          // the list file's name, for the record and the messages
    AllocationList list;
};

// Every reservation of the record at `recordPath`, lowest capcode first,
// read without opening a run (none when the record or its sequence does not
// exist yet).
Outcome<std::vector<ReservationRow>> localReservations(const std::filesystem::path& recordPath);

class SqliteCapcodeSequence : public CapcodeSequence {
public:
    // Opens the sequence of the record at `recordPath` for capcodes first..last,
    // recovers what runs that are gone left open (with their record entries),
    // and holds the record against the capcode journal beside it: a failure,
    // saying what was lost and how to go on, when the record lacked capcodes
    // the journal holds as written (they are on the record now). With a
    // `list`, the run walks it instead of first..last (refused, with the
    // overlapping capcodes named, as above).
    static Outcome<std::unique_ptr<SqliteCapcodeSequence>> open(const std::filesystem::path& recordPath,
                                                                const std::string& station, std::uint64_t first,
                                                                std::uint64_t last, const LocalList* list = nullptr);
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
    Outcome<std::optional<std::uint64_t>> peekNext() override;
    bool exhausted() const override { return exhausted_; }
    Outcome<ListColumns> listColumnsOf(std::uint64_t capcode) override;

private:
    SqliteCapcodeSequence(sqlite3* db, std::filesystem::path journal, std::string station, std::uint64_t first,
                          std::uint64_t last)
        : db_(db), journal_(std::move(journal)), station_(std::move(station)), first_(first), last_(last)
    {
    }
    Outcome<std::vector<RecoveredReservation>> recoverGoneRuns(const std::filesystem::path& recordPath);
    // The open reservations of one run that is gone, given back or made
    // uncertain (inside the caller's transaction).
    Outcome<std::vector<RecoveredReservation>> recoverRun(std::int64_t owner);
    // Copies what the journal holds as written into the record and the other
    // way round; the capcodes the record lacked, now on it as uncertain.
    Outcome<std::vector<JournalLine>> reconcileWithJournal();
    // A journal line for a move of `capcode` this run made.
    void noteInJournal(std::uint64_t capcode, ReservationState state);
    std::optional<std::uint64_t> lowestFree(std::string& error);
    // The list's earliest capcode the record holds nothing for or holds returned.
    std::optional<std::uint64_t> lowestListed(std::string& error);
    // Keeps `list` in the record (once), or refuses a new list the record
    // holds capcodes of as used, uncertain or held by a running run.
    Status adoptList(const LocalList& list);
    ListColumns listedLocked(std::uint64_t capcode);
    std::string noneLeftMessage() const;
    // Moves the reservation to `to` from a state it may leave for it, setting
    // `set` too (?3 is now, ?4.. are `texts`).
    Status transition(const Reservation& reservation, ReservationState to, const char* set,
                      const std::vector<std::string>& texts);

    sqlite3* db_;
    CapcodeJournal journal_;
    std::map<std::uint64_t, JournalLine> claimed_;   // capcodes this run put in the journal as writing
    std::string station_;
    std::uint64_t first_;
    std::uint64_t last_;
    std::int64_t instance_ = 0;
    std::atomic<bool> exhausted_ = false;
    std::unique_ptr<FileLock> live_;
    // The list the run walks (0: none), its file name and other columns'
    // names, and the position before which every capcode of it was held.
    std::int64_t listId_ = 0;
    std::string listFile_;
    std::vector<std::string> listExtraColumns_;
    std::int64_t listCursor_ = 0;
    std::vector<RecoveredReservation> recovered_;
    std::mutex mutex_;
};

} // namespace px316t
