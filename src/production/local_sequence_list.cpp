// A station working through a carrier's allocation list on its own record.
#include "production/local_sequence.h"

#include "production/image_summary.h"
#include "production/sqlite_helpers.h"
#include "production/utc_time.h"

namespace px316t {

namespace {

using sqlite::exec;
using sqlite::lastError;
using sqlite::Statement;

// The list's contents, whatever file, comments or spacing they came in: the
// same capcodes in the same order with the same columns are the same list.
std::string digestOf(const AllocationList& list)
{
    std::string text = packFields(list.extraColumns) + "\n";
    for (const AllocationEntry& e : list.entries) {
        std::vector<std::string> fields = {std::to_string(e.capcode), e.customer, e.order, e.label};
        fields.insert(fields.end(), e.extra.begin(), e.extra.end());
        text += packFields(fields) + "\n";
    }
    return sha256Hex(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

} // namespace

std::string SqliteCapcodeSequence::noneLeftMessage() const
{
    return listId_ ? "The list " + listFile_ + " has no capcode left." : capcodeLimitMessage(last_);
}

Status SqliteCapcodeSequence::adoptList(const LocalList& list)
{
    const std::lock_guard lock(mutex_);
    listFile_ = list.file;
    listExtraColumns_ = list.list.extraColumns;
    std::string error;
    auto failed = [this, &error](const std::string& what) -> Status {
        if (error.empty())
            error = lastError(db_);
        std::string ignored;
        exec(db_, "ROLLBACK", ignored);
        return Failure{"The production record " + what + ": " + error};
    };
    if (list.list.entries.empty())
        return Failure{"The list " + list.file + " holds no capcode; nothing was written.", true};
    const std::string digest = digestOf(list.list);
    if (!exec(db_, "BEGIN IMMEDIATE", error))
        return failed("could not be written");
    {
        Statement known(db_, "SELECT id FROM local_list WHERE digest = ?");
        if (known.ok() && known.text(1, digest).step() == SQLITE_ROW) {
            listId_ = known.column(0);
            return exec(db_, "COMMIT", error) ? Status{} : failed("could not be read");
        }
    }
    Statement kept(db_, "INSERT INTO local_list (file, digest, extra_columns, size, created_utc) VALUES (?, ?, ?, ?, ?)");
    if (!kept.ok() || kept.text(1, list.file)
                              .text(2, digest)
                              .text(3, packFields(list.list.extraColumns))
                              .integer(4, static_cast<std::int64_t>(list.list.entries.size()))
                              .text(5, isoUtc(std::chrono::system_clock::now()))
                              .step() != SQLITE_DONE)
        return failed("could not be written");
    listId_ = sqlite3_last_insert_rowid(db_);
    Statement entry(db_, "INSERT INTO local_list_capcode (list, position, capcode, customer, order_ref, label, extra)"
                         " VALUES (?, ?, ?, ?, ?, ?, ?)");
    for (std::size_t i = 0; entry.ok() && i < list.list.entries.size(); ++i) {
        const AllocationEntry& e = list.list.entries[i];
        sqlite3_reset(entry.handle());
        if (entry.integer(1, listId_)
                .integer(2, static_cast<std::int64_t>(i))
                .integer(3, static_cast<std::int64_t>(e.capcode))
                .text(4, e.customer)
                .text(5, e.order)
                .text(6, e.label)
                .text(7, packFields(e.extra))
                .step() != SQLITE_DONE) {
            listId_ = 0;
            return failed("could not be written");
        }
    }
    // A list new to this record may not name what the record holds already.
    std::vector<std::uint64_t> held;
    {
        Statement overlap(db_, "SELECT l.capcode FROM local_list_capcode l JOIN local_reservation r"
                               " ON r.capcode = l.capcode WHERE l.list = ? AND r.state <> 'returned'");
        overlap.integer(1, listId_);
        while (overlap.ok() && overlap.step() == SQLITE_ROW)
            held.push_back(static_cast<std::uint64_t>(overlap.column(0)));
    }
    if (!held.empty()) {
        listId_ = 0;
        std::string ignored;
        exec(db_, "ROLLBACK", ignored);
        return Failure{"The list " + list.file + " holds capcodes this station's record holds as used, uncertain or "
                           "held by a running run: " + describeCapcodes(held) +
                           ". They may be in pagers already; take them out of the list. Nothing was written.",
                       true};
    }
    if (!exec(db_, "COMMIT", error)) {
        listId_ = 0;
        return failed("could not be written");
    }
    return {};
}

std::optional<std::uint64_t> SqliteCapcodeSequence::lowestListed(std::string& error)
{
    // Given back first, then the first free one from the cursor on: every
    // capcode before the cursor was held, and only a given-back one comes free.
    std::optional<std::pair<std::int64_t, std::uint64_t>> best;
    {
        Statement returned(db_, "SELECT l.position, l.capcode FROM local_list_capcode l JOIN local_reservation r"
                                " ON r.capcode = l.capcode WHERE l.list = ? AND r.state = 'returned'"
                                " ORDER BY l.position LIMIT 1");
        if (!returned.ok()) {
            error = lastError(db_);
            return std::nullopt;
        }
        if (returned.integer(1, listId_).step() == SQLITE_ROW)
            best = std::pair{returned.column(0), static_cast<std::uint64_t>(returned.column(1))};
    }
    Statement fresh(db_, "SELECT l.position, l.capcode FROM local_list_capcode l WHERE l.list = ? AND l.position >= ?"
                         " AND NOT EXISTS (SELECT 1 FROM local_reservation r WHERE r.capcode = l.capcode)"
                         " ORDER BY l.position LIMIT 1");
    if (!fresh.ok()) {
        error = lastError(db_);
        return std::nullopt;
    }
    if (fresh.integer(1, listId_).integer(2, listCursor_).step() == SQLITE_ROW) {
        listCursor_ = fresh.column(0);
        if (!best || listCursor_ < best->first)
            best = std::pair{listCursor_, static_cast<std::uint64_t>(fresh.column(1))};
    }
    if (!best)
        return std::nullopt;
    return best->second;
}

ListColumns SqliteCapcodeSequence::listedLocked(std::uint64_t capcode)
{
    if (!listId_)
        return {};
    Statement columns(db_, "SELECT customer, order_ref, label, extra FROM local_list_capcode WHERE list = ?"
                           " AND capcode = ?");
    if (!columns.ok() ||
        columns.integer(1, listId_).integer(2, static_cast<std::int64_t>(capcode)).step() != SQLITE_ROW)
        return {listFile_, {}, {}, {}, {}};
    std::vector<std::string> extra = unpackFields(columns.columnText(3));
    extra.resize(listExtraColumns_.size());
    return {listFile_, columns.columnText(0), columns.columnText(1), columns.columnText(2),
            namedFields(listExtraColumns_, extra)};
}

Outcome<ListColumns> SqliteCapcodeSequence::listColumnsOf(std::uint64_t capcode)
{
    const std::lock_guard lock(mutex_);
    return listedLocked(capcode);
}

} // namespace px316t
