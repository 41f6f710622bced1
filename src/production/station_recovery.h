#pragma once
// What a station's start found of runs that are gone: their open reservations
// were given back (never written) or marked uncertain (their write began). The
// sequence that recovers them writes a record entry for each in the same
// transaction as the state change, so no capcode is skipped without a trace.
#include "production/capcode_sequence.h"
#include "production/production_record.h"

#include <string>
#include <vector>

namespace px316t {

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
    EntrySource source = {};      // who wrote it from what, when the write had begun
    ListColumns listed = {};      // its allocation list's columns, when it came from one
};

// The record entry that says what became of a recovered reservation.
RecordEntry recoveryEntry(const RecoveredReservation& r, const std::string& recoveringStation);

// Appends an entry for each recovered reservation to `record` (a copy for a
// store the recovering sequence did not write itself).
Status recordRecovered(const std::vector<RecoveredReservation>& recovered, RecordStore& record,
                       const std::string& station);

// One line for the operator about a recovered reservation.
std::string recoveredNotice(const RecoveredReservation& r);

} // namespace px316t
