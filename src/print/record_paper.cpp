#include "print/record_paper.h"

#include "editor/capcode_codec.h"
#include "production/image_summary.h"
#include "production/local_sequence.h"
#include "production/pg_record.h"
#include "production/sqlite_record_store.h"
#include "production/utc_time.h"

#include <QSaveFile>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <tuple>

namespace px316t {

namespace {

const std::string kLabelKey = "HKEY_CURRENT_USER\\Software\\PX316T\\Labels";

constexpr double kSmallestLabelMm = 15;
constexpr double kLargestLabelMm = 300;

bool reasonableMm(double value) { return value >= kSmallestLabelMm && value <= kLargestLabelMm; }

// Every entry of the shared record and the summary of `batch`.
Status readShared(const std::string& conninfo, const std::string& batch, BatchSummary& summary,
                  std::vector<RecordEntry>& entries)
{
    auto db = PgConnection::open(conninfo);
    if (!db.ok())
        return Failure{db.message()};
    auto described = describeBatch(*db.value(), batch);
    if (!described.ok())
        return Failure{described.message(), described.refused()};
    summary = std::move(described.value());
    auto record = PgRecordStore::open(conninfo);
    if (!record.ok())
        return Failure{record.message()};
    auto listed = record.value()->list(std::nullopt);
    if (!listed.ok())
        return Failure{listed.message()};
    entries = std::move(listed.value());
    return {};
}

bool verified(const RecordEntry& e)
{
    return e.operation == RecordOperation::Verify && e.result == RecordResult::Success && e.firstCapcode &&
           *e.firstCapcode > 0;
}

// The verified entries of `batch` whose capcode is used (see labelsOfUsedPagers).
std::vector<const RecordEntry*> usedPagerEntries(const std::vector<RecordEntry>& entries, const std::string& batch,
                                                 const std::vector<ReservationRow>& reservations, bool everyUsedListed,
                                                 std::optional<CapcodeRange> range)
{
    std::set<std::uint64_t> skipped, usedOnes;
    for (const ReservationRow& r : reservations)
        (r.state == ReservationState::Used ? usedOnes : skipped).insert(r.capcode);
    // A capcode's last entry decides: a later failure or skip takes the label away.
    std::map<std::uint64_t, const RecordEntry*> last;
    for (const RecordEntry& e : entries)
        if (e.batch == batch && e.firstCapcode && *e.firstCapcode > 0)
            last[static_cast<std::uint64_t>(*e.firstCapcode)] = &e;
    std::vector<const RecordEntry*> used;
    for (const RecordEntry& e : entries) {
        if (e.batch != batch || !verified(e))
            continue;
        const auto capcode = static_cast<std::uint64_t>(*e.firstCapcode);
        if (last[capcode] != &e || skipped.count(capcode) || (everyUsedListed && !usedOnes.count(capcode)))
            continue;
        if (range && (capcode < range->first || capcode > range->last))
            continue;
        used.push_back(&e);
    }
    return used;
}

} // namespace

std::optional<CapcodeRange> parseCapcodeRange(const std::string& text)
{
    const auto number = [](const std::string& part) -> std::optional<std::uint64_t> {
        if (part.empty() || part.size() > 10 || !std::all_of(part.begin(), part.end(), [](char c) {
                return c >= '0' && c <= '9';
            }))
            return std::nullopt;
        return std::strtoull(part.c_str(), nullptr, 10);
    };
    const auto dash = text.find('-');
    const auto first = number(text.substr(0, dash));
    const auto last = dash == std::string::npos ? first : number(text.substr(dash + 1));
    if (!first || !last || *last < *first)
        return std::nullopt;
    return CapcodeRange{*first, *last};
}

PagerLabel labelForEntry(const RecordEntry& entry)
{
    PagerLabel label;
    label.capcode = entry.firstCapcode ? static_cast<std::uint64_t>(*entry.firstCapcode) : 0;
    label.longCapcode = label.capcode >= ShortCapcodeLimit;
    label.frequencyHz = entry.frequencyHz;
    label.batch = entry.batch;
    label.date = isoUtc(entry.time).substr(0, 10);
    label.customer = entry.listed.customer;
    return label;
}

std::vector<PagerLabel> labelsOfUsedPagers(const std::vector<RecordEntry>& entries, const std::string& batch,
                                           const std::vector<ReservationRow>& reservations, bool everyUsedListed,
                                           std::optional<CapcodeRange> range)
{
    std::vector<PagerLabel> labels;
    for (const RecordEntry* e : usedPagerEntries(entries, batch, reservations, everyUsedListed, range))
        labels.push_back(labelForEntry(*e));
    return labels;
}

BatchReport batchReportFrom(const BatchSummary& summary, const std::vector<RecordEntry>& entries,
                            const std::string& programVersion, SystemTime madeAt)
{
    BatchReport report;
    const BatchState& b = summary.batch;
    report.batch = b.name;
    report.source = b.isList() ? "list " + b.listFile + " (" + std::to_string(b.listSize) + " capcodes)"
                               : "capcodes " + std::to_string(b.first) + " to " + std::to_string(b.last);
    report.used = static_cast<long>(summary.used);
    report.uncertain = static_cast<long>(summary.uncertain);
    report.returned = static_cast<long>(summary.returned);
    report.open = static_cast<long>(summary.open);
    report.left = static_cast<long>(summary.left);
    for (const ReservationRow& r : summary.notUsed)
        if (r.state == ReservationState::Uncertain || r.state == ReservationState::Returned)
            report.skipped.push_back({r.capcode, reservationStateText(r.state), r.reason, r.station, r.since});

    std::map<std::pair<std::string, std::string>, ReportStation> stations;
    std::map<std::pair<std::string, std::string>, ReportTableFile> files;
    for (const RecordEntry* e : usedPagerEntries(entries, b.name, summary.notUsed, false, std::nullopt)) {
        const std::string when = isoUtc(e->time);
        ReportStation& s = stations[{e->station, e->source.operatorName}];
        if (s.pagers++ == 0) {
            s.station = e->station;
            s.operatorName = e->source.operatorName;
            s.first = when;
        }
        s.last = when;
        ReportTableFile& f = files[{e->source.tableFile, e->source.tableSha256}];
        f.name = e->source.tableFile;
        f.sha256 = e->source.tableSha256;
        ++f.pagers;
    }
    for (auto& [key, s] : stations)
        report.stations.push_back(std::move(s));
    for (auto& [key, f] : files)
        report.tableFiles.push_back(std::move(f));
    report.programVersion = programVersion;
    report.madeAt = isoUtc(madeAt);
    return report;
}

PagerLabel labelOfDonePager(std::uint64_t capcode, bool longCapcode, const PagerTable& image,
                            const std::string& batch, const std::string& customer, SystemTime when)
{
    return PagerLabel{capcode, longCapcode, summarizeImage(image).frequencyHz, batch, isoUtc(when).substr(0, 10),
                      customer};
}

Outcome<std::vector<PagerLabel>> readBatchLabels(const std::string& conninfo, const std::string& batch,
                                                 std::optional<CapcodeRange> range)
{
    BatchSummary summary;
    std::vector<RecordEntry> entries;
    if (Status read = readShared(conninfo, batch, summary, entries); !read.ok())
        return Failure{read.message(), read.refused()};
    return labelsOfUsedPagers(entries, batch, summary.notUsed, false, range);
}

Outcome<std::vector<PagerLabel>> readLocalLabels(const std::filesystem::path& recordPath,
                                                 std::optional<CapcodeRange> range)
{
    auto reservations = localReservations(recordPath);
    if (!reservations.ok())
        return Failure{reservations.message()};
    auto record = SqliteRecordStore::open(recordPath);
    if (!record.ok())
        return Failure{record.message()};
    auto entries = record.value()->list(std::nullopt);
    if (!entries.ok())
        return Failure{entries.message()};
    return labelsOfUsedPagers(entries.value(), {}, reservations.value(), true, range);
}

Outcome<BatchReport> readBatchReport(const std::string& conninfo, const std::string& batch)
{
    BatchSummary summary;
    std::vector<RecordEntry> entries;
    if (Status read = readShared(conninfo, batch, summary, entries); !read.ok())
        return Failure{read.message(), read.refused()};
    return batchReportFrom(summary, entries, programVersion(), std::chrono::system_clock::now());
}

Status writeBatchReport(const std::string& conninfo, const std::string& batch, const QString& file)
{
    auto report = readBatchReport(conninfo, batch);
    if (!report.ok())
        return Failure{report.message(), report.refused()};
    if (!file.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
        return writeBatchReportPdf(file, report.value());
    QSaveFile out(file);
    const std::string csv = batchReportCsv(report.value());
    if (!out.open(QIODevice::WriteOnly) || out.write(csv.data(), static_cast<qint64>(csv.size())) != qint64(csv.size()) ||
        !out.commit())
        return Failure{file.toStdString() + " could not be written: " + out.errorString().toStdString()};
    return {};
}

std::string labelSizeText(const LabelSize& size)
{
    return QStringLiteral("%1 x %2").arg(size.widthMm).arg(size.heightMm).toStdString();
}

std::optional<LabelSize> parseLabelSize(const std::string& text)
{
    const QStringList parts =
        QString::fromStdString(text).toLower().remove(QStringLiteral("mm")).split(QLatin1Char('x'));
    if (parts.size() != 2)
        return std::nullopt;
    bool wOk = false, hOk = false;
    const LabelSize size{parts[0].trimmed().toDouble(&wOk), parts[1].trimmed().toDouble(&hOk)};
    if (!wOk || !hOk || !reasonableMm(size.widthMm) || !reasonableMm(size.heightMm))
        return std::nullopt;
    return size;
}

LabelSize readLabelSize(clsRegistryAccess& registry)
{
    const auto millimetres = [&](const char* name, double fallback) {
        const std::string text = registry.ReadString(kLabelKey, name, "");
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        // A label smaller than its barcodes or larger than a sheet is a damaged setting.
        return !text.empty() && end && *end == '\0' && reasonableMm(value) ? value : fallback;
    };
    const LabelSize fallback;
    return {millimetres("WidthMm", fallback.widthMm), millimetres("HeightMm", fallback.heightMm)};
}

void writeLabelSize(clsRegistryAccess& registry, const LabelSize& size)
{
    registry.CreateKeyIfDoesntExists(true);
    registry.WriteString(kLabelKey, "WidthMm", QString::number(size.widthMm).toStdString());
    registry.WriteString(kLabelKey, "HeightMm", QString::number(size.heightMm).toStdString());
}

LabelStream::LabelStream(LabelDestination destination, LabelSize size)
    : destination_(std::move(destination)), size_(size)
{
}

Status LabelStream::add(const PagerLabel& label)
{
    const std::lock_guard lock(mutex_);
    if (destination_.none())
        return {};
    if (!destination_.printer.isEmpty()) {
        Status printed = printLabels(destination_.printer, {label}, size_);
        if (printed.ok())
            done_.push_back(label);
        return printed;
    }
    done_.push_back(label);
    Status written = writeLabelsPdf(destination_.pdfFile, done_, size_);
    if (!written.ok())
        done_.pop_back();   // the file keeps the labels it held; this one is reported
    return written;
}

int LabelStream::printed() const
{
    const std::lock_guard lock(mutex_);
    return static_cast<int>(done_.size());
}

std::string labelSizeRefusal(const std::string& text)
{
    return "\"" + text + "\" is no label size: give width x height in millimetres, each from " +
           std::to_string(static_cast<int>(kSmallestLabelMm)) + " to " + std::to_string(static_cast<int>(kLargestLabelMm)) +
           " (62 x 29 is the common roll).";
}

std::string batchReportWritten(const std::string& batch, const std::string& file)
{
    return "Report of batch " + batch + " written to " + file;
}

std::string labelFailureMessage(std::uint64_t capcode, const std::string& why)
{
    return "The label of capcode " + std::to_string(capcode) + " was not printed: " + why +
           " The pager stands; its label can be printed again with px316t-cli label.";
}

} // namespace px316t
