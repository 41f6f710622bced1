#include "production/station_recovery.h"

namespace px316t {

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
