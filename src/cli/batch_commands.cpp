// px316t-cli batch: the batches of the shared production database. A batch is
// created explicitly, so that a mistyped name in `produce --batch` is refused
// instead of starting a second sequence over the same capcodes.
#include "cli/paper.h"

#include "editor/capcode_codec.h"
#include "editor/flex_address.h"
#include "production/allocation_list.h"
#include "production/pg_connection.h"
#include "production/pg_production.h"
#include "production/production_record.h"
#include "production/station_recovery.h"
#include "table/path_text.h"

#include <QStringList>

#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace px316t::cli {

// batch export (batch_export_command.cpp).
int cmdBatchExport(PgConnection& db, const std::string& name);

namespace {

int usage(const std::string& problem)
{
    say("px316t-cli batch: " + problem);
    say("Try 'px316t-cli batch --help'.");
    return Usage;
}

struct BatchArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;   // a flag has an empty value
    std::optional<std::string> error;
    bool has(const char* option) const { return options.count(option) != 0; }
};

BatchArgs parse(const QStringList& list)
{
    static const QStringList valued = {"--first", "--last", "--capcodes", "--station", "--production-db", "--operator",
                                       "-o"};
    static const QStringList flags = {"--allow-special-addresses", "--csv", "--json", "--watch"};
    BatchArgs a;
    for (int i = 0; i < list.size(); ++i) {
        if (flags.contains(list[i])) {
            a.options[list[i].toStdString()];
        } else if (valued.contains(list[i])) {
            if (i + 1 >= list.size()) {
                a.error = list[i].toStdString() + " needs a value";
                return a;
            }
            a.options[list[i].toStdString()] = list[i + 1].toStdString();
            ++i;
        } else if (list[i].startsWith(QLatin1String("-"))) {
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

// A batch from a carrier's list: every bad line is named and nothing is created.
int createFromList(PgConnection& db, const BatchArgs& a)
{
    if (a.has("--first") || a.has("--last"))
        return usage("--capcodes and --first/--last exclude each other: a batch is a list or a range");
    const std::string name = a.options.at("--capcodes");
    const std::filesystem::path file = pathFromUtf8(name);
    const std::string fileName = utf8FromPath(file.filename());
    AllocationListOptions options;
    options.allowSpecialAddresses = a.has("--allow-special-addresses");
    const AllocationListResult read = readAllocationList(file, name, options);
    for (const std::string& error : read.errors)
        say(error);
    if (!read.ok()) {
        say("Nothing was created.");
        return Usage;
    }
    const Status created = createListBatch(db, a.positional[1], read.list, fileName);
    if (!created.ok()) {
        say(created.message());
        return created.refused() ? Usage : Failed;
    }
    std::printf("Batch %s: list %s, %zu capcodes, first %llu\n", a.positional[1].c_str(),
                fileName.c_str(), read.list.entries.size(),
                static_cast<unsigned long long>(read.list.entries.front().capcode));
    return Ok;
}

int create(PgConnection& db, const BatchArgs& a)
{
    if (a.positional.size() != 2)
        return usage("create needs a batch name");
    if (a.has("--capcodes"))
        return createFromList(db, a);
    const auto firstIt = a.options.find("--first");
    if (firstIt == a.options.end())
        return usage("create needs --first N or --capcodes FILE.csv");
    const auto first = capcodeArgument(firstIt->second);
    if (!first)
        return usage("--first needs a capcode (1 to 2031614, or 2101249 to 4291000000), not " + firstIt->second);
    const bool special = a.has("--allow-special-addresses");
    // Without --last a short range ends where FLEX's own addresses begin,
    // unless they are allowed (or it starts among them, which is refused).
    std::uint64_t last = LongCapcodeLimit;
    if (*first < ShortCapcodeLimit)
        last = special || *first >= FlexSpecialFirst ? ShortCapcodeLimit - 1 : FlexSpecialFirst - 1;
    if (const auto lastIt = a.options.find("--last"); lastIt != a.options.end()) {
        const auto given = capcodeArgument(lastIt->second);
        if (!given)
            return usage("--last needs a capcode, not " + lastIt->second);
        // A run never steps from short capcodes into the reserved gap above them.
        if ((*first < ShortCapcodeLimit) != (*given < ShortCapcodeLimit))
            return usage("--first and --last must both be short (up to 2031614) or both long capcodes");
        last = *given;
    }
    const Status created = createBatch(db, BatchSpec{a.positional[1], *first, last, special});
    if (!created.ok()) {
        say(created.message());
        return created.refused() ? Usage : Failed;
    }
    std::printf("Batch %s: capcodes %llu..%llu\n", a.positional[1].c_str(), static_cast<unsigned long long>(*first),
                static_cast<unsigned long long>(last));
    return Ok;
}

// "1500005 (ACME), 1500009": the next capcodes with their customers.
std::string comingText(const std::vector<ComingCapcode>& coming)
{
    std::string text;
    for (const ComingCapcode& c : coming)
        text += (text.empty() ? "" : ", ") + std::to_string(c.capcode) +
                (c.customer.empty() ? std::string() : " (" + c.customer + ")");
    return text;
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
        const std::string next = b.coming.empty() ? "none" : std::to_string(b.coming.front().capcode);
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
    std::printf("batch %s\n", b.batch.name.c_str());
    if (b.batch.isList())
        std::printf("list %s (%llu capcodes)\n", b.batch.listFile.c_str(),
                    static_cast<unsigned long long>(b.batch.listSize));
    else
        std::printf("range %llu..%llu\n", static_cast<unsigned long long>(b.batch.first),
                    static_cast<unsigned long long>(b.batch.last));
    std::printf("left %lld\n", b.left);
    // A list's next ones with their customers; a range's next one.
    const std::vector<ComingCapcode> next =
        b.batch.isList() || b.coming.empty() ? b.coming : std::vector<ComingCapcode>{b.coming.front()};
    std::printf("next %s\n", next.empty() ? "none (exhausted)" : comingText(next).c_str());
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
        return usage("expected create, list, show, release, export, report or stats");
    const std::string& what = a.positional[0];
    if (what != "create" && what != "list" && what != "show" && what != "release" && what != "export" &&
        what != "report" && what != "stats")
        return usage("unknown batch command " + what);
    std::string conninfo = productionDatabaseFromEnvironment();
    if (const auto it = a.options.find("--production-db"); it != a.options.end())
        conninfo = it->second;
    if (conninfo.empty())
        return usage("batches live in the shared production database: give --production-db CONNINFO or set "
                     "PX316T_PRODUCTION_DB");
    if (what == "report" || what == "stats") {
        if (a.positional.size() != 2)
            return usage(what + " needs a batch name");
        const BatchPaperRequest request{conninfo,          a.positional[1],  a.has("-o") ? a.options.at("-o") : "",
                                        a.has("--csv"),    a.has("--json"), a.has("--watch")};
        return what == "report" ? cmdBatchReport(request) : cmdBatchStats(request);
    }
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
    if (what == "export") {
        if (a.positional.size() != 2)
            return usage("export needs a batch name");
        return cmdBatchExport(db, a.positional[1]);
    }
    return release(db, a);
}

} // namespace px316t::cli
