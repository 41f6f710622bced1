#include "production/station_recovery.h"

namespace px316t {

RecordEntry recoveryEntry(const RecoveredReservation& r, const std::string& recoveringStation)
{
    RecordEntry entry;
    entry.time = std::chrono::system_clock::now();
    entry.station = r.station.empty() ? recoveringStation : r.station;
    entry.port = r.port;
    entry.operation = RecordOperation::Write;
    entry.batch = r.batch;
    entry.firstCapcode = static_cast<std::int64_t>(r.capcode);
    entry.capcodes = r.capcodes;
    entry.frequencyHz = r.frequencyHz;
    entry.sha256 = r.sha256;
    entry.result = r.state == ReservationState::Returned ? RecordResult::Returned : RecordResult::Uncertain;
    entry.note = r.reason;
    entry.source = r.source;
    entry.listed = r.listed;
    if (!recoveringStation.empty() && recoveringStation != entry.station)
        entry.note += " (recorded by " + recoveringStation + ")";
    return entry;
}

Status recordRecovered(const std::vector<RecoveredReservation>& recovered, RecordStore& record,
                       const std::string& station)
{
    std::vector<RecordEntry> entries;
    for (const RecoveredReservation& r : recovered)
        entries.push_back(recoveryEntry(r, station));
    if (entries.empty())
        return {};
    return record.appendAll(entries);
}

std::string recoveredNotice(const RecoveredReservation& r)
{
    const std::string where = (r.batch.empty() ? std::string() : " of batch " + r.batch) +
                              (r.station.empty() ? std::string() : " (station " + r.station + ")");
    if (r.state == ReservationState::Returned)
        return "Capcode " + std::to_string(r.capcode) + where + " was reserved but never written; it was given back.";
    return "Capcode " + std::to_string(r.capcode) + where + " is uncertain: " + r.reason +
           ". It will not be handed out again.";
}

} // namespace px316t
