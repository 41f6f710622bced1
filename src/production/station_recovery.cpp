#include "production/station_recovery.h"

namespace px316t {

Outcome<std::vector<RecoveredReservation>> recoverStation(PgCapcodeSequence& sequence, SqliteRecordStore& local,
                                                          RecordStore& record, const std::string& station)
{
    auto recovered = sequence.recoverReservations([&](const std::string& batch, std::uint64_t capcode) {
        return local.hasVerifiedWrite(batch, capcode, station);
    });
    if (!recovered.ok())
        return recovered;
    std::string failures;
    for (const RecoveredReservation& r : recovered.value()) {
        RecordEntry entry;
        entry.time = std::chrono::system_clock::now();
        entry.station = station;
        entry.operation = RecordOperation::Write;
        entry.batch = r.batch;
        entry.firstCapcode = static_cast<std::int64_t>(r.capcode);
        if (r.written) {
            entry.result = RecordResult::Success;
            entry.note = "reservation still open at the station's start; its record shows the verified write, "
                         "so the capcode was marked used";
        } else {
            entry.result = RecordResult::Abandoned;
            entry.note = "reserved but not written before the station stopped; given back to the batch at its "
                         "next start";
        }
        if (Status s = record.append(entry); !s.ok())
            failures += (failures.empty() ? "" : " ") + s.message();
    }
    if (!failures.empty())
        return Failure{failures};
    return recovered;
}

} // namespace px316t
