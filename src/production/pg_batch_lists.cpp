#include "production/pg_batch_lists.h"

#include "production/entry_origin.h"
#include "production/pg_batches.h"
#include "production/pg_schema.h"

#include <algorithm>

namespace px316t {

namespace {

// Rows sent in one statement: large enough that a list of a million capcodes
// takes a few hundred statements, small enough for the statement time-out.
constexpr std::size_t kRowsPerStatement = 5000;

// One element of a PostgreSQL array literal.
std::string arrayElement(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

// The list's entries from `from` on, a statement's worth, as the array
// parameters $2..$7 of the insertion.
std::vector<std::string> arrays(const AllocationList& list, std::size_t from, std::size_t to)
{
    std::vector<std::string> columns(6, "{");
    for (std::size_t i = from; i < to; ++i) {
        const AllocationEntry& e = list.entries[i];
        const std::string separator = i == from ? "" : ",";
        columns[0] += separator + std::to_string(i);
        columns[1] += separator + std::to_string(e.capcode);
        columns[2] += separator + arrayElement(e.customer);
        columns[3] += separator + arrayElement(e.order);
        columns[4] += separator + arrayElement(e.label);
        columns[5] += separator + arrayElement(packFields(e.extra));
    }
    for (std::string& c : columns)
        c += '}';
    return columns;
}

Status insertList(PgConnection& db, const std::string& name, const AllocationList& list, const std::string& listFile)
{
    const auto [lowest, highest] = std::minmax_element(
        list.entries.begin(), list.entries.end(),
        [](const AllocationEntry& a, const AllocationEntry& b) { return a.capcode < b.capcode; });
    // first..last span the list and next_capcode lies past it: a station of an
    // earlier version takes the batch for a range that is used up.
    auto batch = db.exec("INSERT INTO px316t_batch (name, first_capcode, last_capcode, next_capcode, list_file,"
                         " list_size, next_position, extra_columns)"
                         " VALUES ($1, $2::bigint, $3::bigint, $3::bigint + 1, $4, $5::bigint, 0, $6)",
                         {name, std::to_string(lowest->capcode), std::to_string(highest->capcode), listFile,
                          std::to_string(list.entries.size()), packFields(list.extraColumns)});
    if (!batch.ok())
        return Failure{databaseFailure("refused the batch " + name, batch.message())};
    for (std::size_t from = 0; from < list.entries.size(); from += kRowsPerStatement) {
        std::vector<std::string> params = arrays(list, from, std::min(list.entries.size(), from + kRowsPerStatement));
        params.insert(params.begin(), name);
        auto rows = db.exec("INSERT INTO px316t_batch_capcode (batch, position, capcode, customer, order_ref, label,"
                            " extra) SELECT $1, * FROM unnest($2::bigint[], $3::bigint[], $4::text[], $5::text[],"
                            " $6::text[], $7::text[])",
                            params);
        if (!rows.ok())
            return Failure{databaseFailure("refused the list of batch " + name, rows.message())};
    }
    return {};
}

// The capcodes of the new list that another batch holds: in another list, or
// in the range of a range batch.
Status refuseOverlaps(PgConnection& db, const std::string& name, const std::string& listFile)
{
    auto overlaps = db.exec(
        "SELECT o.name, l.capcode FROM px316t_batch_capcode l JOIN px316t_batch o ON o.name <> $1"
        " AND o.list_file IS NULL AND l.capcode BETWEEN o.first_capcode AND o.last_capcode WHERE l.batch = $1"
        " UNION ALL SELECT m.batch, l.capcode FROM px316t_batch_capcode l JOIN px316t_batch_capcode m"
        " ON m.capcode = l.capcode AND m.batch <> $1 WHERE l.batch = $1",
        {name});
    if (!overlaps.ok())
        return Failure{databaseFailure("could not be read", overlaps.message())};
    if (overlaps.value().count() == 0)
        return {};
    return Failure{"The list " + listFile + " overlaps " + overlapsByBatch(overlaps.value()) +
                       " (a batch's capcodes may be in pagers already); nothing was created.",
                   true};
}

} // namespace

Status createListBatch(PgConnection& db, const std::string& name, const AllocationList& list,
                       const std::string& listFile)
{
    if (list.entries.empty())
        return Failure{"The list " + listFile + " holds no capcode; nothing was created.", true};
    if (Status s = beginCreatingBatch(db, name); !s.ok())
        return s;
    // The list goes in first; the server then finds its overlaps in one look.
    Status made = insertList(db, name, list, listFile);
    if (made.ok())
        made = refuseOverlaps(db, name, listFile);
    return finishCreatingBatch(db, made);
}

} // namespace px316t
