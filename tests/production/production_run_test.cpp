#include "production/local_sequence.h"
#include "production/production_run.h"
#include "production/sqlite_record_store.h"

#include "editor/capcode_codec.h"
#include "production_test_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>

namespace px316t {
namespace {

using testing::ProductionFolder;

// A transfer's results; the rest as a transfer has it by default.
PagerTransfer transfer(RecordResult write, std::optional<RecordResult> verify)
{
    PagerTransfer result;
    result.write = write;
    result.verify = verify;
    return result;
}

// The pagers that went through the fake boards, by first capcode.
struct Pagers {
    std::mutex mutex;
    std::map<std::uint64_t, int> written;
    // Lets healthy boards wait for a failing one, so that it reaches its
    // failing transfer however the threads are scheduled.
    std::condition_variable failureSeen;
    bool failed = false;
};

class FakeBoard : public PagerProgrammer {
public:
    // `failAt`: the number of this board's transfer (1-based) that fails as `failure`.
    // `waitAfter`: a healthy board waits after that many transfers until a board has failed.
    FakeBoard(Pagers& pagers, int failAt, PagerTransfer failure, int waitAfter)
        : pagers_(pagers), failAt_(failAt), failure_(failure), waitAfter_(waitAfter)
    {
    }
    PagerTransfer writeAndVerify(const PagerTable& image) override
    {
        if (++transfers_ == failAt_) {
            const std::lock_guard lock(pagers_.mutex);
            pagers_.failed = true;
            pagers_.failureSeen.notify_all();
            return failure_;
        }
        std::unique_lock lock(pagers_.mutex);
        if (waitAfter_ > 0 && transfers_ > waitAfter_)
            pagers_.failureSeen.wait_for(lock, std::chrono::seconds(10), [this] { return pagers_.failed; });
        ++pagers_.written[static_cast<std::uint64_t>(summarizeImage(image).firstCapcode.value_or(-1))];
        PagerTransfer done = transfer(RecordResult::Success, RecordResult::Success);
        done.writeEnded = writeEnded;
        return done;
    }

    std::optional<SystemTime> writeEnded;

private:
    Pagers& pagers_;
    int failAt_;
    PagerTransfer failure_;
    int waitAfter_;
    int transfers_ = 0;
};

PagerTable imageFor(std::uint64_t capcode)
{
    PagerTable image{};
    storeCapcode(image, 0, static_cast<double>(capcode), false);
    setCapcodeEnabled(image, 0, true);
    return image;
}

class ProductionRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto opened = SqliteRecordStore::open(folder.path() / "production.sqlite");
        ASSERT_TRUE(opened.ok());
        record = std::move(opened.value());
        plan.station = "bench";
        plan.imageFor = imageFor;
    }
    BoardPlan board(const std::string& port, int failAt, PagerTransfer failure = {}, int waitAfter = 0)
    {
        return {port, [this, failAt, failure, waitAfter] {
                    return std::make_unique<FakeBoard>(pagers, failAt, failure, waitAfter);
                }};
    }
    std::vector<RecordEntry> entries() { return record->list(std::nullopt).value(); }

    ProductionFolder folder;
    std::unique_ptr<SqliteRecordStore> record;
    ProductionPlan plan;
    Pagers pagers;
};

TEST_F(ProductionRun, AFailingBoardStopsAloneAndItsCapcodeIsNeverWrittenAgain)
{
    // Local mode, several boards: a board that fails after its write began
    // leaves its capcode uncertain; one whose port never opened gives it back.
    const PagerTransfer linkLost = transfer(RecordResult::LinkLost, std::nullopt);
    PagerTransfer neverOpened = transfer(RecordResult::LinkLost, std::nullopt);
    neverOpened.writeStarted = false;
    struct Case {
        PagerTransfer failure;
        bool capcodeSkipped;
    } cases[] = {{linkLost, true}, {neverOpened, false}};
    for (const Case& c : cases) {
        ProductionFolder local;
        auto opened = SqliteRecordStore::open(local.path() / "production.sqlite");
        ASSERT_TRUE(opened.ok());
        auto sequence = SqliteCapcodeSequence::open(local.path() / "production.sqlite", "bench", 7000, 7999);
        ASSERT_TRUE(sequence.ok()) << sequence.message();
        Pagers seen;
        auto boardOf = [&](const std::string& port, int failAt, PagerTransfer failure, int waitAfter) {
            return BoardPlan{port, [&seen, failAt, failure, waitAfter] {
                                 return std::make_unique<FakeBoard>(seen, failAt, failure, waitAfter);
                             }};
        };
        plan.count = 30;
        const ProductionReport report =
            runProduction({boardOf("COM3", 0, {}, 2), boardOf("COM4", 3, c.failure, 0), boardOf("COM5", 0, {}, 2)},
                          plan, *sequence.value(), *opened.value());
        EXPECT_EQ(report.written, 30);
        EXPECT_EQ(report.boards[1].written, 2);
        EXPECT_EQ(report.boards[1].stop, StepStop::TransferFailed);
        const std::uint64_t failed = report.boards[1].failedCapcode;
        ASSERT_EQ(seen.written.size(), 30u);
        for (const auto& [capcode, times] : seen.written)
            EXPECT_EQ(times, 1) << capcode;
        EXPECT_EQ(seen.written.count(failed), c.capcodeSkipped ? 0u : 1u);
        EXPECT_EQ(seen.written.rbegin()->first, c.capcodeSkipped ? 7030u : 7029u);
        const auto notUsed = sequence.value()->notUsed().value();
        if (c.capcodeSkipped) {
            ASSERT_EQ(notUsed.size(), 1u);
            EXPECT_EQ(notUsed[0].capcode, failed);
            EXPECT_EQ(notUsed[0].state, ReservationState::Uncertain);
        } else {
            EXPECT_TRUE(notUsed.empty());
        }
        // A later run from the same table file capcode goes on after them all.
        sequence.value().reset();
        auto again = SqliteCapcodeSequence::open(local.path() / "production.sqlite", "bench", 7000, 7999);
        ASSERT_TRUE(again.ok());
        EXPECT_EQ(again.value()->reserveNext().value().capcode, c.capcodeSkipped ? 7031u : 7030u);
    }
}

TEST_F(ProductionRun, AVerifyErrorLeavesTheCapcodeUncertainAndRecordsWhy)
{
    LocalCapcodeSequence sequence(100, 199);
    plan.count = 5;
    const ProductionReport report =
        runProduction({board("COM3", 2, transfer(RecordResult::Success, RecordResult::VerifyError))}, plan, sequence,
                      *record);
    EXPECT_EQ(report.written, 1);
    EXPECT_TRUE(report.failed);
    EXPECT_EQ(sequence.peekNext().value(), 102u);
    EXPECT_EQ(sequence.uncertain(), (std::set<std::uint64_t>{101}));
    const auto recorded = entries();
    ASSERT_EQ(recorded.size(), 4u);
    EXPECT_EQ(recorded[2].operation, RecordOperation::Write);
    EXPECT_EQ(recorded[2].result, RecordResult::Success);
    EXPECT_EQ(recorded[3].operation, RecordOperation::Verify);
    EXPECT_EQ(recorded[3].result, RecordResult::VerifyError);
    EXPECT_EQ(recorded[3].firstCapcode, 101);
    EXPECT_NE(recorded[3].note.find("may hold it"), std::string::npos);
}

// A sequence that cannot mark anything used, as when its store went away.
class UsedMarkFails final : public CapcodeSequence {
public:
    explicit UsedMarkFails(CapcodeSequence& inner) : inner_(inner) {}
    Outcome<Reservation> reserveNext() override { return inner_.reserveNext(); }
    Status beginWriting(const Reservation& r, const WriteIntent& i) override { return inner_.beginWriting(r, i); }
    Status markUsed(const Reservation&) override { return Failure{"disk full"}; }
    Status giveBack(const Reservation& r) override { return inner_.giveBack(r); }
    Status markUncertain(const Reservation& r, const std::string& why) override { return inner_.markUncertain(r, why); }
    Outcome<std::optional<std::uint64_t>> peekNext() override { return inner_.peekNext(); }
    bool exhausted() const override { return inner_.exhausted(); }

private:
    CapcodeSequence& inner_;
};

// A record that refuses verify entries, as a full disk would after the write.
class VerifyEntriesFail final : public RecordStore {
public:
    explicit VerifyEntriesFail(RecordStore& inner) : inner_(inner) {}
    Status append(const RecordEntry& e) override
    {
        if (e.operation == RecordOperation::Verify)
            return Failure{"The production record could not be written: disk full"};
        return inner_.append(e);
    }
    Outcome<std::vector<RecordEntry>> list(std::optional<SystemTime> since) override { return inner_.list(since); }

private:
    RecordStore& inner_;
};

TEST_F(ProductionRun, AVerifiedPagerIsNeverWrittenAgainWhateverCannotBeKeptAfterIt)
{
    enum class Fault { TableFileNotSaved, RecordRefuses, UsedMarkFails };
    for (Fault fault : {Fault::TableFileNotSaved, Fault::RecordRefuses, Fault::UsedMarkFails}) {
        ProductionFolder local;
        const auto path = local.path() / "production.sqlite";
        auto store = SqliteRecordStore::open(path);
        auto sequence = SqliteCapcodeSequence::open(path, "bench", 1900000, 1900099);
        ASSERT_TRUE(sequence.ok());
        UsedMarkFails failingMark(*sequence.value());
        VerifyEntriesFail failingRecord(*store.value());
        Pagers seen;
        plan.count = 3;
        plan.pagerDone = [&](const std::string&, std::uint64_t) { return fault != Fault::TableFileNotSaved; };
        const ProductionReport report = runProduction(
            {BoardPlan{"COM3", [&seen] { return std::make_unique<FakeBoard>(seen, 0, PagerTransfer{}, 0); }}}, plan,
            fault == Fault::UsedMarkFails ? static_cast<CapcodeSequence&>(failingMark) : *sequence.value(),
            fault == Fault::RecordRefuses ? static_cast<RecordStore&>(failingRecord) : *store.value());
        EXPECT_EQ(seen.written.size(), 1u) << "the board stops after the pager that could not be kept";
        EXPECT_EQ(report.boards[0].stop, fault == Fault::TableFileNotSaved ? StepStop::None : StepStop::NotKept);
        // The retry starts from the table file's capcode, which was not raised.
        sequence.value().reset();
        auto retry = SqliteCapcodeSequence::open(path, "bench", 1900000, 1900099);
        ASSERT_TRUE(retry.ok());
        EXPECT_EQ(retry.value()->reserveNext().value().capcode, 1900001u);
    }
}

TEST_F(ProductionRun, APagerIsDoneOnlyOnceItsEntriesAndItsUsedMarkCommitted)
{
    const auto path = folder.path() / "production.sqlite";
    auto sequence = SqliteCapcodeSequence::open(path, "bench", 300, 399);
    ASSERT_TRUE(sequence.ok());
    const SystemTime wrote =
        std::chrono::floor<std::chrono::milliseconds>(std::chrono::system_clock::now() - std::chrono::seconds(3));
    plan.count = 2;
    std::vector<std::string> problems;
    plan.pagerDone = [&](const std::string&, std::uint64_t capcode) {
        // What another process would read now.
        auto reader = SqliteRecordStore::open(path);
        bool verified = false;
        const auto listed = reader.value()->list(std::nullopt);
        for (const RecordEntry& e : listed.value())
            verified = verified || (e.operation == RecordOperation::Verify && e.firstCapcode == std::int64_t(capcode));
        if (!verified)
            problems.push_back("no verify entry for " + std::to_string(capcode));
        const auto open = sequence.value()->notUsed();
        for (const ReservationRow& r : open.value())
            problems.push_back("capcode " + std::to_string(r.capcode) + " is " + reservationStateText(r.state));
        return true;
    };
    const ProductionReport report = runProduction({BoardPlan{"COM3", [&] {
                                                       auto b = std::make_unique<FakeBoard>(pagers, 0, PagerTransfer{}, 0);
                                                       b->writeEnded = wrote;
                                                       return b;
                                                   }}},
                                                  plan, *sequence.value(), *record);
    EXPECT_EQ(report.written, 2);
    EXPECT_TRUE(problems.empty()) << problems.front();
    // The write entry carries the time the write ended, not the verify's.
    const auto recorded = entries();
    ASSERT_EQ(recorded.size(), 4u);
    EXPECT_EQ(recorded[0].time, wrote);
    EXPECT_GT(recorded[1].time, wrote);
}

TEST_F(ProductionRun, TheEndOfTheSequenceEndsTheRunWithTheWindowsMessage)
{
    LocalCapcodeSequence sequence(ShortCapcodeLimit - 2, lastCapcodeOfRun(ShortCapcodeLimit - 2, false));
    plan.count = 5;
    const ProductionReport report = runProduction({board("COM3", 0), board("COM4", 0)}, plan, sequence, *record);
    EXPECT_EQ(report.written, 2);
    EXPECT_EQ(report.boards[0].stopReason, "Capcode 1 > 2031615 so can not be increase!");
    EXPECT_EQ(report.boards[0].stop, StepStop::NoCapcodeLeft);
}

} // namespace
} // namespace px316t
