#pragma once
// Paper from the production record: a label for each pager the record keeps
// as written, verified and used; a batch's report from its summary and its
// entries; the label size setting; and the labels of a run as its pagers come
// off the boards. Both faces print through these.
#include "print/batch_report.h"
#include "print/label_output.h"
#include "print/pager_label.h"
#include "production/capcode_sequence.h"
#include "production/pg_batches.h"
#include "production/production_record.h"
#include "registry/cls_registry_access.h"

#include "table/pager_table.h"

#include <QString>

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace px316t {

struct CapcodeRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
};

// "A-B" or a single capcode; nothing for anything else.
std::optional<CapcodeRange> parseCapcodeRange(const std::string& text);

// The label of the pager an entry stands for (its first capcode, frequency,
// batch, date and customer). A capcode above the short ones is long.
PagerLabel labelForEntry(const RecordEntry& entry);

// One label per pager of `batch` (empty: pagers made without a batch) that
// the record holds as written and verified, oldest first, within `range`
// when given. A capcode `reservations` holds in another state than used
// (uncertain, returned, reserved or being written) gets none, nor one missing
// from them when they list every used capcode (a station's own record, where
// a plain Write reserves nothing), nor one whose last entry is not a verified
// write: a pager the record does not vouch for never gets a label.
std::vector<PagerLabel> labelsOfUsedPagers(const std::vector<RecordEntry>& entries, const std::string& batch,
                                           const std::vector<ReservationRow>& reservations, bool everyUsedListed,
                                           std::optional<CapcodeRange> range = std::nullopt);

// The report of a batch: its counts and skipped capcodes from `summary`, its
// stations, operators and table files from the batch's verified entries.
BatchReport batchReportFrom(const BatchSummary& summary, const std::vector<RecordEntry>& entries,
                            const std::string& programVersion, SystemTime madeAt);

// The label of a pager just done with `capcode` as its first capcode.
PagerLabel labelOfDonePager(std::uint64_t capcode, bool longCapcode, const PagerTable& image,
                            const std::string& batch, const std::string& customer, SystemTime when);

// The labels of the batch `batch` of the shared database `conninfo` (refused
// for an unknown batch), or of the station's own record at `recordPath`.
Outcome<std::vector<PagerLabel>> readBatchLabels(const std::string& conninfo, const std::string& batch,
                                                 std::optional<CapcodeRange> range);
Outcome<std::vector<PagerLabel>> readLocalLabels(const std::filesystem::path& recordPath,
                                                 std::optional<CapcodeRange> range);
// The report of the batch `batch`, made now (refused for an unknown batch).
Outcome<BatchReport> readBatchReport(const std::string& conninfo, const std::string& batch);
// The report as a PDF, or as CSV when `file` ends in ".csv".
Status writeBatchReport(const std::string& conninfo, const std::string& batch, const QString& file);

// "62 x 29" (millimetres), and back; nothing for what is no size or out of reason.
std::string labelSizeText(const LabelSize& size);
std::optional<LabelSize> parseLabelSize(const std::string& text);

// The label size, kept in the registry store (62 x 29 mm when none is kept or
// what is kept is out of reason).
LabelSize readLabelSize(clsRegistryAccess& registry);
void writeLabelSize(clsRegistryAccess& registry, const LabelSize& size);

// Where the labels of a run go: a PDF file or a printer by name.
struct LabelDestination {
    QString pdfFile;
    QString printer;
    bool none() const { return pdfFile.isEmpty() && printer.isEmpty(); }
};

// The labels of a run, one per pager as it is done: a printer gets a job per
// label; a PDF file is written again whole after each label, so that it holds
// every label of the run so far even when the run is stopped. A label that
// fails is reported and left out; the pager stands.
class LabelStream {
public:
    LabelStream(LabelDestination destination, LabelSize size);
    // Safe from several boards' threads.
    Status add(const PagerLabel& label);
    int printed() const;

private:
    LabelDestination destination_;
    LabelSize size_;
    std::vector<PagerLabel> done_;
    mutable std::mutex mutex_;
};

// What is said when a label size is refused, and when a report is written.
std::string labelSizeRefusal(const std::string& text);
std::string batchReportWritten(const std::string& batch, const std::string& file);

// What the operator is told when the label of a done pager failed.
std::string labelFailureMessage(std::uint64_t capcode, const std::string& why);

} // namespace px316t
