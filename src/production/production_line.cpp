#include "production/production_line.h"

#include "editor/capcode_codec.h"
#include "editor/messages.h"

namespace px316t {

namespace {

// The next capcode when it is known.
std::optional<std::uint64_t> knownNext(CapcodeSequence& sequence)
{
    auto next = sequence.peekNext();
    return next.ok() ? next.value() : std::nullopt;
}

} // namespace

Status ProductionLine::openServices(const ProductionOptions& options, std::vector<std::string>& notices)
{
    auto opened = ProductionServices::open(options, notices);
    if (!opened.ok())
        return opened.failure();
    services_ = std::move(opened.value());
    applySource();
    return {};
}

void ProductionLine::applySource()
{
    if (!services_)
        return;
    services_->setOperator(operator_.empty() ? options_.operatorName : operator_);
    services_->useTableSource(tableFile_, tableSha256_);
}

void ProductionLine::setOperator(const std::string& name)
{
    operator_ = name;
    applySource();
}

std::string ProductionLine::operatorName() const
{
    return currentSource(operator_.empty() ? options_.operatorName : operator_).operatorName;
}

void ProductionLine::setTableSource(const std::string& name, const std::string& sha256)
{
    tableFile_ = name;
    tableSha256_ = sha256;
    applySource();
}

Outcome<ProductionServices*> ProductionLine::services(std::vector<std::string>& notices)
{
    if (!services_)
        if (Status s = openServices(options_, notices); !s.ok())
            return Failure{s.message()};
    return services_.get();
}

Outcome<LineRecordReader> ProductionLine::recordReader(std::vector<std::string>& notices)
{
    auto opened = services(notices);
    if (!opened.ok())
        return Failure{opened.message()};
    return lineRecordReader(options_.databaseConninfo, batch_, opened.value()->localRecord().path());
}

std::string ProductionLine::recordName() const
{
    return batch_.empty() ? "this station's record" : "batch " + batch_;
}

Status ProductionLine::joinBatch(const std::string& conninfo, const std::string& batch,
                                 std::vector<std::string>& notices)
{
    ProductionOptions options = options_;
    if (!conninfo.empty())
        options.databaseConninfo = conninfo;
    if (options.databaseConninfo.empty())
        return Failure{"The batch " + batch + " needs the shared production database (a PostgreSQL connection "
                       "string); nothing was joined.",
                       true};
    if (batch.empty())
        return Failure{"A batch name is needed (px316t-cli batch list shows them).", true};
    // This station's instance of the old sequence ends first: a station name
    // is held by one live instance at a time.
    std::shared_ptr<CapcodeSequence> previous = std::move(sequence_);
    previous.reset();
    auto services = ProductionServices::open(options, notices);
    if (!services.ok())
        return services.failure();
    // The batch's range bounds it; first and last are not used.
    auto sequence = services.value()->openSequence(0, 0, batch, notices);
    if (!sequence.ok()) {
        offered_.reset();
        return sequence.failure();
    }
    options_ = options;
    services_ = std::move(services.value());
    applySource();
    sequence_ = std::move(sequence.value());
    batch_ = batch;
    wanted_.clear();
    offered_ = knownNext(*sequence_);
    return {};
}

Status ProductionLine::joinWantedBatch(std::vector<std::string>& notices)
{
    if (wanted_.empty() || !batch_.empty())
        return {};
    return joinBatch({}, wanted_, notices);
}

Outcome<std::optional<std::uint64_t>> ProductionLine::next()
{
    if (!sequence_)
        return std::optional<std::uint64_t>();
    return sequence_->peekNext();
}

std::string ProductionLine::batchLine()
{
    const auto next = this->next();
    std::string shown = !next.ok()     ? "unknown (the database cannot be reached)"
                        : next.value() ? std::to_string(*next.value())
                                       : "none left";
    if (next.ok() && next.value() && sequence_)
        if (const auto listed = sequence_->listColumnsOf(*next.value()); listed.ok() && !listed.value().customer.empty())
            shown += " (" + listed.value().customer + ")";
    return "Batch " + batch_ + ", next capcode " + shown;
}

LineOffer ProductionLine::offer(std::uint64_t shown, bool longPair, std::vector<std::string>& notices)
{
    LineOffer offer;
    auto services = this->services(notices);
    if (!services.ok()) {
        offer.message = services.message();
        return offer;
    }
    if (Status joined = joinWantedBatch(notices); !joined.ok()) {
        offer.message = joined.message();
        return offer;
    }
    if (batch_.empty()) {
        if (services.value()->shared()) {
            offer.message = "A shared production database needs a batch: choose one with \"Batch...\"; "
                            "nothing was written.";
            return offer;
        }
        if (!sequence_ || offered_ != shown || longPair != longPair_) {
            sequence_.reset();
            auto opened = services.value()->openSequence(shown, lastCapcodeOfRun(shown, longPair), {}, notices);
            if (!opened.ok()) {
                offer.message = opened.message();
                return offer;
            }
            sequence_ = std::move(opened.value());
            first_ = shown;
            longPair_ = longPair;
        }
    } else if (!sequence_) {
        offer.message = "The batch " + batch_ + " cannot be used; join it again.";
        return offer;
    }
    // The window shows what the line offered last: on a batch, which other
    // stations move on, the pager then simply gets the batch's next capcode.
    const bool showsOffer = offered_ == shown;
    const auto peeked = sequence_->peekNext();
    if (!peeked.ok()) {
        // Not an empty batch: the next capcode cannot be known now.
        offered_.reset();
        offer.message = peeked.message() + "; nothing was written.";
        return offer;
    }
    const std::optional<std::uint64_t> next = peeked.value();
    offered_ = next;
    if (!next) {
        offer.kind = LineOffer::Kind::NoneLeft;
        offer.message = batch_.empty() ? capcodeLimitMessage(lastCapcodeOfRun(shown, longPair))
                                       : messages::batchExhaustedNothingWritten(batch_);
        return offer;
    }
    offer.capcode = *next;
    if (*next == shown || (!batch_.empty() && showsOffer)) {
        offer.kind = LineOffer::Kind::Ready;
        return offer;
    }
    offer.kind = LineOffer::Kind::Moved;
    offer.message = batch_.empty()
                        ? "Capcode " + std::to_string(shown) + " is on this station's record as written or possibly "
                              "written; it is not written again. The next free capcode is " + std::to_string(*next) + "."
                        : "The batch " + batch_ + " gives capcode " + std::to_string(*next) + " next (not " +
                              std::to_string(shown) + ").";
    return offer;
}

PagerStep ProductionLine::produce(PagerProgrammer& programmer, const std::string& port,
                                  const std::function<PagerTable(std::uint64_t)>& imageFor)
{
    if (!sequence_ || !services_) {
        PagerStep step;
        step.stop = StepStop::CannotReserve;
        step.message = "No capcode sequence is open; nothing was written.";
        return step;
    }
    const StepContext context{services_->station(), batch_, port, imageFor, {}, services_->source()};
    PagerStep step = producePagerStep(*sequence_, services_->record(), programmer, context);
    offered_ = knownNext(*sequence_);
    return step;
}

} // namespace px316t
