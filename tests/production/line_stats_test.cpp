#include "production/line_stats.h"

#include <gtest/gtest.h>

using namespace px316t;
using namespace std::chrono_literals;

TEST(LineFigures, CountsPerStationAndBucketFromKnownTimes)
{
    const SystemTime now = *parseUtc("2026-12-08T16:00:00");
    const auto entry = [&](const char* station, const char* port, std::chrono::minutes ago, RecordResult result,
                           RecordOperation operation = RecordOperation::Write) {
        RecordEntry e;
        e.station = station;
        e.port = port;
        e.time = now - ago;
        e.result = result;
        e.operation = operation;
        return e;
    };
    const std::vector<RecordEntry> record = {
        entry("bench-1", "COM1", 10min, RecordResult::Success),
        entry("bench-1", "COM2", 5min, RecordResult::Success),
        entry("bench-1", "COM2", 1min, RecordResult::Success),
        entry("bench-1", "COM2", 1min, RecordResult::Success, RecordOperation::Verify),   // not a pager written
        entry("bench-2", "COM1", 20min, RecordResult::VerifyError),
        entry("bench-2", "COM1", 61min, RecordResult::Uncertain),
        entry("bench-2", "COM1", 181min, RecordResult::Success),
        entry("bench-2", "COM1", 9h, RecordResult::Success),          // before the span
        entry("bench-2", "COM1", -1min, RecordResult::Success),       // a clock ahead of this one
        entry("bench-2", "COM1", 30min, RecordResult::Returned),      // never written: no figure
    };
    const LineFigures f = computeLineFigures(record, now);   // 8 hours in 30-minute buckets
    ASSERT_EQ(f.stations.size(), 2u);
    const StationFigures& one = f.stations[0];
    const StationFigures& two = f.stations[1];
    EXPECT_EQ(one.station, "bench-1");
    EXPECT_EQ(one.pagers.size(), 16u);
    EXPECT_EQ(one.pagers[15], 3);
    EXPECT_EQ(one.totalPagers, 3);
    EXPECT_DOUBLE_EQ(one.currentPerHour, 12.0);   // 3 pagers in the last 15 minutes
    EXPECT_EQ(one.boards, 2);
    EXPECT_EQ(two.failures[15], 1);
    EXPECT_EQ(two.uncertain[13], 1);              // 61 minutes ago: the bucket 60 to 90 minutes back
    EXPECT_EQ(two.pagers[9], 1);                  // 181 minutes ago
    EXPECT_EQ(two.totalPagers, 1);
    EXPECT_EQ(two.boards, 0);
    EXPECT_EQ(f.line.totalPagers, 4);
    EXPECT_EQ(f.line.totalFailures, 1);
    EXPECT_EQ(f.line.totalUncertain, 1);

    const std::string text = formatLineFigures(f, 990);
    EXPECT_NE(text.find("bench-1                     3        0         0         12      2        1%"),
              std::string::npos)
        << text;
}
