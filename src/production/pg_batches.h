#pragma once
// The batches of the shared production database: each a range of capcodes or
// a carrier's allocation list (pg_batch_lists.h), with its own sequence,
// created explicitly, never overlapping another.
#include "production/capcode_sequence.h"
#include "production/pg_connection.h"

#include <optional>
#include <string>
#include <vector>

namespace px316t {

struct BatchSpec {
    std::string name;
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    // A range that reaches into the addresses FLEX keeps for itself
    // (1933313..2031614) is refused unless allowed.
    bool allowSpecialAddresses = false;
};

struct BatchState {
    std::string name;
    std::uint64_t first = 0;   // a list's lowest and highest capcodes
    std::uint64_t last = 0;
    std::uint64_t next = 0;   // the next new capcode (given-back ones come first); of a range only
    // A batch made from an allocation list: the list file's name, its size,
    // the position of its next new capcode, and its other columns' names.
    std::string listFile = {};
    std::uint64_t listSize = 0;
    std::uint64_t nextPosition = 0;
    std::vector<std::string> extraColumns = {};
    bool isList() const { return !listFile.empty(); }
};

// A capcode a batch gives soon, with the customer its list names.
struct ComingCapcode {
    std::uint64_t capcode = 0;
    std::string customer;
};

struct BatchSummary {
    BatchState batch;
    long long used = 0;
    long long uncertain = 0;
    long long returned = 0;
    long long open = 0;       // reserved or writing
    long long left = 0;       // never handed out, or given back
    std::vector<ComingCapcode> coming = {};   // the next capcodes it gives (one in a list of batches)
    // Every reservation that is not used: uncertain, returned, reserved, writing.
    std::vector<ReservationRow> notUsed;
};

// A batch name without its spaces (every Unicode space, the no-break and the
// zero-width ones too): two names that differ only in case or spaces name
// one batch to an operator, so the second is refused.
std::string withoutSpaces(const std::string& name);
// True when `name` begins or ends with a space of any kind.
bool hasOuterSpace(const std::string& name);

Status createBatch(PgConnection& connection, const BatchSpec& wanted);
Outcome<std::vector<BatchSummary>> listBatches(PgConnection& connection);
Outcome<BatchSummary> describeBatch(PgConnection& connection, const std::string& name);

// The batch named exactly `name`; nothing when there is none.
Outcome<std::optional<BatchState>> findBatch(PgConnection& connection, const std::string& name);
// The refusal of an unknown batch, with the names there are.
Failure unknownBatch(PgConnection& connection, const std::string& name);

// The next `count` capcodes `batch` gives (given-back ones first), with their customers.
Outcome<std::vector<ComingCapcode>> comingCapcodes(PgConnection& connection, const BatchState& batch, int count);

// For the creation of a batch named `name`: checks the name, then opens the
// transaction it is created in, holding the lock of every batch creation,
// and refuses a name taken already or differing from one only in case or
// spaces. On a failure nothing is left open.
Status beginCreatingBatch(PgConnection& connection, const std::string& name);
// Ends a creation begun above: committed, or on a failure rolled back.
Status finishCreatingBatch(PgConnection& connection, Status made);
// "the batch "X" in capcodes 1500003, 1500007-1500009 and the batch "Y" in
// ...", from rows of (batch name, capcode).
std::string overlapsByBatch(const PgRows& rows);

} // namespace px316t
