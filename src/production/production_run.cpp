#include "production/production_run.h"

#include <atomic>
#include <mutex>
#include <QThread>

#include <memory>

namespace px316t {

namespace {

RecordEntry stepEntry(const StepContext& context, const Reservation& held, const PagerTable& image,
                      RecordOperation operation, RecordResult result, std::optional<SystemTime> when = std::nullopt)
{
    RecordEntry entry = entryForImage(image, operation, result, context.station, context.port);
    entry.batch = context.batch;
    entry.source = context.source;
    entry.listed = held.listed;
    if (when)
        entry.time = *when;
    return entry;
}

} // namespace

PagerStep producePagerStep(CapcodeSequence& sequence, RecordStore& record, PagerProgrammer& programmer,
                           const StepContext& context)
{
    PagerStep step;
    auto reservation = sequence.reserveNext();
    if (!reservation.ok()) {
        step.stop = sequence.exhausted() ? StepStop::NoCapcodeLeft : StepStop::CannotReserve;
        step.message = reservation.message();
        return step;
    }
    const Reservation held = reservation.value();
    step.capcode = held.capcode;
    step.listed = held.listed;
    step.state = ReservationState::Reserved;
    const PagerTable image = context.imageFor(held.capcode);

    // The pager is touched only once its write is on the record.
    if (Status writing = sequence.beginWriting(held, WriteIntent{context.port, summarizeImage(image), context.source});
        !writing.ok()) {
        step.stop = StepStop::CannotRecord;
        step.message = writing.message() + " The pager was not written.";
        if (sequence.giveBack(held).ok())
            step.state = ReservationState::Returned;
        return step;
    }
    step.state = ReservationState::Writing;
    if (context.starting)
        context.starting(held.capcode);

    step.transfer = programmer.writeAndVerify(image);
    const PagerTransfer& transfer = step.transfer;
    std::vector<RecordEntry> entries = {
        stepEntry(context, held, image, RecordOperation::Write, transfer.write, transfer.writeEnded)};
    if (transfer.verify)
        entries.push_back(stepEntry(context, held, image, RecordOperation::Verify, *transfer.verify));

    if (!transfer.succeeded()) {
        step.stop = StepStop::TransferFailed;
        const RecordResult failure = transfer.write != RecordResult::Success ? transfer.write : *transfer.verify;
        const std::string what = resultText(failure) + " at capcode " + std::to_string(held.capcode);
        const std::string reason = (transfer.verify ? "the verify failed (" : "the write failed (") +
                                   resultText(failure) + "); the pager may hold it";
        if (transfer.writeStarted)
            entries.back().note = reason;
        // The entries before the capcode's new state: a station stopped
        // between the two leaves it writing, which the next start records as
        // uncertain, so the skip is on the record either way.
        const Status recorded = record.appendAll(entries);
        Status settled;
        if (!transfer.writeStarted) {
            settled = sequence.giveBack(held);
            if (settled.ok())
                step.state = ReservationState::Returned;
            step.message = what + (settled.ok() ? "; the write never began, the capcode goes to the next pager"
                                                : "; " + settled.message());
        } else {
            settled = sequence.markUncertain(held, reason);
            if (settled.ok())
                step.state = ReservationState::Uncertain;
            step.message = what + (settled.ok() ? "; the pager may hold it, so the capcode is skipped (uncertain)"
                                                : "; " + settled.message());
        }
        if (!recorded.ok())
            step.message += " " + recorded.message();
        return step;
    }

    // Verified: the record and the used mark commit before success is said.
    if (Status recorded = record.appendAll(entries); !recorded.ok()) {
        step.stop = StepStop::NotKept;
        const std::string reason = "verified, but the record could not take it: " + recorded.message();
        if (sequence.markUncertain(held, reason).ok())
            step.state = ReservationState::Uncertain;
        step.message = "Capcode " + std::to_string(held.capcode) + " was written and verified, but " +
                       recorded.message() + " It will not be handed out again.";
        return step;
    }
    if (Status used = sequence.markUsed(held); !used.ok()) {
        step.stop = StepStop::NotKept;
        step.message = "Capcode " + std::to_string(held.capcode) + " was written and verified, but " + used.message() +
                       " It will not be handed out again.";
        return step;
    }
    step.state = ReservationState::Used;
    return step;
}

namespace {

struct SharedRun {
    const ProductionPlan& plan;
    CapcodeSequence& sequence;
    RecordStore& record;
    std::atomic<int> unclaimed;   // pagers not yet taken by a board
    std::atomic<int> started{0};
    std::mutex callbackMutex;
};

void runBoard(SharedRun& run, const BoardPlan& board, BoardReport& report)
{
    report.port = board.port;
    std::unique_ptr<PagerProgrammer> programmer = board.connect ? board.connect() : nullptr;
    if (!programmer) {
        report.stop = StepStop::CannotRecord;
        report.stopReason = "the board on " + board.port + " could not be used";
        return;
    }
    StepContext context{run.plan.station, run.plan.batch, board.port, run.plan.imageFor, {}, run.plan.source};
    int pager = 0;
    context.starting = [&](std::uint64_t capcode) {
        pager = ++run.started;
        if (run.plan.startingPager) {
            const std::lock_guard lock(run.callbackMutex);
            run.plan.startingPager(board.port, pager, capcode);
        }
    };
    for (bool first = true;; first = false) {
        // A pager is claimed before its capcode is reserved, so the boards
        // together never write more than the run's count.
        if (run.unclaimed.fetch_sub(1) <= 0) {
            ++run.unclaimed;
            return;
        }
        if (!first && run.plan.beforeNextPager) {
            const std::lock_guard lock(run.callbackMutex);
            if (!run.plan.beforeNextPager(board.port)) {
                ++run.unclaimed;
                return;
            }
        }
        pager = 0;
        const PagerStep step = producePagerStep(run.sequence, run.record, *programmer, context);
        if (step.stop != StepStop::None) {
            ++run.unclaimed;
            report.stop = step.stop;
            if (step.stop == StepStop::TransferFailed) {
                report.failedPager = pager;
                report.failedCapcode = step.capcode;
            }
            // The report belongs to its board: a face names the port once, itself.
            report.stopReason = step.message;
            return;
        }
        ++report.written;
        if (run.plan.pagerDone) {
            const std::lock_guard lock(run.callbackMutex);
            if (!run.plan.pagerDone(board.port, step.capcode))
                return;
        }
    }
}

} // namespace

ProductionReport runProduction(const std::vector<BoardPlan>& boards, const ProductionPlan& plan,
                               CapcodeSequence& sequence, RecordStore& record)
{
    SharedRun run{plan, sequence, record, {plan.count}, {0}, {}};
    ProductionReport report;
    report.boards.resize(boards.size());
    if (boards.size() == 1) {
        runBoard(run, boards[0], report.boards[0]);
    } else {
        // Qt threads: a serial port needs the event dispatcher of a QThread.
        std::vector<std::unique_ptr<QThread>> threads;
        for (std::size_t i = 0; i < boards.size(); ++i) {
            threads.emplace_back(QThread::create([&, i] { runBoard(run, boards[i], report.boards[i]); }));
            threads.back()->start();
        }
        for (auto& t : threads)
            t->wait();
    }
    for (const BoardReport& b : report.boards) {
        report.written += b.written;
        report.failed = report.failed || !b.stopReason.empty();
    }
    return report;
}

} // namespace px316t
