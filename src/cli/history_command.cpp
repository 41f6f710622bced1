// px316t-cli history: the production record, this station's or the shared one.
#include "cli/commands.h"
#include "cli/production_data.h"
#include "production/pg_production.h"
#include "production/production_record.h"
#include "production/sqlite_record_store.h"
#include "production/utc_time.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace px316t::cli {

int cmdHistory(const Args& a)
{
    if (!a.positional.isEmpty())
        return usage("history", QStringLiteral("takes no file"));
    std::optional<SystemTime> since;
    if (const auto it = a.options.find(QStringLiteral("--since")); it != a.options.end()) {
        since = parseUtc(it->second.trimmed().toStdString());
        if (!since)
            return usage("history", QStringLiteral("--since needs a UTC date such as 2026-12-07 or 2026-12-07T14:30, not ")
                                        + it->second);
    }
    Outcome<std::vector<RecordEntry>> entries = std::vector<RecordEntry>{};
    if (a.options.count(QStringLiteral("--shared"))) {
        const ProductionOptions options = productionOptions(a);
        if (options.databaseConninfo.empty())
            return usage("history", QStringLiteral("--shared needs --production-db or PX316T_PRODUCTION_DB"));
        auto shared = PgRecordStore::open(options.databaseConninfo);
        if (!shared.ok()) {
            say(shared.message());
            return Failed;
        }
        entries = shared.value()->list(since);
    } else {
        std::string notice;
        auto local = SqliteRecordStore::open(SqliteRecordStore::defaultPath(), &notice);
        if (!notice.empty())
            say(notice);
        if (!local.ok()) {
            say(local.message());
            return Failed;
        }
        entries = local.value()->list(since);
    }
    if (!entries.ok()) {
        say(entries.message());
        return Failed;
    }
    const std::string text = a.options.count(QStringLiteral("--csv")) ? formatRecordCsv(entries.value())
                                                                       : formatRecordTable(entries.value());
    std::fputs(text.c_str(), stdout);
    return Ok;
}

} // namespace px316t::cli
