#pragma once
// The batches of the shared production database: each a range of capcodes
// with its own sequence, created explicitly, never overlapping another.
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
};

struct BatchState {
    std::string name;
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::uint64_t next = 0;   // the next new capcode (given-back ones come first)
};

struct BatchSummary {
    BatchState batch;
    long long used = 0;
    long long uncertain = 0;
    long long returned = 0;
    long long open = 0;       // reserved or writing
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

} // namespace px316t
