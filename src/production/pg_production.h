#pragma once
// The production data shared by several stations in one PostgreSQL database:
// one capcode sequence per batch, and the production record.
#include "production/capcode_sequence.h"
#include "production/pg_connection.h"
#include "production/production_record.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace px316t {

// Creates the tables when missing; safe when several stations start at once.
Status ensureProductionSchema(PgConnection& connection);

struct BatchSpec {
    std::string name;
    std::uint64_t first = 0;   // used only when the batch is new
    std::uint64_t last = 0;
};

struct BatchState {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::uint64_t next = 0;   // the next new capcode (given-back ones come first)
    bool joined = false;      // the batch existed already: its first capcode won over the image's
};

// A reservation that a station held when it stopped, found at its next start.
struct RecoveredReservation {
    std::string batch;
    std::uint64_t capcode = 0;
    bool written = false;     // the station's own record shows the verified write: marked used
};

class PgCapcodeSequence : public CapcodeSequence {
public:
    // Connects, creates the schema and the batch when missing. `station` names
    // the reservations this object makes.
    static Outcome<std::unique_ptr<PgCapcodeSequence>> open(const std::string& conninfo, const BatchSpec& batch,
                                                            const std::string& station);

    const BatchState& batchState() const { return state_; }

    // At the start of a station: every reservation it still holds in any batch
    // (it stopped between reserving and finishing) is given back, unless
    // `wasWritten(batch, capcode)` says the station's record shows that capcode
    // written and verified: then it is marked used, never written again. When it
    // cannot tell (nothing), nothing is changed and the recovery fails.
    using WrittenCheck = std::function<std::optional<bool>(const std::string& batch, std::uint64_t capcode)>;
    Outcome<std::vector<RecoveredReservation>> recoverReservations(const WrittenCheck& wasWritten);

    Outcome<Reservation> reserveNext() override;
    Status markUsed(const Reservation& reservation) override;
    Status giveBack(const Reservation& reservation) override;
    std::optional<std::uint64_t> peekNext() override;

private:
    PgCapcodeSequence(std::unique_ptr<PgConnection> connection, std::string batch, std::string station)
        : connection_(std::move(connection)), batch_(std::move(batch)), station_(std::move(station)) {}
    Status finish(const Reservation& reservation, const char* newState);

    std::mutex mutex_;   // boards of one station share the connection
    std::unique_ptr<PgConnection> connection_;
    std::string batch_;
    std::string station_;
    BatchState state_;
};

class PgRecordStore : public RecordStore {
public:
    static Outcome<std::unique_ptr<PgRecordStore>> open(const std::string& conninfo);
    Status append(const RecordEntry& entry) override;
    Outcome<std::vector<RecordEntry>> list(std::optional<SystemTime> since) override;

private:
    explicit PgRecordStore(std::unique_ptr<PgConnection> connection) : connection_(std::move(connection)) {}

    std::mutex mutex_;
    std::unique_ptr<PgConnection> connection_;
};

} // namespace px316t
