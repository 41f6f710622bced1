// One contract for every capcode sequence: in memory, a station's own record
// (SQLite) and a batch of the shared database (PostgreSQL, a throw-away
// cluster per test; not in the Windows build, which has no PostgreSQL client).
// The same cases run on each.
#include "production/local_sequence.h"
#include "production/pg_production.h"
#include "production/sqlite_record_store.h"

#include "production_test_folder.h"
#ifndef _WIN32
#include "support/pg_cluster.h"
#endif

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <random>
#include <thread>

namespace px316t {
namespace {

enum class Backend { Memory, Sqlite, Postgres };

const ImageSummary kImage{1000, {1000}, 152012500, std::string(64, 'a')};

class CapcodeSequenceContract : public ::testing::TestWithParam<Backend> {
protected:
#ifndef _WIN32
    void SetUp() override
    {
        if (GetParam() == Backend::Postgres) {
            cluster = std::make_unique<testing::PgCluster>();
            ASSERT_TRUE(cluster->ok()) << cluster->error();
        }
    }
    std::string conninfo() const { return cluster->conninfo(); }
    std::unique_ptr<testing::PgCluster> cluster;
#else
    std::string conninfo() const { return {}; }
#endif

    // A new run (another station on the shared database) over first..last.
    std::shared_ptr<CapcodeSequence> open(std::uint64_t first, std::uint64_t last, const std::string& station)
    {
        switch (GetParam()) {
        case Backend::Memory:
            return std::make_shared<LocalCapcodeSequence>(first, last);
        case Backend::Sqlite: {
            auto opened = SqliteCapcodeSequence::open(recordPath(), station, first, last);
            EXPECT_TRUE(opened.ok()) << opened.message();
            return opened.ok() ? std::move(opened.value()) : nullptr;
        }
        case Backend::Postgres:
            if (auto db = PgConnection::open(conninfo()); db.ok())
                createBatch(*db.value(), BatchSpec{"contract", first, last});   // refused once it exists
            auto opened = PgCapcodeSequence::open(conninfo(), "contract", station);
            EXPECT_TRUE(opened.ok()) << opened.message();
            return opened.ok() ? std::move(opened.value()) : nullptr;
        }
        return nullptr;
    }
    std::vector<RecoveredReservation> recovered(CapcodeSequence& sequence)
    {
        if (auto* local = dynamic_cast<SqliteCapcodeSequence*>(&sequence))
            return local->recovered();
        return dynamic_cast<PgCapcodeSequence&>(sequence).recovered();
    }
    std::vector<RecordEntry> recordEntries()
    {
        Outcome<std::vector<RecordEntry>> listed = Failure{"no record"};
        if (GetParam() == Backend::Sqlite)
            listed = SqliteRecordStore::open(recordPath()).value()->list(std::nullopt);
        else
            listed = PgRecordStore::open(conninfo()).value()->list(std::nullopt);
        EXPECT_TRUE(listed.ok()) << listed.message();
        return listed.ok() ? listed.value() : std::vector<RecordEntry>{};
    }
    std::filesystem::path recordPath() const { return folder.path() / "production.sqlite"; }

    testing::ProductionFolder folder;
};

std::optional<std::uint64_t> next(CapcodeSequence& sequence)
{
    auto peeked = sequence.peekNext();
    EXPECT_TRUE(peeked.ok()) << peeked.message();
    return peeked.ok() ? peeked.value() : std::nullopt;
}

TEST_P(CapcodeSequenceContract, MovesEachCapcodeOnceAndHandsAGivenBackOneOutFirst)
{
    auto sequence = open(1000, 1999, "bench-1");
    ASSERT_TRUE(sequence);
    auto a = sequence->reserveNext();
    ASSERT_TRUE(a.ok()) << a.message();
    EXPECT_EQ(a.value().capcode, 1000u);
    ASSERT_TRUE(sequence->beginWriting(a.value(), {"COM3", kImage}).ok());
    ASSERT_TRUE(sequence->markUsed(a.value()).ok());
    EXPECT_EQ(next(*sequence), 1001u);

    auto b = sequence->reserveNext();
    ASSERT_TRUE(b.ok());
    ASSERT_TRUE(sequence->giveBack(b.value()).ok());   // its write never began
    EXPECT_EQ(next(*sequence), 1001u);
    auto again = sequence->reserveNext();
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.value().capcode, 1001u);
    ASSERT_TRUE(sequence->beginWriting(again.value(), {"COM3", kImage}).ok());
    ASSERT_TRUE(sequence->markUncertain(again.value(), "the verify failed").ok());
    EXPECT_EQ(next(*sequence), 1002u) << "an uncertain capcode is never handed out again";

    // A finished reservation moves no more.
    EXPECT_FALSE(sequence->giveBack(a.value()).ok());
    EXPECT_FALSE(sequence->markUncertain(a.value(), "late").ok());
    EXPECT_FALSE(sequence->beginWriting(again.value(), {"COM3", kImage}).ok());
    EXPECT_FALSE(sequence->giveBack(again.value()).ok());
}

TEST_P(CapcodeSequenceContract, TheLastCapcodeLeavesTheSequenceExhausted)
{
    auto sequence = open(2031613, 2031614, "bench-1");
    ASSERT_TRUE(sequence);
    for (std::uint64_t expected : {2031613u, 2031614u}) {
        auto r = sequence->reserveNext();
        ASSERT_TRUE(r.ok()) << r.message();
        EXPECT_EQ(r.value().capcode, expected);
        ASSERT_TRUE(sequence->beginWriting(r.value(), {"COM3", kImage}).ok());
        ASSERT_TRUE(sequence->markUsed(r.value()).ok());
    }
    EXPECT_EQ(next(*sequence), std::nullopt);
    EXPECT_FALSE(sequence->reserveNext().ok());
    EXPECT_TRUE(sequence->exhausted());
}

TEST_P(CapcodeSequenceContract, BoardsOnThreadsTakeEveryCapcodeOnceWithoutGaps)
{
    constexpr std::uint64_t first = 500;
    constexpr std::uint64_t count = 200;
    auto sequence = open(first, first + count - 1, "bench-1");
    ASSERT_TRUE(sequence);
    std::mutex mutex;
    std::map<std::uint64_t, int> written;
    std::vector<std::thread> boards;
    for (int board = 0; board < 4; ++board) {
        boards.emplace_back([&, board] {
            std::mt19937 random(board);
            for (;;) {
                auto r = sequence->reserveNext();
                if (!r.ok())
                    return;
                if (random() % 10 == 0) {   // the board's port did not open
                    ASSERT_TRUE(sequence->giveBack(r.value()).ok());
                    continue;
                }
                ASSERT_TRUE(sequence->beginWriting(r.value(), {"COM3", kImage}).ok());
                {
                    const std::lock_guard lock(mutex);
                    ++written[r.value().capcode];
                }
                ASSERT_TRUE(sequence->markUsed(r.value()).ok());
            }
        });
    }
    for (auto& b : boards)
        b.join();
    ASSERT_EQ(written.size(), count);
    EXPECT_EQ(written.begin()->first, first);
    EXPECT_EQ(written.rbegin()->first, first + count - 1);
    for (const auto& [capcode, times] : written)
        EXPECT_EQ(times, 1) << capcode;
}

TEST_P(CapcodeSequenceContract, ARunThatEndsWithoutFinishingIsRecoveredAndRecordedByTheNext)
{
    if (GetParam() == Backend::Memory)
        GTEST_SKIP() << "nothing of a sequence in memory outlives it";
    {
        auto gone = open(1000, 1999, "bench-1");
        ASSERT_TRUE(gone);
        auto reserved = gone->reserveNext();
        auto writing = gone->reserveNext();
        ASSERT_TRUE(reserved.ok() && writing.ok());
        ASSERT_TRUE(gone->beginWriting(writing.value(), {"COM4", kImage}).ok());
    }   // stops here, as a killed run does: its lock ends with it
    auto next = open(1000, 1999, "bench-2");
    ASSERT_TRUE(next);
    std::map<std::uint64_t, ReservationState> found;
    for (const RecoveredReservation& r : recovered(*next))
        found[r.capcode] = r.state;
    EXPECT_EQ(found, (std::map<std::uint64_t, ReservationState>{{1000, ReservationState::Returned},
                                                                 {1001, ReservationState::Uncertain}}));
    // The never-written one comes back, the other never does.
    EXPECT_EQ(next->reserveNext().value().capcode, 1000u);
    EXPECT_EQ(next->reserveNext().value().capcode, 1002u);
    // Each recovery's entry committed with it.
    std::map<std::int64_t, RecordResult> recorded;
    for (const RecordEntry& e : recordEntries())
        recorded[e.firstCapcode.value_or(0)] = e.result;
    EXPECT_EQ(recorded, (std::map<std::int64_t, RecordResult>{{1000, RecordResult::Returned},
                                                               {1001, RecordResult::Uncertain}}));
}

INSTANTIATE_TEST_SUITE_P(EveryBackend, CapcodeSequenceContract,
#ifdef _WIN32
                         ::testing::Values(Backend::Memory, Backend::Sqlite),
#else
                         ::testing::Values(Backend::Memory, Backend::Sqlite, Backend::Postgres),
#endif
                         [](const auto& info) {
                             return std::string(info.param == Backend::Memory   ? "InMemory"
                                                : info.param == Backend::Sqlite ? "StationRecord"
                                                                                : "SharedBatch");
                         });

} // namespace
} // namespace px316t
