#pragma once
// A station's production one pager at a time, as the programming window's
// "1st Capcode Auto Increase" takes it: each pager is one production step
// (the same step a produce run takes), on a capcode sequence that stays open
// between pagers. Without a batch the sequence is this station's own record,
// looking up from the capcode the image shows; with a batch of the shared
// database, the batch decides. Either way a capcode the record holds as
// written or possibly written is never offered again.
#include "production/line_stats.h"
#include "production/production_run.h"
#include "production/production_services.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace px316t {

// What the next pager would be written with, for an image that shows `shown`.
struct LineOffer {
    enum class Kind {
        Ready,      // `capcode` is free and is the one written next (on a batch, it may
                    // have moved on from the one the line offered last)
        Moved,      // the one shown is taken or not the batch's next: `capcode` is the next free one
        NoneLeft,   // no capcode left; nothing may be written
        Refused,    // the record or the sequence cannot be used or reached; nothing may be written
    };
    Kind kind = Kind::Refused;
    std::uint64_t capcode = 0;
    std::string message;   // for Moved, NoneLeft and Refused
};

class ProductionLine {
public:
    explicit ProductionLine(ProductionOptions options) : options_(std::move(options)) {}

    // The record and backups, opened on first use; a failure says why.
    Outcome<ProductionServices*> services(std::vector<std::string>& notices);

    // Joins the batch `batch` of the shared database `conninfo` (empty: the
    // one configured): every later pager takes the batch's next capcode and is
    // recorded there too. A failure leaves the line as it was.
    Status joinBatch(const std::string& conninfo, const std::string& batch, std::vector<std::string>& notices);
    // The batch named at start (--batch): joined on first use.
    void wantBatch(std::string batch) { wanted_ = std::move(batch); }
    // Joins the batch wanted at start, once; success when none is wanted.
    Status joinWantedBatch(std::vector<std::string>& notices);
    const std::string& batch() const { return batch_; }
    const std::string& databaseConninfo() const { return options_.databaseConninfo; }

    // Where the line stands for an image whose first capcode shows `shown`
    // (in a pair that is long when `longPair`).
    LineOffer offer(std::uint64_t shown, bool longPair, std::vector<std::string>& notices);
    // The capcode the next pager gets; nothing when none is left or no
    // sequence is open; a failure when the sequence cannot be reached.
    Outcome<std::optional<std::uint64_t>> next();
    // "Batch NAME, next capcode N (CUSTOMER)": the customer when the batch's
    // list names one; "none left", or "unknown" when the database cannot be reached.
    std::string batchLine();

    // Who the record names from now on; empty: the one configured at start.
    void setOperator(const std::string& name);
    // The operator the record names now.
    std::string operatorName() const;
    // The table file the image came from, by the name and SHA-256 of its bytes
    // when it was opened or saved; both empty when it came from none.
    void setTableSource(const std::string& name, const std::string& sha256);
    // What the line's live view reads: the joined batch's entries, else this
    // station's own record; and how the view names it.
    Outcome<LineRecordReader> recordReader(std::vector<std::string>& notices);
    std::string recordName() const;

    // One pager on the sequence the last offer() opened: reserve, begin
    // writing (committed), write and verify, record, mark used or uncertain.
    PagerStep produce(PagerProgrammer& programmer, const std::string& port,
                      const std::function<PagerTable(std::uint64_t)>& imageFor);

private:
    Status openServices(const ProductionOptions& options, std::vector<std::string>& notices);

    ProductionOptions options_;
    std::unique_ptr<ProductionServices> services_;
    std::shared_ptr<CapcodeSequence> sequence_;
    std::string batch_;
    std::string wanted_;
    // The local sequence looks up from `first_`; it is opened again when the
    // image shows another capcode than the one it offered last.
    std::uint64_t first_ = 0;
    bool longPair_ = false;
    std::optional<std::uint64_t> offered_;
    std::string operator_;   // empty: options_.operatorName
    std::string tableFile_;
    std::string tableSha256_;
    // Puts the operator and table file on the services just opened.
    void applySource();
};

} // namespace px316t
