#pragma once
// What a station's start found of runs that are gone: their open reservations
// were given back (never written) or marked uncertain (their write began), and
// the record gets an entry for each, so no capcode is skipped without a trace.
#include "production/pg_production.h"

#include <string>
#include <vector>

namespace px316t {

// Appends an entry for each recovered reservation to `record`.
Status recordRecovered(const std::vector<RecoveredReservation>& recovered, RecordStore& record,
                       const std::string& station);

// One line for the operator about a recovered reservation.
std::string recoveredNotice(const RecoveredReservation& r);

} // namespace px316t
