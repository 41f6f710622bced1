#pragma once
// The figures a line lead watches during a shift, from the production record:
// pagers per hour per station over the last hours, the failures and uncertain
// capcodes among them, and each station's current rate against what its
// boards' wires allow. Both the window's live view and `batch stats` show these.
#include "production/production_record.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace px316t {

// What one USB board's wire allows: about 990 pagers an hour.
inline constexpr double UsbBoardPagersPerHour = 990;

struct StationFigures {
    std::string station;
    // One count per bucket, oldest first: verified pagers, failed writes
    // (verify errors, lost links, time-outs, bad replies), uncertain capcodes.
    std::vector<int> pagers;
    std::vector<int> failures;
    std::vector<int> uncertain;
    long totalPagers = 0;
    long totalFailures = 0;
    long totalUncertain = 0;
    double currentPerHour = 0;   // verified pagers in the current window, per hour
    int boards = 0;              // ports that wrote in the current window
};

struct LineFigures {
    SystemTime from{};           // the first bucket's start
    std::chrono::minutes bucket{};
    std::vector<StationFigures> stations;   // by name
    StationFigures line;                     // every station together (station empty)
};

struct LineFigureOptions {
    std::chrono::hours span{8};
    std::chrono::minutes bucket{30};
    std::chrono::minutes currentWindow{15};
};

// Entries outside [now - span, now] are left out.
LineFigures computeLineFigures(const std::vector<RecordEntry>& entries, SystemTime now,
                               const LineFigureOptions& options = {});

// Reads the record a line's figures come from: the entries of `batch` in the
// shared database `conninfo`, or (batch empty) the entries without a batch of
// the station's own record at `localRecord`. Each call opens its own
// connection, so a view may call it on a thread of its own.
using LineRecordReader = std::function<Outcome<std::vector<RecordEntry>>(SystemTime since)>;
LineRecordReader lineRecordReader(std::string conninfo, std::string batch, std::filesystem::path localRecord);

// Aligned lines for a terminal: each station's totals, its current rate and
// that rate against `limitPerBoardPerHour` times its boards.
std::string formatLineFigures(const LineFigures& figures, double limitPerBoardPerHour);

} // namespace px316t
