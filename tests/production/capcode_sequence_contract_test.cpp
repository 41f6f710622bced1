// One contract for every capcode sequence: in memory, a station's own record
// (SQLite) and a batch of the shared database (PostgreSQL, a throw-away
// cluster per test; not in the Windows build, which has no PostgreSQL client),
// the last two also walking an allocation list. The same cases run on each.
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

enum class Backend { Memory, Sqlite, Postgres, SqliteList, PostgresList };

bool walksList(Backend b) { return b == Backend::SqliteList || b == Backend::PostgresList; }
bool shared(Backend b) { return b == Backend::Postgres || b == Backend::PostgresList; }

// A list of `capcodes` in that order, each with its customer "c<capcode>".
AllocationList listOf(const std::vector<std::uint64_t>& capcodes)
{
    AllocationList list;
    for (std::uint64_t c : capcodes)
        list.entries.push_back({c, 2, "c" + std::to_string(c), "", "", {}});
    return list;
}

const ImageSummary kImage{1000, {1000}, 152012500, std::string(64, 'a')};

class CapcodeSequenceContract : public ::testing::TestWithParam<Backend> {
protected:
#ifndef _WIN32
    void SetUp() override
    {
        if (shared(GetParam())) {
            cluster = std::make_unique<testing::PgCluster>();
            ASSERT_TRUE(cluster->ok()) << cluster->error();
        }
    }
    std::string conninfo() const { return cluster->conninfo(); }
    std::unique_ptr<testing::PgCluster> cluster;
#else
    std::string conninfo() const { return {}; }
#endif

    // A new run (another station on the shared database) over first..last, or
    // over a list of them in that order.
    std::shared_ptr<CapcodeSequence> open(std::uint64_t first, std::uint64_t last, const std::string& station)
    {
        std::vector<std::uint64_t> capcodes;
        for (std::uint64_t c = first; walksList(GetParam()) && c <= last; ++c)
            capcodes.push_back(c);
        return open(capcodes, first, last, station);
    }
    std::shared_ptr<CapcodeSequence> open(const std::vector<std::uint64_t>& capcodes, std::uint64_t first,
                                          std::uint64_t last, const std::string& station)
    {
        const LocalList list{"contract.csv", listOf(capcodes)};
        switch (GetParam()) {
        case Backend::Memory:
            return std::make_shared<LocalCapcodeSequence>(first, last);
        case Backend::Sqlite: {
            auto opened = SqliteCapcodeSequence::open(recordPath(), station, first, last);
            EXPECT_TRUE(opened.ok()) << opened.message();
            return opened.ok() ? std::move(opened.value()) : nullptr;
        }
        case Backend::SqliteList: {
            auto opened = SqliteCapcodeSequence::open(recordPath(), station, 0, 0, &list);
            EXPECT_TRUE(opened.ok()) << opened.message();
            return opened.ok() ? std::move(opened.value()) : nullptr;
        }
        case Backend::Postgres:
        case Backend::PostgresList:
            // Refused once it exists.
            if (auto db = PgConnection::open(conninfo()); db.ok() && GetParam() == Backend::Postgres)
                createBatch(*db.value(), BatchSpec{"contract", first, last, true});
            else if (db.ok())
                createListBatch(*db.value(), "contract", list.list, list.file);
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
        if (!shared(GetParam()))
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

// The same sequences, where they walk a list.
class ListSequenceContract : public CapcodeSequenceContract {};

TEST_P(ListSequenceContract, AListIsWalkedInItsOrderAndAGivenBackCapcodeByItsPlace)
{
    auto sequence = open({1005, 1001, 1009, 1003}, 0, 0, "bench-1");
    ASSERT_TRUE(sequence);
    std::vector<Reservation> held;
    for (int i = 0; i < 3; ++i)
        held.push_back(sequence->reserveNext().value());
    EXPECT_EQ(held[2].capcode, 1009u);
    EXPECT_EQ(held[2].listed.customer, "c1009");
    EXPECT_EQ(held[2].listed.list, "contract.csv");
    ASSERT_TRUE(sequence->giveBack(held[2]).ok());
    ASSERT_TRUE(sequence->giveBack(held[0]).ok());
    EXPECT_EQ(next(*sequence), 1005u);
    EXPECT_EQ(sequence->listColumnsOf(1003).value().customer, "c1003");
    std::vector<std::uint64_t> order;
    for (auto r = sequence->reserveNext(); r.ok(); r = sequence->reserveNext())
        order.push_back(r.value().capcode);
    EXPECT_EQ(order, (std::vector<std::uint64_t>{1005, 1009, 1003}));
    EXPECT_TRUE(sequence->exhausted());
}

std::string backendName(const ::testing::TestParamInfo<Backend>& info)
{
    switch (info.param) {
    case Backend::Memory: return "InMemory";
    case Backend::Sqlite: return "StationRecord";
    case Backend::Postgres: return "SharedBatch";
    case Backend::SqliteList: return "StationRecordList";
    case Backend::PostgresList: break;
    }
    return "SharedBatchList";
}

#ifdef _WIN32
INSTANTIATE_TEST_SUITE_P(EveryBackend, CapcodeSequenceContract,
                         ::testing::Values(Backend::Memory, Backend::Sqlite, Backend::SqliteList), backendName);
INSTANTIATE_TEST_SUITE_P(EveryListBackend, ListSequenceContract, ::testing::Values(Backend::SqliteList), backendName);
#else
INSTANTIATE_TEST_SUITE_P(EveryBackend, CapcodeSequenceContract,
                         ::testing::Values(Backend::Memory, Backend::Sqlite, Backend::Postgres, Backend::SqliteList,
                                           Backend::PostgresList),
                         backendName);
INSTANTIATE_TEST_SUITE_P(EveryListBackend, ListSequenceContract,
                         ::testing::Values(Backend::SqliteList, Backend::PostgresList), backendName);
#endif

} // namespace
} // namespace px316t
