// px316t-cli batch: the batches of the shared production database. A batch is
// created explicitly, so that a mistyped name in `produce --batch` is refused
// instead of starting a second sequence over the same capcodes.
#include "editor/capcode_codec.h"
#include "production/pg_connection.h"
#include "production/pg_production.h"
#include "production/production_record.h"
#include "production/station_recovery.h"

#include <QStringList>

#include <cstdio>
#include <map>
#include <optional>
#include <string>

namespace px316t::cli {

namespace {

enum Exit { Ok = 0, Failed = 1, Usage = 2 };

void say(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

int usage(const std::string& problem)
{
    say("px316t-cli batch: " + problem);
    say("Try 'px316t-cli batch --help'.");
    return Usage;
}

struct BatchArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    std::optional<std::string> error;
};

BatchArgs parse(const QStringList& list)
{
    static const QStringList valued = {"--first", "--last", "--station", "--production-db"};
    BatchArgs a;
    for (int i = 0; i < list.size(); ++i) {
        if (valued.contains(list[i])) {
            if (i + 1 >= list.size()) {
                a.error = list[i].toStdString() + " needs a value";
                return a;
            }
            a.options[list[i].toStdString()] = list[i + 1].toStdString();
            ++i;
        } else if (list[i].startsWith(QLatin1String("--"))) {
            a.error = "unknown option " + list[i].toStdString();
            return a;
        } else {
            a.positional.push_back(list[i].toStdString());
        }
    }
    return a;
}

std::optional<std::uint64_t> capcodeArgument(const std::string& text)
{
    std::size_t used = 0;
    unsigned long long value = 0;
    try {
        value = std::stoull(text, &used);
    } catch (...) {
        return std::nullopt;
    }
    if (used != text.size() || text.empty() || text[0] == '-' || text[0] == '+')
        return std::nullopt;
    const bool shortCapcode = value >= 1 && value < ShortCapcodeLimit;
    const bool longCapcode = value > 2101248 && value <= LongCapcodeLimit;
    if (!shortCapcode && !longCapcode)
        return std::nullopt;
    return value;
}

std::string stateColumn(const ReservationRow& r)
{
    std::string line = std::to_string(r.capcode) + "  " + reservationStateText(r.state) + "  " + r.station;
    if (!r.port.empty())
        line += "  " + r.port;
    line += "  " + r.since;
    if (!r.reason.empty())
        line += "  " + r.reason;
    return line;
}

int create(PgConnection& db, const BatchArgs& a)
{
    if (a.positional.size() != 2)
        return usage("create needs a batch name");
    const auto firstIt = a.options.find("--first");
    if (firstIt == a.options.end())
        return usage("create needs --first N");
    const auto first = capcodeArgument(firstIt->second);
    if (!first)
        return usage("--first needs a capcode (1 to 2031614, or 2101249 to 4291000000), not " + firstIt->second);
    std::uint64_t last = *first < ShortCapcodeLimit ? ShortCapcodeLimit - 1 : LongCapcodeLimit;
    if (const auto lastIt = a.options.find("--last"); lastIt != a.options.end()) {
        const auto given = capcodeArgument(lastIt->second);
        if (!given)
            return usage("--last needs a capcode, not " + lastIt->second);
        // A run never steps from short capcodes into the reserved gap above them.
        if ((*first < ShortCapcodeLimit) != (*given < ShortCapcodeLimit))
            return usage("--first and --last must both be short (up to 2031614) or both long capcodes");
        last = *given;
    }
    const Status created = createBatch(db, BatchSpec{a.positional[1], *first, last});
    if (!created.ok()) {
        say(created.message());
        return created.refused() ? Usage : Failed;
    }
    std::printf("Batch %s: capcodes %llu..%llu\n", a.positional[1].c_str(), static_cast<unsigned long long>(*first),
                static_cast<unsigned long long>(last));
    return Ok;
}

int list(PgConnection& db)
{
    auto batches = listBatches(db);
    if (!batches.ok()) {
        say(batches.message());
        return Failed;
    }
    std::printf("%-20s %10s %10s %10s %6s %9s %8s %6s\n", "batch", "first", "last", "next", "used", "uncertain",
                "returned", "open");
    for (const BatchSummary& b : batches.value()) {
        const std::string next = b.batch.next > b.batch.last ? "none" : std::to_string(b.batch.next);
        std::printf("%-20s %10llu %10llu %10s %6lld %9lld %8lld %6lld\n", b.batch.name.c_str(),
                    static_cast<unsigned long long>(b.batch.first), static_cast<unsigned long long>(b.batch.last),
                    next.c_str(), b.used, b.uncertain, b.returned, b.open);
    }
    return Ok;
}

int show(PgConnection& db, const BatchArgs& a)
{
    if (a.positional.size() != 2)
        return usage("show needs a batch name");
    auto described = describeBatch(db, a.positional[1]);
    if (!described.ok()) {
        say(described.message());
        return described.refused() ? Usage : Failed;
    }
    const BatchSummary& b = described.value();
    std::printf("batch %s\nrange %llu..%llu\n", b.batch.name.c_str(), static_cast<unsigned long long>(b.batch.first),
                static_cast<unsigned long long>(b.batch.last));
    std::printf("next %s\n", b.batch.next > b.batch.last ? "none (exhausted)" : std::to_string(b.batch.next).c_str());
    std::printf("used %lld\nuncertain %lld\nreturned %lld\nreserved or writing %lld\n", b.used, b.uncertain,
                b.returned, b.open);
    for (const ReservationRow& r : b.notUsed)
        std::printf("  %s\n", stateColumn(r).c_str());
    return Ok;
}

int release(PgConnection& db, const BatchArgs& a)
{
    if (a.positional.size() != 2)
        return usage("release needs a batch name");
    const auto stationIt = a.options.find("--station");
    if (stationIt == a.options.end() || stationIt->second.empty())
        return usage("release needs --station S");
    auto released = releaseStation(db, a.positional[1], stationIt->second);
    if (!released.ok()) {
        say(released.message());
        return released.refused() ? Usage : Failed;
    }
    // The shared record holds an entry for each, written with its change.
    for (const RecoveredReservation& r : released.value().reservations)
        say(recoveredNotice(r));
    if (released.value().sessionsEnded > 0)
        say("The database session of station " + stationIt->second +
            " was ended; it can be started again under its name now.");
    if (released.value().reservations.empty())
        say("Station " + stationIt->second + " holds no capcode of batch " + a.positional[1] + ".");
    return Ok;
}

} // namespace

int cmdBatch(const QStringList& args)
{
    const BatchArgs a = parse(args);
    if (a.error)
        return usage(*a.error);
    if (a.positional.empty())
        return usage("expected create, list, show or release");
    const std::string& what = a.positional[0];
    if (what != "create" && what != "list" && what != "show" && what != "release")
        return usage("unknown batch command " + what);
    std::string conninfo = productionDatabaseFromEnvironment();
    if (const auto it = a.options.find("--production-db"); it != a.options.end())
        conninfo = it->second;
    if (conninfo.empty())
        return usage("batches live in the shared production database: give --production-db CONNINFO or set "
                     "PX316T_PRODUCTION_DB");
    auto connection = PgConnection::open(conninfo);
    if (!connection.ok()) {
        say(connection.message());
        return Failed;
    }
    PgConnection& db = *connection.value();
    if (what == "create")
        return create(db, a);
    if (what == "list")
        return list(db);
    if (what == "show")
        return show(db, a);
    return release(db, a);
}

} // namespace px316t::cli
