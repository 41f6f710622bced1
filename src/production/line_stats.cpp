#include "production/line_stats.h"

#include "production/pg_record.h"
#include "production/sqlite_record_store.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

namespace px316t {

namespace {

bool isFailure(RecordResult r)
{
    return r == RecordResult::VerifyError || r == RecordResult::LinkLost || r == RecordResult::TimeOut ||
           r == RecordResult::BadReply;
}

} // namespace

LineFigures computeLineFigures(const std::vector<RecordEntry>& entries, SystemTime now,
                               const LineFigureOptions& options)
{
    LineFigures figures;
    figures.bucket = options.bucket;
    const auto bucketCount = static_cast<std::size_t>(
        std::max<long long>(1, (std::chrono::duration_cast<std::chrono::minutes>(options.span) + options.bucket -
                                std::chrono::minutes(1)) / options.bucket));
    figures.from = now - options.bucket * static_cast<long long>(bucketCount);
    const SystemTime currentFrom = now - options.currentWindow;

    std::map<std::string, StationFigures> stations;
    std::map<std::string, std::set<std::string>> currentPorts;
    std::set<std::pair<std::string, std::string>> allCurrentPorts;
    const auto blank = [&](const std::string& name) {
        StationFigures s;
        s.station = name;
        s.pagers.assign(bucketCount, 0);
        s.failures.assign(bucketCount, 0);
        s.uncertain.assign(bucketCount, 0);
        return s;
    };
    figures.line = blank("");
    for (const RecordEntry& e : entries) {
        if (e.operation != RecordOperation::Write || e.time < figures.from || e.time > now)
            continue;
        const bool pager = e.result == RecordResult::Success;
        const bool failure = isFailure(e.result);
        const bool uncertain = e.result == RecordResult::Uncertain;
        if (!pager && !failure && !uncertain)
            continue;
        auto& s = stations.try_emplace(e.station, blank(e.station)).first->second;
        const auto i = std::min(bucketCount - 1, static_cast<std::size_t>((e.time - figures.from) / options.bucket));
        for (StationFigures* f : {&s, &figures.line}) {
            f->pagers[i] += pager;
            f->failures[i] += failure;
            f->uncertain[i] += uncertain;
            f->totalPagers += pager;
            f->totalFailures += failure;
            f->totalUncertain += uncertain;
        }
        if (pager && e.time >= currentFrom) {
            const double perHour = 60.0 / static_cast<double>(options.currentWindow.count());
            s.currentPerHour += perHour;
            figures.line.currentPerHour += perHour;
            currentPorts[e.station].insert(e.port);
            allCurrentPorts.emplace(e.station, e.port);
        }
    }
    for (auto& [name, s] : stations) {
        s.boards = static_cast<int>(currentPorts[name].size());
        figures.stations.push_back(std::move(s));
    }
    figures.line.boards = static_cast<int>(allCurrentPorts.size());
    return figures;
}

std::string formatLineFigures(const LineFigures& figures, double limitPerBoardPerHour)
{
    std::string out;
    char line[256];
    std::snprintf(line, sizeof line, "%-20s %8s %8s %9s %10s %6s %9s\n", "station", "pagers", "failed", "uncertain",
                  "now per h", "boards", "of limit");
    out += line;
    const auto row = [&](const StationFigures& s, const char* name) {
        const double limit = limitPerBoardPerHour * std::max(1, s.boards);
        std::snprintf(line, sizeof line, "%-20s %8ld %8ld %9ld %10.0f %6d %8.0f%%\n", name, s.totalPagers,
                      s.totalFailures, s.totalUncertain, s.currentPerHour, s.boards,
                      100.0 * s.currentPerHour / limit);
        out += line;
    };
    for (const StationFigures& s : figures.stations)
        row(s, s.station.c_str());
    row(figures.line, "(line)");
    return out;
}

LineRecordReader lineRecordReader(std::string conninfo, std::string batch, std::filesystem::path localRecord)
{
    return [conninfo = std::move(conninfo), batch = std::move(batch),
            localRecord = std::move(localRecord)](SystemTime since) -> Outcome<std::vector<RecordEntry>> {
        std::unique_ptr<RecordStore> store;
        if (!batch.empty()) {
            auto shared = PgRecordStore::open(conninfo);
            if (!shared.ok())
                return Failure{shared.message()};
            store = std::move(shared.value());
        } else {
            auto local = SqliteRecordStore::open(localRecord);
            if (!local.ok())
                return Failure{local.message()};
            store = std::move(local.value());
        }
        auto entries = store->list(since);
        if (entries.ok())
            std::erase_if(entries.value(), [&](const RecordEntry& e) { return e.batch != batch; });
        return entries;
    };
}

} // namespace px316t
