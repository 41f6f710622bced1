#include "production/production_run.h"

#include <atomic>
#include <mutex>
#include <QThread>

#include <memory>

namespace px316t {

namespace {

struct SharedRun {
    const ProductionPlan& plan;
    CapcodeSequence& sequence;
    RecordStore& record;
    std::atomic<int> unclaimed;   // pagers not yet taken by a board
    std::atomic<int> started{0};
    std::mutex callbackMutex;
};

RecordEntry entryFor(const SharedRun& run, const BoardPlan& board, const PagerTable& image,
                     RecordOperation operation, RecordResult result)
{
    RecordEntry entry = entryForImage(image, operation, result, run.plan.station, board.port);
    entry.batch = run.plan.batch;
    return entry;
}

void runBoard(SharedRun& run, const BoardPlan& board, BoardReport& report)
{
    report.port = board.port;
    std::unique_ptr<PagerProgrammer> programmer = board.connect ? board.connect() : nullptr;
    if (!programmer) {
        report.stopReason = "the board on " + board.port + " could not be used";
        return;
    }
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
        auto reservation = run.sequence.reserveNext();
        if (!reservation.ok()) {
            ++run.unclaimed;
            report.stopReason = reservation.message();
            return;
        }
        const std::uint64_t capcode = reservation.value().capcode;
        const PagerTable image = run.plan.imageFor(capcode);
        const int pager = ++run.started;
        if (run.plan.startingPager) {
            const std::lock_guard lock(run.callbackMutex);
            run.plan.startingPager(board.port, pager, capcode);
        }
        const PagerTransfer transfer = programmer->writeAndVerify(image);

        Status recorded = run.record.append(entryFor(run, board, image, RecordOperation::Write, transfer.write));
        if (transfer.verify) {
            const Status verifyRecorded =
                run.record.append(entryFor(run, board, image, RecordOperation::Verify, *transfer.verify));
            if (recorded.ok())
                recorded = verifyRecorded;
        }
        if (transfer.succeeded()) {
            ++report.written;
            if (Status used = run.sequence.markUsed(reservation.value()); !used.ok()) {
                report.stopReason = used.message();
                return;
            }
        } else {
            ++run.unclaimed;
            report.failedPager = pager;
            report.failedCapcode = capcode;
            const Status returned = run.sequence.giveBack(reservation.value());
            const RecordResult failure = transfer.write != RecordResult::Success ? transfer.write : *transfer.verify;
            report.stopReason = board.port + ": " + resultText(failure) + " at capcode " + std::to_string(capcode) +
                                (returned.ok() ? "; the capcode goes to the next pager"
                                               : "; " + returned.message());
            if (!recorded.ok())
                report.stopReason += " " + recorded.message();
            return;
        }
        if (!recorded.ok()) {
            // The pager is written, but the record could not take it: stop
            // before a pager goes unrecorded.
            report.stopReason = recorded.message();
            return;
        }
        if (run.plan.pagerDone) {
            const std::lock_guard lock(run.callbackMutex);
            if (!run.plan.pagerDone(board.port, capcode))
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
