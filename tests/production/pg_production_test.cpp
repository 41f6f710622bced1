// Against a real PostgreSQL server: a throw-away cluster per test.
#include "production/pg_production.h"
#include "production/station_recovery.h"

#include "editor/capcode_codec.h"
#include "support/pg_cluster.h"
#include "production_test_folder.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <random>
#include <thread>

namespace px316t {
namespace {

using testing::PgCluster;
using testing::ProductionFolder;

PagerTable imageFor(std::uint64_t capcode)
{
    PagerTable image{};
    storeCapcode(image, 0, static_cast<double>(capcode), false);
    setCapcodeEnabled(image, 0, true);
    writeBigEndian32(image, 0xF4, 1520125);
    return image;
}

class SharedProduction : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(cluster.ok()) << cluster.error(); }

    long long count(const std::string& sql)
    {
        auto connection = PgConnection::open(cluster.conninfo());
        EXPECT_TRUE(connection.ok());
        if (!connection.ok())
            return -1;
        auto rows = connection.value()->exec(sql);
        EXPECT_TRUE(rows.ok()) << rows.message();
        return rows.ok() ? rows.value().integer(0, 0) : -1;
    }

    PgCluster cluster;
    ProductionFolder folder;
};

TEST_F(SharedProduction, FourStationsWriteEveryCapcodeOfTheBatchExactlyOnce)
{
    constexpr std::uint64_t first = 1200000;
    constexpr int pagers = 200;
    auto local = SqliteRecordStore::open(folder.path() / "production.sqlite");
    ASSERT_TRUE(local.ok());
    std::shared_ptr<SqliteRecordStore> localRecord = std::move(local.value());

    std::mutex mutex;
    std::map<std::uint64_t, int> writtenInto;   // capcode -> pagers that got it
    std::atomic<int> faults{0};
    std::vector<std::string> problems;
    std::vector<std::thread> stations;
    for (int s = 0; s < 4; ++s) {
        stations.emplace_back([&, s] {
            const std::string station = "station-" + std::to_string(s);
            auto note = [&](const std::string& problem) {
                const std::lock_guard lock(mutex);
                problems.push_back(station + ": " + problem);
            };
            auto sequence = PgCapcodeSequence::open(cluster.conninfo(), BatchSpec{"B1", first, first + pagers - 1},
                                                    station);
            auto shared = PgRecordStore::open(cluster.conninfo());
            if (!sequence.ok() || !shared.ok())
                return note(sequence.ok() ? shared.message() : sequence.message());
            RecordFanOut record;
            record.add(localRecord);
            record.add(std::move(shared.value()));
            std::mt19937 random(1000 + s);
            for (;;) {
                auto reservation = sequence.value()->reserveNext();
                if (!reservation.ok()) {
                    if (reservation.message().find("no capcode left") == std::string::npos)
                        note(reservation.message());
                    return;
                }
                const std::uint64_t capcode = reservation.value().capcode;
                const PagerTable image = imageFor(capcode);
                RecordEntry entry = entryForImage(image, RecordOperation::Write, RecordResult::Success, station,
                                                  "COM" + std::to_string(s + 3));
                entry.batch = "B1";
                if (random() % 20 == 0) {   // 5 % of the writes fail
                    static constexpr RecordResult kinds[] = {RecordResult::VerifyError, RecordResult::LinkLost,
                                                             RecordResult::TimeOut};
                    entry.result = kinds[faults++ % 3];
                    entry.operation = entry.result == RecordResult::VerifyError ? RecordOperation::Verify
                                                                                : RecordOperation::Write;
                    if (!record.append(entry).ok())
                        note("record");
                    if (Status st = sequence.value()->giveBack(reservation.value()); !st.ok())
                        note(st.message());
                    continue;
                }
                {
                    const std::lock_guard lock(mutex);
                    ++writtenInto[capcode];
                }
                entry.operation = RecordOperation::Verify;
                if (!record.append(entry).ok())
                    note("record");
                if (Status st = sequence.value()->markUsed(reservation.value()); !st.ok())
                    note(st.message());
            }
        });
    }
    for (auto& t : stations)
        t.join();
    EXPECT_TRUE(problems.empty()) << problems.front();
    ASSERT_EQ(writtenInto.size(), static_cast<std::size_t>(pagers));
    EXPECT_EQ(writtenInto.begin()->first, first);
    EXPECT_EQ(writtenInto.rbegin()->first, first + pagers - 1);
    for (const auto& [capcode, times] : writtenInto)
        EXPECT_EQ(times, 1) << "capcode " << capcode;
    EXPECT_GT(faults.load(), 0);

    // Every failure is in both records; the batch holds 200 used capcodes.
    EXPECT_EQ(count("SELECT count(*) FROM px316t_record WHERE result <> 'success'"), faults.load());
    EXPECT_EQ(count("SELECT count(*) FROM px316t_record WHERE result = 'success'"), pagers);
    EXPECT_EQ(count("SELECT count(*) FROM px316t_reservation WHERE batch = 'B1' AND state = 'used'"), pagers);
    EXPECT_EQ(count("SELECT count(*) FROM px316t_reservation WHERE state <> 'used'"), 0);
    auto localEntries = localRecord->list(std::nullopt);
    ASSERT_TRUE(localEntries.ok());
    EXPECT_EQ(localEntries.value().size(), static_cast<std::size_t>(pagers + faults.load()));
}

TEST_F(SharedProduction, AStationKilledAfterReservingGetsItsCapcodeBackAtItsNextStart)
{
    QProcess child;
    child.start(QStringLiteral(PX316T_PRODUCTION_CHILD),
                {QStringLiteral("reserve"), QString::fromStdString(cluster.conninfo()), QStringLiteral("B2"),
                 QStringLiteral("bench-1")});
    ASSERT_TRUE(child.waitForReadyRead(20000)) << child.readAllStandardError().toStdString();
    const std::uint64_t held = child.readLine().trimmed().toULongLong();
    EXPECT_EQ(held, 1000u);
    child.kill();
    ASSERT_TRUE(child.waitForFinished(5000));

    // Another station goes on with the next number; the held one is not handed out twice.
    auto other = PgCapcodeSequence::open(cluster.conninfo(), BatchSpec{"B2", 1000, 1999}, "bench-2");
    ASSERT_TRUE(other.ok()) << other.message();
    auto next = other.value()->reserveNext();
    ASSERT_TRUE(next.ok());
    EXPECT_EQ(next.value().capcode, 1001u);
    ASSERT_TRUE(other.value()->markUsed(next.value()).ok());

    // The killed station starts again: its reservation goes back and the record says so.
    auto local = SqliteRecordStore::open(folder.path() / "production.sqlite");
    ASSERT_TRUE(local.ok());
    auto restarted = PgCapcodeSequence::open(cluster.conninfo(), BatchSpec{"B2", 1000, 1999}, "bench-1");
    ASSERT_TRUE(restarted.ok());
    auto recovered = recoverStation(*restarted.value(), *local.value(), *local.value(), "bench-1");
    ASSERT_TRUE(recovered.ok()) << recovered.message();
    ASSERT_EQ(recovered.value().size(), 1u);
    EXPECT_EQ(recovered.value()[0].capcode, 1000u);
    EXPECT_FALSE(recovered.value()[0].written);
    auto entries = local.value()->list(std::nullopt);
    ASSERT_TRUE(entries.ok());
    ASSERT_EQ(entries.value().size(), 1u);
    EXPECT_EQ(entries.value()[0].result, RecordResult::Abandoned);
    EXPECT_EQ(entries.value()[0].firstCapcode, 1000);
    EXPECT_EQ(entries.value()[0].batch, "B2");

    // The returned capcode is the next one written, by whichever station asks first.
    auto again = other.value()->reserveNext();
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.value().capcode, 1000u);
    EXPECT_EQ(other.value()->peekNext(), 1002u);
}

TEST_F(SharedProduction, AReservationWrittenBeforeTheStationStoppedIsMarkedUsedNotReturned)
{
    auto local = SqliteRecordStore::open(folder.path() / "production.sqlite");
    ASSERT_TRUE(local.ok());
    {
        auto station = PgCapcodeSequence::open(cluster.conninfo(), BatchSpec{"B3", 50, 99}, "bench-1");
        ASSERT_TRUE(station.ok());
        auto reservation = station.value()->reserveNext();
        ASSERT_TRUE(reservation.ok());
        RecordEntry verified = entryForImage(imageFor(reservation.value().capcode), RecordOperation::Verify,
                                             RecordResult::Success, "bench-1", "COM3");
        verified.batch = "B3";
        ASSERT_TRUE(local.value()->append(verified).ok());
        // The station stops here, before it could mark the capcode used.
    }
    auto restarted = PgCapcodeSequence::open(cluster.conninfo(), BatchSpec{"B3", 50, 99}, "bench-1");
    ASSERT_TRUE(restarted.ok());
    auto recovered = recoverStation(*restarted.value(), *local.value(), *local.value(), "bench-1");
    ASSERT_TRUE(recovered.ok());
    ASSERT_EQ(recovered.value().size(), 1u);
    EXPECT_TRUE(recovered.value()[0].written);
    auto next = restarted.value()->reserveNext();
    ASSERT_TRUE(next.ok());
    EXPECT_EQ(next.value().capcode, 51u);
}

TEST_F(SharedProduction, ADatabaseThatGoesAwayStopsTheStationBeforeTheNextPager)
{
    auto sequence = PgCapcodeSequence::open(cluster.conninfo(), BatchSpec{"B4", 10, 20}, "bench-1");
    ASSERT_TRUE(sequence.ok());
    auto first = sequence.value()->reserveNext();
    ASSERT_TRUE(first.ok());
    ASSERT_TRUE(sequence.value()->markUsed(first.value()).ok());
    cluster.stop();
    auto refused = sequence.value()->reserveNext();
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.message().find("production database"), std::string::npos) << refused.message();

    auto unreachable = PgCapcodeSequence::open(cluster.conninfo(), BatchSpec{"B4", 10, 20}, "bench-2");
    ASSERT_FALSE(unreachable.ok());
    EXPECT_NE(unreachable.message().find("could not be reached"), std::string::npos) << unreachable.message();
}

TEST_F(SharedProduction, TheSharedRecordListsWhatEveryStationAppended)
{
    auto shared = PgRecordStore::open(cluster.conninfo());
    ASSERT_TRUE(shared.ok()) << shared.message();
    const auto base = std::chrono::sys_days(std::chrono::year(2026) / 12 / 7);
    for (int i = 0; i < 3; ++i) {
        RecordEntry e = entryForImage(imageFor(300 + i), RecordOperation::Write, RecordResult::Success,
                                      "bench'; DROP TABLE px316t_record; --", "COM9");
        e.time = base + std::chrono::minutes(10 * i) + std::chrono::milliseconds(250);
        ASSERT_TRUE(shared.value()->append(e).ok());
    }
    auto since = shared.value()->list(base + std::chrono::minutes(10));
    ASSERT_TRUE(since.ok()) << since.message();
    ASSERT_EQ(since.value().size(), 2u);
    EXPECT_EQ(since.value()[0].time, base + std::chrono::minutes(10) + std::chrono::milliseconds(250));
    EXPECT_EQ(since.value()[0].firstCapcode, 301);
    EXPECT_EQ(since.value()[0].station, "bench'; DROP TABLE px316t_record; --");
    EXPECT_EQ(shared.value()->list(std::nullopt).value().size(), 3u);
}

} // namespace
} // namespace px316t
