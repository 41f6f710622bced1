#pragma once
// Who got which capcode of a batch, for the carrier and the customer: every
// capcode of a list batch in the list's order (those never handed out as
// `left`), or every capcode a range batch handed out, each with its list
// columns, its state, and the station, operator, port, time, image SHA-256,
// table file and program of the pager that holds it or may hold it.
#include "production/pg_batches.h"
#include "production/pg_connection.h"

#include <ostream>
#include <string>

namespace px316t {

// Writes the export of the batch `name` as CSV (a header line, fields
// neutralised as history --csv does) to `out`, from one snapshot of the
// database. Refused for an unknown batch.
Outcome<BatchState> writeBatchExportCsv(PgConnection& connection, const std::string& name, std::ostream& out);

} // namespace px316t
