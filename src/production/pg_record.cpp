#include "production/pg_record.h"

#include "production/pg_schema.h"

namespace px316t {

Outcome<std::unique_ptr<PgRecordStore>> PgRecordStore::open(const std::string& conninfo)
{
    auto connection = PgConnection::open(conninfo);
    if (!connection.ok())
        return Failure{connection.message()};
    if (Status s = ensureProductionSchema(*connection.value()); !s.ok())
        return Failure{s.message()};
    return std::unique_ptr<PgRecordStore>(new PgRecordStore(std::move(connection.value())));
}

Status PgRecordStore::append(const RecordEntry& e)
{
    const std::lock_guard lock(mutex_);
    // The same id on every try: an entry whose commit's reply was lost is not
    // added a second time.
    const std::vector<std::string> params = {isoUtc(e.time), e.station, e.port, operationText(e.operation), e.batch,
                                             e.firstCapcode ? std::to_string(*e.firstCapcode) : std::string(),
                                             joinCapcodes(e.capcodes), std::to_string(e.frequencyHz),
                                             resultText(e.result), e.sha256, e.note,
                                             e.uid.empty() ? newEntryUid() : e.uid, e.source.operatorName,
                                             e.source.programVersion, e.source.tableFile, e.source.tableSha256,
                                             e.listed.list, e.listed.customer, e.listed.order, e.listed.label,
                                             e.listed.extra};
    Status last;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!connection_->reconnectIfBroken()) {
            last = Failure{"connection lost"};
            continue;
        }
        // A single statement is its own transaction.
        auto inserted = connection_->exec(
            "INSERT INTO px316t_record (time_utc, station, port, operation, batch, first_capcode, capcodes, "
            "frequency_hz, result, sha256, note, entry_uid, operator, program_version, table_file, table_sha256, "
            "list_file, customer, order_ref, label, list_extra) VALUES ($1::timestamptz, $2, $3, $4, $5, "
            "NULLIF($6, '')::bigint, $7, $8::bigint, $9, $10, $11, $12, $13, $14, $15, $16, $17, $18, $19, $20, $21)"
            " ON CONFLICT (entry_uid) DO NOTHING",
            params);
        if (inserted.ok())
            return {};
        last = Failure{inserted.message()};
    }
    return Failure{databaseFailure("did not take the record entry", last.message())};
}

Outcome<std::vector<RecordEntry>> PgRecordStore::list(std::optional<SystemTime> since)
{
    const std::lock_guard lock(mutex_);
    auto rows = connection_->exec(
        "SELECT id, to_char(time_utc AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), station, port, "
        "operation, batch, first_capcode, capcodes, frequency_hz, result, sha256, note, operator, program_version, "
        "table_file, table_sha256, list_file, customer, order_ref, label, list_extra FROM px316t_record "
        "WHERE time_utc >= COALESCE(NULLIF($1, '')::timestamptz, '-infinity') ORDER BY id",
        {since ? isoUtc(*since) : std::string()});
    if (!rows.ok())
        return Failure{databaseFailure("could not be read", rows.message())};
    std::vector<RecordEntry> entries;
    const PgRows& r = rows.value();
    for (int i = 0; i < r.count(); ++i) {
        RecordEntry e;
        e.id = r.integer(i, 0);
        e.time = parseUtc(r.text(i, 1)).value_or(SystemTime{});
        e.station = r.text(i, 2);
        e.port = r.text(i, 3);
        e.operation = operationFromText(r.text(i, 4)).value_or(RecordOperation::Write);
        e.batch = r.text(i, 5);
        if (!r.isNull(i, 6))
            e.firstCapcode = r.integer(i, 6);
        e.capcodes = splitCapcodes(r.text(i, 7));
        e.frequencyHz = r.integer(i, 8);
        e.result = resultFromText(r.text(i, 9)).value_or(RecordResult::LinkLost);
        e.sha256 = r.text(i, 10);
        e.note = r.text(i, 11);
        e.source = {r.text(i, 12), r.text(i, 13), r.text(i, 14), r.text(i, 15)};
        e.listed = {r.text(i, 16), r.text(i, 17), r.text(i, 18), r.text(i, 19), r.text(i, 20)};
        entries.push_back(std::move(e));
    }
    return entries;
}

} // namespace px316t
