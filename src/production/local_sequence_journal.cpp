// A station's record and its capcode journal, held against each other when a
// run starts: either one alone keeps a capcode that may be in a pager from
// being handed out again.
#include "production/local_sequence.h"

#include "production/allocation_list.h"
#include "production/sqlite_helpers.h"
#include "production/sqlite_record_store.h"

namespace px316t {

namespace {

using sqlite::exec;
using sqlite::lastError;
using sqlite::Statement;

std::vector<std::uint64_t> capcodesOf(const std::vector<JournalLine>& lines)
{
    std::vector<std::uint64_t> capcodes;
    for (const auto& line : lines)
        capcodes.push_back(line.capcode);
    return capcodes;
}

struct RecordRow {
    ReservationState state;
    JournalLine line;   // what the journal should hold for it
};

} // namespace

std::string lostCapcodesMessage(const std::vector<JournalLine>& lost, const std::filesystem::path& journal)
{
    return "The production record did not hold capcodes this station wrote or may have written: " +
           describeCapcodes(capcodesOf(lost)) + " (the capcode journal " + journal.string() +
           " holds them; the record was lost, damaged or replaced). They are on the record again as uncertain and "
           "will never be written again. Nothing was written now: start again (press Write again, or run produce "
           "again) and the next pager gets the next free capcode.";
}

Outcome<std::vector<JournalLine>> SqliteCapcodeSequence::reconcileWithJournal()
{
    const std::lock_guard lock(mutex_);
    const std::map<std::uint64_t, JournalLine> written = journal_.written();
    std::string error;
    auto failed = [this, &error]() -> Failure {
        if (error.empty())
            error = lastError(db_);
        std::string ignored;
        exec(db_, "ROLLBACK", ignored);
        return Failure{"The production record could not be checked against the capcode journal: " + error};
    };
    // Read and restored under the record's write lock: no run reserves meanwhile.
    if (!exec(db_, "BEGIN IMMEDIATE", error))
        return failed();
    std::map<std::uint64_t, RecordRow> record;
    {
        Statement rows(db_, "SELECT capcode, state, station, port, sha256, changed_utc FROM local_reservation");
        if (!rows.ok())
            return failed();
        while (rows.step() == SQLITE_ROW) {
            const auto capcode = static_cast<std::uint64_t>(rows.column(0));
            const ReservationState state =
                reservationStateFromText(rows.columnText(1)).value_or(ReservationState::Uncertain);
            record[capcode] = {state, JournalLine{parseUtc(rows.columnText(5)).value_or(SystemTime{}), state, capcode,
                                                  rows.columnText(2), rows.columnText(3), rows.columnText(4)}};
        }
    }
    std::vector<JournalLine> lost;
    for (const auto& [capcode, line] : written) {
        const auto held = record.find(capcode);
        if (held == record.end() || held->second.state == ReservationState::Returned)
            lost.push_back(line);
    }
    std::vector<JournalLine> unjournaled;
    for (const auto& [capcode, row] : record)
        if ((row.state == ReservationState::Writing || row.state == ReservationState::Used ||
             row.state == ReservationState::Uncertain) &&
            !written.count(capcode))
            unjournaled.push_back(row.line);

    const std::string now = isoUtc(std::chrono::system_clock::now());
    std::vector<RecordEntry> entries;
    for (const JournalLine& line : lost) {
        const std::string reason = "the production record had lost it; the capcode journal holds it as " +
                                   reservationStateText(line.state) + " since " + isoUtc(line.time);
        Statement restore(db_, "INSERT OR REPLACE INTO local_reservation"
                               " (capcode, state, station, instance, port, sha256, reason, changed_utc)"
                               " VALUES (?, 'uncertain', ?, 0, ?, ?, ?, ?)");
        if (!restore.ok() || restore.integer(1, static_cast<std::int64_t>(line.capcode))
                                     .text(2, line.station)
                                     .text(3, line.port)
                                     .text(4, line.sha256)
                                     .text(5, reason)
                                     .text(6, now)
                                     .step() != SQLITE_DONE)
            return failed();
        RecoveredReservation r;
        r.capcode = line.capcode;
        r.station = line.station;
        r.state = ReservationState::Uncertain;
        r.port = line.port;
        r.sha256 = line.sha256;
        r.capcodes = {static_cast<std::int64_t>(line.capcode)};
        r.reason = reason;
        entries.push_back(recoveryEntry(r, station_));
    }
    if (!insertRecordEntries(db_, entries, error) || !exec(db_, "COMMIT", error))
        return failed();
    // The other way: what only the record knows goes into the journal too.
    if (Status s = journal_.append(unjournaled); !s.ok())
        return Failure{s.message()};
    return lost;
}

} // namespace px316t
