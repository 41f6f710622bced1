// px316t-cli batch stats NAME: the figures a line lead watches during a batch,
// once or (--watch) again every few seconds.
#include "cli/json_line.h"
#include "cli/paper.h"

#include "production/line_stats.h"
#include "production/pg_batches.h"
#include "production/utc_time.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>

namespace px316t::cli {

namespace {

std::string numbers(const std::vector<int>& values)
{
    std::string out = "[";
    for (std::size_t i = 0; i < values.size(); ++i)
        out += (i ? "," : "") + std::to_string(values[i]);
    return out + "]";
}

std::string stationJson(const StationFigures& s)
{
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f", s.currentPerHour);
    JsonLine line;
    if (!s.station.empty())
        line.text("station", s.station);
    return line.raw("pagers", numbers(s.pagers))
        .raw("failures", numbers(s.failures))
        .raw("uncertain", numbers(s.uncertain))
        .number("total_pagers", s.totalPagers)
        .number("total_failures", s.totalFailures)
        .number("total_uncertain", s.totalUncertain)
        .raw("per_hour", rate)
        .number("boards", s.boards)
        .str();
}

std::string figuresJson(const std::string& batch, const LineFigures& figures)
{
    std::string stations = "[";
    for (std::size_t i = 0; i < figures.stations.size(); ++i)
        stations += (i ? "," : "") + stationJson(figures.stations[i]);
    return JsonLine()
        .text("batch", batch)
        .text("from", isoUtc(figures.from))
        .number("bucket_minutes", figures.bucket.count())
        .number("limit_per_board_per_hour", static_cast<long long>(UsbBoardPagersPerHour))
        .raw("stations", stations + "]")
        .raw("line", stationJson(figures.line))
        .str();
}

// Ends the watch when stdin closes (or a line is typed after "q").
class StdinWatch {
public:
    StdinWatch() : state_(std::make_shared<State>())
    {
        std::thread([state = state_] {
            std::string line;
            while (std::getline(std::cin, line) && line != "q") {
            }
            const std::lock_guard lock(state->mutex);
            state->closed = true;
            state->changed.notify_all();
        }).detach();
    }
    // Waits `period` or until stdin closes; false once it closed.
    bool wait(std::chrono::seconds period)
    {
        std::unique_lock lock(state_->mutex);
        state_->changed.wait_for(lock, period, [this] { return state_->closed; });
        return !state_->closed;
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        bool closed = false;
    };
    std::shared_ptr<State> state_;
};

} // namespace

int cmdBatchStats(const BatchPaperRequest& request)
{
    {
        auto db = PgConnection::open(request.conninfo);
        auto found = db.ok() ? findBatch(*db.value(), request.name)
                             : Outcome<std::optional<BatchState>>(Failure{db.message()});
        if (!found.ok()) {
            say(found.message());
            return Failed;
        }
        if (!found.value()) {
            say(unknownBatch(*db.value(), request.name).message);
            return Usage;
        }
    }
    const LineRecordReader read = lineRecordReader(request.conninfo, request.name, {});
    std::unique_ptr<StdinWatch> watch = request.watch ? std::make_unique<StdinWatch>() : nullptr;
    const LineFigureOptions options;
    for (;;) {
        const SystemTime now = std::chrono::system_clock::now();
        auto entries = read(now - options.span);
        if (!entries.ok()) {
            // A watch goes on when the database comes back.
            say(entries.message());
            if (!watch)
                return Failed;
        } else {
            const LineFigures figures = computeLineFigures(entries.value(), now, options);
            if (request.json) {
                std::printf("%s\n", figuresJson(request.name, figures).c_str());
            } else {
                if (watch)
                    std::printf("\nbatch %s at %s\n", request.name.c_str(), isoUtc(now).c_str());
                std::fputs(formatLineFigures(figures, UsbBoardPagersPerHour).c_str(), stdout);
            }
            std::fflush(stdout);
        }
        if (!watch || !watch->wait(std::chrono::seconds(5)))
            return Ok;
    }
}

} // namespace px316t::cli
