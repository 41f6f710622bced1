#pragma once
// Batches made from a carrier's allocation list: the list is kept in the
// shared database with its customer, order, label and other columns, and the
// batch's reservations walk it in its order.
#include "production/allocation_list.h"
#include "production/pg_connection.h"

#include <string>

namespace px316t {

// Creates the batch `name` from `list` (read from the file named `listFile`).
// Refused, with the overlapping capcodes named, when any of them belongs to
// another batch of the database (a range or a list); refused like a range
// batch for a name in use. Nothing is created unless all of it is.
Status createListBatch(PgConnection& connection, const std::string& name, const AllocationList& list,
                       const std::string& listFile);

} // namespace px316t
