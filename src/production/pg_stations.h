#pragma once
// The stations working on the shared production database. A station instance
// holds a session advisory lock keyed by its instance id for as long as it
// runs, and renews a lease in its row: its reservations are touched by
// another station only once that lock is free (its session ended). A session
// whose lease ran out belongs to a station that lost power or stalled; the
// next station to start ends it, so a dead station's lock lasts no longer
// than its lease, whatever the network does.
#include "production/pg_connection.h"
#include "production/station_recovery.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace px316t {

// How long a station's lease lasts after each renewal; it renews every third of it.
inline constexpr std::chrono::seconds kStationLease{30};

// Registers a station instance named `station` (working on `batch`, for the
// messages), takes its liveness lock and starts its lease. Refused while a
// live instance of that name runs, with how long to wait or what to run.
Outcome<std::int64_t> registerStation(PgConnection& connection, const std::string& station,
                                      const std::string& batch, std::chrono::seconds lease);
// Renews the lease of `instance`.
Status renewLease(PgConnection& connection, std::int64_t instance, std::chrono::seconds lease);
// Takes `instance`'s liveness lock again on a new session. The broken session
// `previousBackend` may still hold it (the server has not noticed the break
// yet): that session is this station's own, and is ended. False while
// another session holds it (a recovery of this station in progress).
bool retakeLiveLock(PgConnection& connection, std::int64_t instance, int previousBackend);

// Gives back or marks uncertain the open reservations of every station
// instance that is gone (its liveness lock is free, or its lease ran out and
// its session was ended), other than `except`. Each change and its record
// entry (recorded by `recordingStation`) commit together.
Outcome<std::vector<RecoveredReservation>> recoverGoneStations(PgConnection& connection, std::int64_t except,
                                                               const std::string& recordingStation);

struct ReleasedStation {
    std::vector<RecoveredReservation> reservations;
    int sessionsEnded = 0;   // live sessions of that station that were ended
};
// For a station that will never come back: its sessions are ended (so it can
// be started again under its name at once), its writing reservations in the
// batch become uncertain and its reserved ones return, each with its record
// entry. Safe while it runs: a station acts only on reservations that are
// still its own.
Outcome<ReleasedStation> releaseStation(PgConnection& connection, const std::string& batch,
                                        const std::string& station);

} // namespace px316t
