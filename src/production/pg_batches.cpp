#include "production/pg_batches.h"

#include "editor/flex_address.h"
#include "production/allocation_list.h"
#include "production/entry_origin.h"
#include "production/pg_schema.h"

#include <cstdint>
#include <map>

namespace px316t {

namespace {

// The next character of UTF-8 `text` at `at` (moving `at` past it); a byte
// that begins no valid character stands for itself.
char32_t nextCharacter(const std::string& text, std::size_t& at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    const int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length <= 1 || at + length > text.size()) {
        ++at;
        return lead;
    }
    char32_t c = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            ++at;
            return lead;
        }
        c = c << 6 | (byte(at + i) & 0x3F);
    }
    at += length;
    return c;
}

// Every character that shows as a space, or as nothing at all.
bool isSpace(char32_t c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200B) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x2060 || c == 0x3000 || c == 0xFEFF;
}

} // namespace

std::string withoutSpaces(const std::string& name)
{
    std::string kept;
    for (std::size_t at = 0; at < name.size();) {
        const std::size_t from = at;
        if (!isSpace(nextCharacter(name, at)))
            kept.append(name, from, at - from);
    }
    return kept;
}

bool hasOuterSpace(const std::string& name)
{
    if (name.empty())
        return false;
    std::size_t at = 0;
    if (isSpace(nextCharacter(name, at)))
        return true;
    // The last character: step back over continuation bytes to its lead byte.
    std::size_t last = name.size() - 1;
    while (last > 0 && name.size() - last < 4 && (static_cast<unsigned char>(name[last]) & 0xC0) == 0x80)
        --last;
    return isSpace(nextCharacter(name, last));
}

Outcome<std::optional<BatchState>> findBatch(PgConnection& db, const std::string& name)
{
    auto rows = db.exec("SELECT first_capcode, last_capcode, next_capcode, COALESCE(list_file, ''),"
                        " COALESCE(list_size, 0), next_position, extra_columns FROM px316t_batch WHERE name = $1",
                        {name});
    if (!rows.ok())
        return Failure{databaseFailure("could not be read", rows.message())};
    if (rows.value().count() == 0)
        return std::optional<BatchState>();
    const PgRows& r = rows.value();
    BatchState b;
    b.name = name;
    b.first = static_cast<std::uint64_t>(r.integer(0, 0));
    b.last = static_cast<std::uint64_t>(r.integer(0, 1));
    b.next = static_cast<std::uint64_t>(r.integer(0, 2));
    b.listFile = r.text(0, 3);
    b.listSize = static_cast<std::uint64_t>(r.integer(0, 4));
    b.nextPosition = static_cast<std::uint64_t>(r.integer(0, 5));
    if (!r.text(0, 6).empty())
        b.extraColumns = unpackFields(r.text(0, 6));
    return std::optional<BatchState>(b);
}

Failure unknownBatch(PgConnection& db, const std::string& name)
{
    std::string known;
    if (auto rows = db.exec("SELECT name FROM px316t_batch ORDER BY created_utc DESC LIMIT 20"); rows.ok())
        for (int i = 0; i < rows.value().count(); ++i)
            known += (known.empty() ? "" : ", ") + ("\"" + rows.value().text(i, 0) + "\"");
    return Failure{"There is no batch \"" + name + "\" in the production database" +
                       (known.empty() ? std::string(" (it holds none)") : " (batches: " + known + ")") +
                       ". Create it with: px316t-cli batch create NAME --first N [--last M] "
                       "(or --capcodes FILE.csv)",
                   true};
}

Status beginCreatingBatch(PgConnection& db, const std::string& name)
{
    if (name.empty() || hasOuterSpace(name))
        return Failure{"A batch name must not be empty nor begin or end with a space.", true};
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F)
            return Failure{"A batch name must not hold control characters.", true};
    if (Status s = ensureProductionSchema(db); !s.ok())
        return s;
    if (Status s = db.run("BEGIN"); !s.ok())
        return Failure{databaseFailure("could not be written", s.message())};
    auto refuse = [&db](const std::string& message, bool refused) -> Status {
        db.rollback();
        return Failure{message, refused};
    };
    if (auto lock = db.exec(std::string("SELECT pg_advisory_xact_lock(") + kSchemaLockKey + ")"); !lock.ok())
        return refuse(databaseFailure("could not be written", lock.message()), false);
    // Case is compared by the server (it knows every script's); spaces here.
    auto names = db.exec("SELECT name, lower(name), lower($1) FROM px316t_batch", {name});
    if (!names.ok())
        return refuse(databaseFailure("could not be read", names.message()), false);
    for (int i = 0; i < names.value().count(); ++i) {
        const std::string existing = names.value().text(i, 0);
        if (existing == name)
            return refuse("The batch \"" + name + "\" exists already.", true);
        if (withoutSpaces(names.value().text(i, 1)) == withoutSpaces(names.value().text(i, 2)))
            return refuse("The batch \"" + name + "\" would differ from the batch \"" + existing +
                              "\" only in case or spaces; choose another name.",
                          true);
    }
    return {};
}

Status finishCreatingBatch(PgConnection& db, Status made)
{
    if (made.ok())
        if (Status s = db.run("COMMIT"); !s.ok())
            made = Failure{databaseFailure("could not be written", s.message())};
    if (!made.ok())
        db.rollback();
    return made;
}

std::string overlapsByBatch(const PgRows& rows)
{
    std::map<std::string, std::vector<std::uint64_t>> byBatch;
    for (int i = 0; i < rows.count(); ++i)
        byBatch[rows.text(i, 0)].push_back(static_cast<std::uint64_t>(rows.integer(i, 1)));
    std::string text;
    for (const auto& [batch, capcodes] : byBatch)
        text += (text.empty() ? "" : " and ") + ("the batch \"" + batch + "\" in capcodes " + describeCapcodes(capcodes));
    return text;
}

namespace {

Status createRange(PgConnection& db, const BatchSpec& wanted)
{
    const std::string first = std::to_string(wanted.first);
    const std::string last = std::to_string(wanted.last);
    // Capcodes of any batch may be in pagers already: ranges never overlap.
    auto overlapping = db.exec("SELECT name, first_capcode, last_capcode FROM px316t_batch WHERE list_file IS NULL"
                               " AND first_capcode <= $2::bigint AND last_capcode >= $1::bigint ORDER BY first_capcode",
                               {first, last});
    if (!overlapping.ok())
        return Failure{databaseFailure("could not be read", overlapping.message())};
    if (overlapping.value().count() > 0)
        return Failure{"The range " + first + ".." + last + " overlaps the batch \"" + overlapping.value().text(0, 0) +
                           "\" (" + overlapping.value().text(0, 1) + ".." + overlapping.value().text(0, 2) + ").",
                       true};
    // A list batch holds only its own capcodes: a range may lie in its gaps.
    auto listed = db.exec("SELECT batch, capcode FROM px316t_batch_capcode"
                          " WHERE capcode BETWEEN $1::bigint AND $2::bigint ORDER BY capcode",
                          {first, last});
    if (!listed.ok())
        return Failure{databaseFailure("could not be read", listed.message())};
    if (listed.value().count() > 0)
        return Failure{"The range " + first + ".." + last + " overlaps " + overlapsByBatch(listed.value()) + ".", true};
    auto inserted = db.exec("INSERT INTO px316t_batch (name, first_capcode, last_capcode, next_capcode) "
                            "VALUES ($1, $2::bigint, $3::bigint, $2::bigint)",
                            {wanted.name, first, last});
    if (!inserted.ok())
        return Failure{databaseFailure("refused the batch " + wanted.name, inserted.message())};
    return {};
}

} // namespace

Status createBatch(PgConnection& db, const BatchSpec& wanted)
{
    if (wanted.first > wanted.last)
        return Failure{"The batch's first capcode " + std::to_string(wanted.first) + " is above its last " +
                           std::to_string(wanted.last) + ".",
                       true};
    if (!wanted.allowSpecialAddresses && wanted.last >= FlexSpecialFirst && wanted.first <= FlexSpecialLast)
        return Failure{"The range " + std::to_string(wanted.first) + ".." + std::to_string(wanted.last) +
                           " reaches into the addresses FLEX keeps for itself (" + std::to_string(FlexSpecialFirst) +
                           " to " + std::to_string(FlexSpecialLast) +
                           "): a pager given one may never ring for its own pages. --allow-special-addresses "
                           "takes them.",
                       true};
    if (Status s = beginCreatingBatch(db, wanted.name); !s.ok())
        return s;
    return finishCreatingBatch(db, createRange(db, wanted));
}

Outcome<std::vector<ComingCapcode>> comingCapcodes(PgConnection& db, const BatchState& batch, int count)
{
    // Given back first (in list order, or by capcode for a range), then new ones.
    const std::string sql =
        batch.isList()
            ? "(SELECT l.capcode, l.customer, 0, l.position FROM px316t_reservation r JOIN px316t_batch_capcode l"
              " ON l.batch = r.batch AND l.capcode = r.capcode WHERE r.batch = $1 AND r.state = 'returned')"
              " UNION ALL (SELECT capcode, customer, 1, position FROM px316t_batch_capcode WHERE batch = $1"
              " AND position >= $3::bigint ORDER BY position LIMIT $2::int) ORDER BY 3, 4 LIMIT $2::int"
            : "(SELECT capcode, '', 0, capcode FROM px316t_reservation WHERE batch = $1 AND state = 'returned')"
              " UNION ALL (SELECT c, '', 1, c FROM generate_series($3::bigint, LEAST($4::bigint, $3::bigint + $2::int"
              " - 1)) c) ORDER BY 3, 4 LIMIT $2::int";
    std::vector<std::string> params = {batch.name, std::to_string(count),
                                       std::to_string(batch.isList() ? batch.nextPosition : batch.next)};
    if (!batch.isList())
        params.push_back(std::to_string(batch.last));
    auto rows = db.exec(sql, params);
    if (!rows.ok())
        return Failure{databaseFailure("could not be read", rows.message())};
    std::vector<ComingCapcode> coming;
    for (int i = 0; i < rows.value().count(); ++i)
        coming.push_back({static_cast<std::uint64_t>(rows.value().integer(i, 0)), rows.value().text(i, 1)});
    return coming;
}

namespace {

Outcome<BatchSummary> summarize(PgConnection& db, const BatchState& batch, bool withRows)
{
    BatchSummary summary;
    summary.batch = batch;
    auto counts = db.exec("SELECT count(*) FILTER (WHERE state = 'used'), count(*) FILTER (WHERE state = 'uncertain'),"
                          " count(*) FILTER (WHERE state = 'returned'),"
                          " count(*) FILTER (WHERE state IN ('reserved', 'writing'))"
                          " FROM px316t_reservation WHERE batch = $1",
                          {batch.name});
    if (!counts.ok())
        return Failure{databaseFailure("could not be read", counts.message())};
    summary.used = counts.value().integer(0, 0);
    summary.uncertain = counts.value().integer(0, 1);
    summary.returned = counts.value().integer(0, 2);
    summary.open = counts.value().integer(0, 3);
    const auto neverHandedOut = batch.isList() ? static_cast<long long>(batch.listSize - batch.nextPosition)
                                : batch.next > batch.last ? 0
                                                          : static_cast<long long>(batch.last - batch.next + 1);
    summary.left = neverHandedOut + summary.returned;
    auto coming = comingCapcodes(db, batch, withRows ? 5 : 1);
    if (!coming.ok())
        return coming.failure();
    summary.coming = std::move(coming.value());
    if (!withRows)
        return summary;
    auto rows = db.exec("SELECT capcode, state, station, COALESCE(instance, 0), port, reason,"
                        " to_char(COALESCE(finished_utc, reserved_utc) AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"')"
                        " FROM px316t_reservation WHERE batch = $1 AND state <> 'used' ORDER BY capcode",
                        {batch.name});
    if (!rows.ok())
        return Failure{databaseFailure("could not be read", rows.message())};
    for (int i = 0; i < rows.value().count(); ++i) {
        ReservationRow r;
        r.capcode = static_cast<std::uint64_t>(rows.value().integer(i, 0));
        r.state = reservationStateFromText(rows.value().text(i, 1)).value_or(ReservationState::Uncertain);
        r.station = rows.value().text(i, 2);
        r.instance = rows.value().integer(i, 3);
        r.port = rows.value().text(i, 4);
        r.reason = rows.value().text(i, 5);
        r.since = rows.value().text(i, 6);
        summary.notUsed.push_back(std::move(r));
    }
    return summary;
}

} // namespace

Outcome<std::vector<BatchSummary>> listBatches(PgConnection& db)
{
    if (Status s = ensureProductionSchema(db); !s.ok())
        return Failure{s.message()};
    auto names = db.exec("SELECT name FROM px316t_batch ORDER BY created_utc, name");
    if (!names.ok())
        return Failure{databaseFailure("could not be read", names.message())};
    std::vector<BatchSummary> out;
    for (int i = 0; i < names.value().count(); ++i) {
        auto batch = findBatch(db, names.value().text(i, 0));
        if (!batch.ok())
            return Failure{batch.message()};
        if (!batch.value())
            continue;
        auto summary = summarize(db, *batch.value(), false);
        if (!summary.ok())
            return Failure{summary.message()};
        out.push_back(std::move(summary.value()));
    }
    return out;
}

Outcome<BatchSummary> describeBatch(PgConnection& db, const std::string& name)
{
    if (Status s = ensureProductionSchema(db); !s.ok())
        return Failure{s.message()};
    auto batch = findBatch(db, name);
    if (!batch.ok())
        return Failure{batch.message()};
    if (!batch.value())
        return unknownBatch(db, name);
    return summarize(db, *batch.value(), true);
}

} // namespace px316t
