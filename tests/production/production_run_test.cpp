#include "production/production_run.h"
#include "production/sqlite_record_store.h"

#include "editor/capcode_codec.h"
#include "production_test_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

namespace px316t {
namespace {

using testing::ProductionFolder;

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
        return {RecordResult::Success, RecordResult::Success};
    }

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

TEST_F(ProductionRun, AFailingBoardStopsAloneAndItsCapcodeGoesToAnotherPager)
{
    LocalCapcodeSequence sequence(7000, 7999);
    plan.count = 60;
    const PagerTransfer linkLost{RecordResult::LinkLost, std::nullopt};
    const ProductionReport report =
        runProduction({board("COM3", 0, {}, 2), board("COM4", 3, linkLost), board("COM5", 0, {}, 2)}, plan, sequence,
                      *record);

    EXPECT_EQ(report.written, 60);
    EXPECT_TRUE(report.failed);
    EXPECT_EQ(report.boards[1].written, 2);
    EXPECT_NE(report.boards[1].stopReason.find("link lost"), std::string::npos) << report.boards[1].stopReason;
    EXPECT_TRUE(report.boards[0].stopReason.empty());
    ASSERT_EQ(pagers.written.size(), 60u);
    EXPECT_EQ(pagers.written.begin()->first, 7000u);
    EXPECT_EQ(pagers.written.rbegin()->first, 7059u);
    for (const auto& [capcode, times] : pagers.written)
        EXPECT_EQ(times, 1) << capcode;
    EXPECT_EQ(sequence.peekNext(), 7060u);

    // A write and a verify entry per pager, and the one failed write.
    int writes = 0, verifies = 0, lost = 0;
    for (const RecordEntry& e : entries()) {
        EXPECT_EQ(e.station, "bench");
        if (e.result == RecordResult::LinkLost) {
            ++lost;
            EXPECT_EQ(e.port, "COM4");
            EXPECT_EQ(e.operation, RecordOperation::Write);
        } else if (e.operation == RecordOperation::Write) {
            ++writes;
        } else {
            ++verifies;
        }
    }
    EXPECT_EQ(writes, 60);
    EXPECT_EQ(verifies, 60);
    EXPECT_EQ(lost, 1);
}

TEST_F(ProductionRun, AVerifyErrorKeepsTheCapcodeForTheNextPager)
{
    LocalCapcodeSequence sequence(100, 199);
    plan.count = 5;
    const ProductionReport report =
        runProduction({board("COM3", 2, {RecordResult::Success, RecordResult::VerifyError})}, plan, sequence,
                      *record);
    EXPECT_EQ(report.written, 1);
    EXPECT_TRUE(report.failed);
    EXPECT_EQ(sequence.peekNext(), 101u);
    const auto recorded = entries();
    ASSERT_EQ(recorded.size(), 4u);
    EXPECT_EQ(recorded[2].operation, RecordOperation::Write);
    EXPECT_EQ(recorded[2].result, RecordResult::Success);
    EXPECT_EQ(recorded[3].operation, RecordOperation::Verify);
    EXPECT_EQ(recorded[3].result, RecordResult::VerifyError);
    EXPECT_EQ(recorded[3].firstCapcode, 101);
}

TEST_F(ProductionRun, TheEndOfTheSequenceEndsTheRunWithTheWindowsMessage)
{
    LocalCapcodeSequence sequence(ShortCapcodeLimit - 2, lastCapcodeOfRun(ShortCapcodeLimit - 2, false));
    plan.count = 5;
    const ProductionReport report = runProduction({board("COM3", 0), board("COM4", 0)}, plan, sequence, *record);
    EXPECT_EQ(report.written, 2);
    EXPECT_EQ(report.boards[0].stopReason, "Capcode 1 > 2031615 so can not be increase!");
}

} // namespace
} // namespace px316t
