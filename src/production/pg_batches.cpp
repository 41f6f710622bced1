#include "production/pg_batches.h"

#include "production/pg_schema.h"

#include <cstdint>

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
    auto rows = db.exec("SELECT first_capcode, last_capcode, next_capcode FROM px316t_batch WHERE name = $1", {name});
    if (!rows.ok())
        return Failure{databaseFailure("could not be read", rows.message())};
    if (rows.value().count() == 0)
        return std::optional<BatchState>();
    BatchState b;
    b.name = name;
    b.first = static_cast<std::uint64_t>(rows.value().integer(0, 0));
    b.last = static_cast<std::uint64_t>(rows.value().integer(0, 1));
    b.next = static_cast<std::uint64_t>(rows.value().integer(0, 2));
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
                       ". Create it with: px316t-cli batch create NAME --first N [--last M]",
                   true};
}

Status createBatch(PgConnection& db, const BatchSpec& wanted)
{
    if (wanted.name.empty() || hasOuterSpace(wanted.name))
        return Failure{"A batch name must not be empty nor begin or end with a space.", true};
    for (unsigned char c : wanted.name)
        if (c < 0x20 || c == 0x7F)
            return Failure{"A batch name must not hold control characters.", true};
    if (wanted.first > wanted.last)
        return Failure{"The batch's first capcode " + std::to_string(wanted.first) + " is above its last " +
                           std::to_string(wanted.last) + ".",
                       true};
    if (Status s = ensureProductionSchema(db); !s.ok())
        return s;
    auto fail = [&db](const std::string& message, bool refused) -> Status {
        db.rollback();
        return Failure{message, refused};
    };
    if (Status s = db.run("BEGIN"); !s.ok())
        return Failure{databaseFailure("could not be written", s.message())};
    if (auto lock = db.exec(std::string("SELECT pg_advisory_xact_lock(") + kSchemaLockKey + ")"); !lock.ok())
        return fail(databaseFailure("could not be written", lock.message()), false);
    // Case is compared by the server (it knows every script's); spaces here.
    auto names = db.exec("SELECT name, lower(name), lower($1) FROM px316t_batch", {wanted.name});
    if (!names.ok())
        return fail(databaseFailure("could not be read", names.message()), false);
    for (int i = 0; i < names.value().count(); ++i) {
        const std::string existing = names.value().text(i, 0);
        if (existing == wanted.name)
            return fail("The batch \"" + wanted.name + "\" exists already.", true);
        if (withoutSpaces(names.value().text(i, 1)) == withoutSpaces(names.value().text(i, 2)))
            return fail("The batch \"" + wanted.name + "\" would differ from the batch \"" + existing +
                            "\" only in case or spaces; choose another name.",
                        true);
    }
    const std::string first = std::to_string(wanted.first);
    const std::string last = std::to_string(wanted.last);
    // Capcodes of any batch may be in pagers already: ranges never overlap.
    auto overlapping = db.exec("SELECT name, first_capcode, last_capcode FROM px316t_batch "
                               "WHERE first_capcode <= $2::bigint AND last_capcode >= $1::bigint ORDER BY first_capcode",
                               {first, last});
    if (!overlapping.ok())
        return fail(databaseFailure("could not be read", overlapping.message()), false);
    if (overlapping.value().count() > 0)
        return fail("The range " + first + ".." + last + " overlaps the batch \"" + overlapping.value().text(0, 0) +
                        "\" (" + overlapping.value().text(0, 1) + ".." + overlapping.value().text(0, 2) + ").",
                    true);
    auto inserted = db.exec("INSERT INTO px316t_batch (name, first_capcode, last_capcode, next_capcode) "
                            "VALUES ($1, $2::bigint, $3::bigint, $2::bigint)",
                            {wanted.name, first, last});
    if (!inserted.ok())
        return fail(databaseFailure("refused the batch " + wanted.name, inserted.message()), false);
    if (Status s = db.run("COMMIT"); !s.ok())
        return fail(databaseFailure("could not be written", s.message()), false);
    return {};
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
