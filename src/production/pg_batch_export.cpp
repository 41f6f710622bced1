#include "production/pg_batch_export.h"

#include "production/csv_text.h"
#include "production/entry_origin.h"
#include "production/pg_schema.h"

namespace px316t {

namespace {

// Rows read per statement: a list of a million capcodes is never held at once.
constexpr int kRowsPerPage = 20000;

constexpr const char* kReservationColumns =
    "COALESCE(r.state, 'left'), COALESCE(r.station, ''), COALESCE(r.operator, ''), COALESCE(r.port, ''),"
    " COALESCE(to_char(COALESCE(r.finished_utc, r.reserved_utc) AT TIME ZONE 'UTC',"
    " 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'), ''), COALESCE(r.sha256, ''), COALESCE(r.table_file, ''),"
    " COALESCE(r.table_sha256, ''), COALESCE(r.program_version, ''), COALESCE(r.reason, '')";
constexpr int kReservationColumnCount = 10;

// A page of rows after the key $2: the capcode, its list's customer, order,
// label and packed other columns, its reservation's columns, and the key.
std::string pageQuery(bool list)
{
    const std::string columns = kReservationColumns;
    if (list)
        return "SELECT l.capcode, l.customer, l.order_ref, l.label, l.extra, " + columns +
               ", l.position FROM px316t_batch_capcode l LEFT JOIN px316t_reservation r ON r.batch = l.batch"
               " AND r.capcode = l.capcode WHERE l.batch = $1 AND l.position > $2::bigint ORDER BY l.position LIMIT " +
               std::to_string(kRowsPerPage);
    return "SELECT r.capcode, '', '', '', '', " + columns +
           ", r.capcode FROM px316t_reservation r WHERE r.batch = $1 AND r.capcode > $2::bigint ORDER BY r.capcode"
           " LIMIT " + std::to_string(kRowsPerPage);
}

Status writeRows(PgConnection& db, const BatchState& batch, std::ostream& out)
{
    std::vector<std::string> header = {"capcode", "customer", "order", "label"};
    header.insert(header.end(), batch.extraColumns.begin(), batch.extraColumns.end());
    for (const char* name : {"state", "station", "operator", "port", "time_utc", "sha256", "table_file",
                             "table_sha256", "program_version", "reason"})
        header.emplace_back(name);
    out << csvLine(header);
    const std::string query = pageQuery(batch.isList());
    for (std::string after = "-1";;) {
        auto rows = db.exec(query, {batch.name, after});
        if (!rows.ok())
            return Failure{databaseFailure("could not be read", rows.message())};
        const PgRows& r = rows.value();
        for (int i = 0; i < r.count(); ++i) {
            std::vector<std::string> line = {r.text(i, 0), r.text(i, 1), r.text(i, 2), r.text(i, 3)};
            std::vector<std::string> extra = unpackFields(r.text(i, 4));
            extra.resize(batch.extraColumns.size());
            line.insert(line.end(), extra.begin(), extra.end());
            for (int c = 0; c < kReservationColumnCount; ++c)
                line.push_back(r.text(i, 5 + c));
            out << csvLine(line);
        }
        if (r.count() < kRowsPerPage)
            return {};
        after = r.text(r.count() - 1, 5 + kReservationColumnCount);
    }
}

} // namespace

Outcome<BatchState> writeBatchExportCsv(PgConnection& db, const std::string& name, std::ostream& out)
{
    if (Status s = ensureProductionSchema(db); !s.ok())
        return Failure{s.message()};
    // One snapshot: stations that go on meanwhile neither add nor move a row of it.
    if (Status s = db.run("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"); !s.ok())
        return Failure{databaseFailure("could not be read", s.message())};
    auto found = findBatch(db, name);
    if (!found.ok() || !found.value()) {
        db.rollback();
        return found.ok() ? unknownBatch(db, name) : found.failure();
    }
    const Status written = writeRows(db, *found.value(), out);
    db.rollback();   // read only: nothing to keep
    if (!written.ok())
        return Failure{written.message()};
    if (!out.flush())
        return Failure{"The export of batch " + name + " could not be written out in full."};
    return *found.value();
}

} // namespace px316t
