// Which pagers get a label and what a batch's report counts, from record
// entries and reservations made up by the test.
#include "print/record_paper.h"

#include "registry/registry_backend.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace px316t;

namespace {

const SystemTime t0 = *parseUtc("2026-12-08T08:00");

RecordEntry entry(std::int64_t capcode, RecordOperation op, RecordResult result, int minute,
                  const std::string& batch = "tray", const std::string& station = "s1")
{
    RecordEntry e;
    e.time = t0 + std::chrono::minutes(minute);
    e.station = station;
    e.operation = op;
    e.batch = batch;
    e.firstCapcode = capcode;
    e.frequencyHz = 931012500;
    e.result = result;
    e.source.operatorName = station == "s1" ? "ann" : "bob";
    e.source.tableFile = "p.tbl";
    e.source.tableSha256 = "ab12";
    return e;
}

// A written and verified pager: its write and verify entries.
void pager(std::vector<RecordEntry>& entries, std::int64_t capcode, int minute, const std::string& batch = "tray",
           const std::string& station = "s1")
{
    entries.push_back(entry(capcode, RecordOperation::Write, RecordResult::Success, minute, batch, station));
    entries.push_back(entry(capcode, RecordOperation::Verify, RecordResult::Success, minute, batch, station));
}

ReservationRow row(std::uint64_t capcode, ReservationState state, const std::string& reason = {})
{
    ReservationRow r;
    r.capcode = capcode;
    r.state = state;
    r.station = "s1";
    r.reason = reason;
    return r;
}

std::vector<std::uint64_t> capcodes(const std::vector<PagerLabel>& labels)
{
    std::vector<std::uint64_t> out;
    for (const PagerLabel& l : labels)
        out.push_back(l.capcode);
    return out;
}

} // namespace

TEST(RecordPaper, OnlyPagersTheRecordHoldsAsUsedGetALabel)
{
    std::vector<RecordEntry> entries;
    pager(entries, 100, 1);
    pager(entries, 101, 2);
    pager(entries, 102, 3);                 // verified, but its used mark never committed
    pager(entries, 103, 4, "other");        // another batch
    pager(entries, 104, 5, "");             // a plain write on the station
    pager(entries, 3223326721, 6);          // long
    entries.push_back(entry(101, RecordOperation::Write, RecordResult::LinkLost, 7));   // written again, lost
    pager(entries, 200, 8, "");
    const std::vector<ReservationRow> batchRows = {row(102, ReservationState::Writing)};
    const std::vector<ReservationRow> localRows = {row(200, ReservationState::Used), row(201, ReservationState::Uncertain)};

    const struct {
        std::string batch;
        std::vector<ReservationRow> rows;
        bool everyUsedListed;
        std::optional<CapcodeRange> range;
        std::vector<std::uint64_t> labelled;
    } cases[] = {
        {"tray", batchRows, false, std::nullopt, {100, 3223326721}},
        {"tray", batchRows, false, CapcodeRange{101, 3000000000}, {}},
        {"other", {}, false, std::nullopt, {103}},
        {"", localRows, true, std::nullopt, {200}},   // 104 was never reserved: no production pager
    };
    for (const auto& c : cases)
        EXPECT_EQ(capcodes(labelsOfUsedPagers(entries, c.batch, c.rows, c.everyUsedListed, c.range)), c.labelled)
            << c.batch;

    const PagerLabel label = labelsOfUsedPagers(entries, "tray", batchRows, false).back();
    EXPECT_TRUE(label.longCapcode);
    EXPECT_EQ(label.date, "2026-12-08");
    EXPECT_EQ(label.batch, "tray");
    EXPECT_EQ(label.frequencyHz, 931012500);
}

TEST(RecordPaper, CapcodeRangesAreReadStrictly)
{
    const struct {
        const char* text;
        std::optional<std::pair<std::uint64_t, std::uint64_t>> range;
    } cases[] = {{"1600000-1600009", std::pair{1600000, 1600009}}, {"42", std::pair{42, 42}},
                 {"9-1", std::nullopt}, {"1-", std::nullopt}, {"-5", std::nullopt}, {"1x-2", std::nullopt},
                 {"", std::nullopt}, {"12345678901", std::nullopt}};
    for (const auto& c : cases) {
        const auto parsed = parseCapcodeRange(c.text);
        ASSERT_EQ(parsed.has_value(), c.range.has_value()) << c.text;
        if (parsed) {
            EXPECT_EQ(std::pair(parsed->first, parsed->last), *c.range) << c.text;
        }
    }
}

TEST(RecordPaper, TheReportCountsStationsAndSkipsOfItsBatchOnly)
{
    std::vector<RecordEntry> entries;
    pager(entries, 100, 1);
    pager(entries, 101, 10, "tray", "s2");
    pager(entries, 102, 20);
    pager(entries, 900, 5, "other");
    entries.push_back(entry(103, RecordOperation::Write, RecordResult::TimeOut, 30));
    BatchSummary summary;
    summary.batch.name = "tray";
    summary.batch.first = 100;
    summary.batch.last = 109;
    summary.used = 3;
    summary.uncertain = 1;
    summary.left = 6;
    summary.notUsed = {row(103, ReservationState::Uncertain, "the write failed"), row(104, ReservationState::Reserved)};

    const BatchReport report = batchReportFrom(summary, entries, "1.2.3", t0);
    EXPECT_EQ(report.source, "capcodes 100 to 109");
    ASSERT_EQ(report.skipped.size(), 1u);
    EXPECT_EQ(report.skipped[0].capcode, 103u);
    EXPECT_EQ(report.skipped[0].reason, "the write failed");
    ASSERT_EQ(report.stations.size(), 2u);
    EXPECT_EQ(report.stations[0].station, "s1");
    EXPECT_EQ(report.stations[0].operatorName, "ann");
    EXPECT_EQ(report.stations[0].pagers, 2);
    EXPECT_EQ(report.stations[0].first, isoUtc(t0 + std::chrono::minutes(1)));
    EXPECT_EQ(report.stations[0].last, isoUtc(t0 + std::chrono::minutes(20)));
    ASSERT_EQ(report.tableFiles.size(), 1u);
    EXPECT_EQ(report.tableFiles[0].pagers, 3);
}

TEST(RecordPaper, TheLabelSizeSettingFallsBackOnWhatIsOutOfReason)
{
    QTemporaryDir dir;
    PortableRegistryOptions options;
    options.storeFile = dir.filePath(QStringLiteral("registry.sqlite")).toStdString();
    clsRegistryAccess registry(makePortableRegistryBackend(options));
    EXPECT_EQ(readLabelSize(registry).widthMm, LabelSize{}.widthMm);
    writeLabelSize(registry, *parseLabelSize("101.5 x 54 mm"));
    EXPECT_EQ(readLabelSize(registry).widthMm, 101.5);
    EXPECT_EQ(readLabelSize(registry).heightMm, 54);
    writeLabelSize(registry, LabelSize{0, 1e9});
    EXPECT_EQ(readLabelSize(registry).widthMm, LabelSize{}.widthMm);
    EXPECT_EQ(readLabelSize(registry).heightMm, LabelSize{}.heightMm);
    for (const char* refused : {"62", "62 x", "x 29", "10 x 29", "62 x 400", "sixty x 29"})
        EXPECT_FALSE(parseLabelSize(refused)) << refused;
}
