#pragma once
// The start of a station that draws from a shared capcode sequence.
#include "production/pg_production.h"
#include "production/sqlite_record_store.h"

namespace px316t {

// Gives back the reservations `station` still held when it last stopped (or
// marks them used when its local record shows them written and verified), and
// appends an entry for each to `record`, so the record says what became of them.
Outcome<std::vector<RecoveredReservation>> recoverStation(PgCapcodeSequence& sequence, SqliteRecordStore& local,
                                                          RecordStore& record, const std::string& station);

} // namespace px316t
