// Against a real PostgreSQL server: a throw-away cluster per test.
#include "production/pg_production.h"
#include "production/sqlite_record_store.h"

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
    {
        auto admin = PgConnection::open(cluster.conninfo());
        ASSERT_TRUE(admin.ok());
        ASSERT_TRUE(createBatch(*admin.value(), BatchSpec{"B1", first, first + pagers - 1}).ok());
    }
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
            auto sequence = PgCapcodeSequence::open(cluster.conninfo(), "B1", station);
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
                if (Status st = sequence.value()->beginWriting(reservation.value(), {"COM1", summarizeImage(image)});
                    !st.ok())
                    return note(st.message());
                RecordEntry entry = entryForImage(image, RecordOperation::Write, RecordResult::Success, station,
                                                  "COM" + std::to_string(s + 3));
                entry.batch = "B1";
                if (random() % 20 == 0) {   // 5 % of the boards fail before their first frame
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

Outcome<std::unique_ptr<PgCapcodeSequence>> openStation(const PgCluster& cluster, const std::string& batch,
                                                        const std::string& station)
{
    return PgCapcodeSequence::open(cluster.conninfo(), batch, station);
}

std::map<std::uint64_t, std::string> statesOf(const PgCluster& cluster, const std::string& batch)
{
    std::map<std::uint64_t, std::string> states;
    auto db = PgConnection::open(cluster.conninfo());
    if (!db.ok())
        return states;
    auto rows = db.value()->exec("SELECT capcode, state FROM px316t_reservation WHERE batch = $1", {batch});
    for (int i = 0; rows.ok() && i < rows.value().count(); ++i)
        states[static_cast<std::uint64_t>(rows.value().integer(i, 0))] = rows.value().text(i, 1);
    return states;
}

TEST_F(SharedProduction, AStationThatIsGoneLeavesReservedCapcodesReturnedAndWritingOnesUncertain)
{
    // A killed process (its session ends with it), and stations whose objects
    // end without finishing their reservation.
    QProcess child;
    child.start(QStringLiteral(PX316T_PRODUCTION_CHILD),
                {QStringLiteral("reserve"), QString::fromStdString(cluster.conninfo()), QStringLiteral("B2"),
                 QStringLiteral("bench-1"), QStringLiteral("writing")});
    ASSERT_TRUE(child.waitForReadyRead(20000)) << child.readAllStandardError().toStdString();
    EXPECT_EQ(child.readLine().trimmed().toULongLong(), 1000u);

    // While it runs, another station neither touches its capcode nor gets it.
    auto other = openStation(cluster, "B2", "bench-2");
    ASSERT_TRUE(other.ok()) << other.message();
    EXPECT_TRUE(other.value()->recovered().empty());
    auto next = other.value()->reserveNext();
    ASSERT_TRUE(next.ok());
    EXPECT_EQ(next.value().capcode, 1001u);
    {
        auto reserving = openStation(cluster, "B2", "bench-3");
        ASSERT_TRUE(reserving.ok());
        ASSERT_EQ(reserving.value()->reserveNext().value().capcode, 1002u);
        auto writing = openStation(cluster, "B2", "bench-4");
        auto held = writing.value()->reserveNext();
        ASSERT_EQ(held.value().capcode, 1003u);
        ASSERT_TRUE(writing.value()->beginWriting(held.value(), {"COM4", summarizeImage(imageFor(1003))}).ok());
        child.kill();
        ASSERT_TRUE(child.waitForFinished(5000));
    }   // both end here, as a station stopped before and one stopped while writing

    // Whoever starts next recovers them, and records each with what the pager may hold.
    auto restarted = openStation(cluster, "B2", "bench-5");
    ASSERT_TRUE(restarted.ok());
    std::map<std::uint64_t, RecoveredReservation> recovered;
    for (const RecoveredReservation& r : restarted.value()->recovered())
        recovered[r.capcode] = r;
    ASSERT_EQ(recovered.size(), 3u);
    EXPECT_EQ(recovered[1000].state, ReservationState::Uncertain);
    EXPECT_EQ(recovered[1000].station, "bench-1");
    EXPECT_EQ(recovered[1002].state, ReservationState::Returned);
    EXPECT_EQ(recovered[1003].state, ReservationState::Uncertain);
    const RecordEntry entry = recoveryEntry(recovered[1003], "bench-5");
    EXPECT_EQ(entry.result, RecordResult::Uncertain);
    EXPECT_EQ(entry.sha256, summarizeImage(imageFor(1003)).sha256);
    EXPECT_EQ(entry.capcodes, (std::vector<std::int64_t>{1003}));
    EXPECT_EQ(entry.frequencyHz, 152012500);
    EXPECT_EQ(entry.port, "COM4");
    EXPECT_NE(entry.note.find("may hold it"), std::string::npos) << entry.note;

    // Only the never-written capcode comes back; the uncertain ones never do.
    std::vector<std::uint64_t> handed;
    for (int i = 0; i < 3; ++i)
        handed.push_back(restarted.value()->reserveNext().value().capcode);
    EXPECT_EQ(handed, (std::vector<std::uint64_t>{1002, 1004, 1005}));
    EXPECT_EQ(statesOf(cluster, "B2")[1000], "uncertain");
    EXPECT_EQ(statesOf(cluster, "B2")[1001], "reserved");   // bench-2 still runs
}

TEST_F(SharedProduction, ASecondStationWithTheNameOfALiveOneIsRefusedAndTakesNothing)
{
    auto admin = PgConnection::open(cluster.conninfo());
    ASSERT_TRUE(createBatch(*admin.value(), BatchSpec{"B5", 1500000, 1500099}).ok());
    auto first = openStation(cluster, "B5", "line-pc");
    ASSERT_TRUE(first.ok());
    auto held = first.value()->reserveNext();
    ASSERT_TRUE(held.ok());

    auto second = openStation(cluster, "B5", "line-pc");
    ASSERT_FALSE(second.ok());
    EXPECT_TRUE(second.refused());
    EXPECT_NE(second.message().find("is running already"), std::string::npos) << second.message();
    // The first station's reservation is still its own: it writes it.
    EXPECT_TRUE(first.value()->beginWriting(held.value(), {"COM3", summarizeImage(imageFor(1500000))}).ok());
    EXPECT_TRUE(first.value()->markUsed(held.value()).ok());

    first.value().reset();
    auto later = openStation(cluster, "B5", "line-pc");
    ASSERT_TRUE(later.ok()) << "the name is free once its station is gone";
    EXPECT_EQ(later.value()->reserveNext().value().capcode, 1500001u);
}

TEST_F(SharedProduction, BatchesAreCreatedExplicitlyAndUnknownOrOverlappingOnesAreRefused)
{
    auto admin = PgConnection::open(cluster.conninfo());
    ASSERT_TRUE(admin.ok());
    ASSERT_TRUE(createBatch(*admin.value(), BatchSpec{"tray-17", 1600000, 1600099}).ok());
    struct Case {
        BatchSpec wanted;
        const char* said;
    } refusedBatches[] = {
        {{"tray-17", 1700000, 1700099}, "exists already"},
        {{"Tray-17", 1700000, 1700099}, "only in case or spaces"},
        {{"tray-18", 1600050, 1600199}, "overlaps the batch \"tray-17\""},
        {{"tray-19", 1500000, 1600000}, "overlaps"},
        {{"Tray-17 ", 1800000, 1800099}, "begin or end with a space"},
        {{"tray-17\u00a0", 1800000, 1800099}, "begin or end with a space"},   // a no-break space
        {{"\u3000tray-18", 1800000, 1800099}, "begin or end with a space"},
        {{"tray\u2009-17", 1800000, 1800099}, "only in case or spaces"},       // a thin space
        {{"TRAY-1\u200b7", 1800000, 1800099}, "only in case or spaces"},       // a zero-width one
        {{"tray-20", 1900010, 1900000}, "above its last"},
    };
    for (const Case& c : refusedBatches) {
        const Status s = createBatch(*admin.value(), c.wanted);
        EXPECT_FALSE(s.ok()) << c.wanted.name;
        EXPECT_TRUE(s.refused()) << c.wanted.name;
        EXPECT_NE(s.message().find(c.said), std::string::npos) << s.message();
    }
    for (const char* mistyped : {"tray-71", "Tray-17 ", "TRAY-17", "tray-17\u00a0", ""}) {
        auto station = openStation(cluster, mistyped, "bench");
        ASSERT_FALSE(station.ok()) << mistyped;
        EXPECT_TRUE(station.refused()) << mistyped;
    }
    EXPECT_TRUE(statesOf(cluster, "tray-17").empty()) << "a refused station reserved nothing";
    EXPECT_EQ(listBatches(*admin.value()).value().size(), 1u);

    // FLEX's own addresses only when allowed; a list and a range never share a
    // capcode, though a range may lie in a list's gaps.
    EXPECT_NE(createBatch(*admin.value(), BatchSpec{"flex", 1933000, 1933400}).message().find("FLEX keeps"),
              std::string::npos);
    EXPECT_TRUE(createBatch(*admin.value(), BatchSpec{"flex", 1933000, 1933400, true}).ok());
    AllocationList listA;
    for (std::uint64_t c : {1700005, 1700001, 1700009})
        listA.entries.push_back({c, 2, "ACME", "", "", {}});
    ASSERT_TRUE(createListBatch(*admin.value(), "list-a", listA, "a.csv").ok());
    struct Overlap {
        std::vector<std::uint64_t> list;   // empty: the range below
        BatchSpec range;
        const char* said;
    } overlaps[] = {
        {{1650000, 1600050, 1600051}, {}, "The list b.csv overlaps the batch \"tray-17\" in capcodes 1600050-1600051"},
        {{1700009, 1700002, 1933100}, {}, "overlaps the batch \"flex\" in capcodes 1933100 and the batch \"list-a\" "
                                          "in capcodes 1700009"},
        {{}, {"r", 1700000, 1700003}, "The range 1700000..1700003 overlaps the batch \"list-a\" in capcodes 1700001"},
    };
    for (const Overlap& o : overlaps) {
        AllocationList list;
        for (std::uint64_t c : o.list)
            list.entries.push_back({c, 2, "", "", "", {}});
        const Status s = o.list.empty() ? createBatch(*admin.value(), o.range)
                                        : createListBatch(*admin.value(), "list-b", list, "b.csv");
        EXPECT_TRUE(s.refused()) << s.message();
        EXPECT_NE(s.message().find(o.said), std::string::npos) << s.message();
    }
    EXPECT_TRUE(createBatch(*admin.value(), BatchSpec{"in-the-gap", 1700002, 1700004}).ok());
    auto shown = describeBatch(*admin.value(), "list-a");
    ASSERT_TRUE(shown.ok()) << shown.message();
    EXPECT_EQ(shown.value().left, 3);
    EXPECT_EQ(shown.value().coming.front().capcode, 1700005u);
    EXPECT_EQ(shown.value().coming.front().customer, "ACME");
    EXPECT_EQ(listBatches(*admin.value()).value().size(), 4u) << "no refused list left a batch behind";
}

TEST_F(SharedProduction, AnOlderDatabaseIsBroughtUpToDateInPlace)
{
    {
        auto made = PgRecordStore::open(cluster.conninfo());
        ASSERT_TRUE(made.ok()) << made.message();
    }
    // Back to the tables of the previous version, with an entry of its time.
    auto admin = PgConnection::open(cluster.conninfo());
    ASSERT_TRUE(admin.value()
                    ->run("DROP TABLE px316t_batch_capcode;"
                          "ALTER TABLE px316t_batch DROP COLUMN list_file, DROP COLUMN list_size,"
                          " DROP COLUMN next_position, DROP COLUMN extra_columns;"
                          "ALTER TABLE px316t_reservation DROP COLUMN operator, DROP COLUMN program_version,"
                          " DROP COLUMN table_file, DROP COLUMN table_sha256;"
                          "ALTER TABLE px316t_record DROP COLUMN operator, DROP COLUMN program_version,"
                          " DROP COLUMN table_file, DROP COLUMN table_sha256, DROP COLUMN list_file,"
                          " DROP COLUMN customer, DROP COLUMN order_ref, DROP COLUMN label, DROP COLUMN list_extra;"
                          "UPDATE px316t_schema SET version = 2;"
                          "INSERT INTO px316t_batch (name, first_capcode, last_capcode, next_capcode)"
                          " VALUES ('old', 1000, 1999, 1000);"
                          "INSERT INTO px316t_record (time_utc, station, port, operation, batch, capcodes,"
                          " frequency_hz, result, sha256, note) VALUES (now(), 'old', 'COM1', 'write', 'old', '',"
                          " 0, 'success', '', 'before')")
                    .ok());
    auto station = openStation(cluster, "old", "bench-1");
    ASSERT_TRUE(station.ok()) << station.message();
    auto held = station.value()->reserveNext();
    ASSERT_TRUE(held.ok()) << held.message();
    EntrySource source{"ann", "5.02", "a.tbl", "ab"};
    ASSERT_TRUE(station.value()->beginWriting(held.value(), {"COM2", summarizeImage(imageFor(1000)), source}).ok());
    auto shared = PgRecordStore::open(cluster.conninfo());
    RecordEntry e = entryForImage(imageFor(1000), RecordOperation::Write, RecordResult::Success, "bench-1", "COM2");
    e.source = source;
    ASSERT_TRUE(shared.value()->append(e).ok());
    const auto entries = shared.value()->list(std::nullopt);
    ASSERT_TRUE(entries.ok()) << entries.message();
    ASSERT_EQ(entries.value().size(), 2u);
    EXPECT_EQ(entries.value()[0].note, "before");
    EXPECT_EQ(entries.value()[1].source.operatorName, "ann");
    EXPECT_EQ(entries.value()[1].source.tableFile, "a.tbl");
}

TEST_F(SharedProduction, ReleasingAStationThatNeverComesBackListsItsCapcodesAndTakesThemFromIt)
{
    // The station's process still runs (as one whose network went away would
    // seem to), holding one capcode it was writing and one only reserved.
    QProcess writing;
    writing.start(QStringLiteral(PX316T_PRODUCTION_CHILD),
                  {QStringLiteral("reserve"), QString::fromStdString(cluster.conninfo()), QStringLiteral("B9"),
                   QStringLiteral("gone"), QStringLiteral("writing")});
    ASSERT_TRUE(writing.waitForReadyRead(20000)) << writing.readAllStandardError().toStdString();
    auto station = openStation(cluster, "B9", "other");
    ASSERT_TRUE(station.ok());
    auto held = station.value()->reserveNext();
    ASSERT_EQ(held.value().capcode, 1001u);

    auto admin = PgConnection::open(cluster.conninfo());
    auto released = releaseStation(*admin.value(), "B9", "gone");
    ASSERT_TRUE(released.ok()) << released.message();
    ASSERT_EQ(released.value().reservations.size(), 1u);
    EXPECT_EQ(released.value().reservations[0].capcode, 1000u);
    EXPECT_EQ(released.value().reservations[0].state, ReservationState::Uncertain);
    released = releaseStation(*admin.value(), "B9", "other");
    ASSERT_EQ(released.value().reservations.size(), 1u);
    EXPECT_EQ(released.value().reservations[0].state, ReservationState::Returned);
    // The released station can no longer write what it held.
    EXPECT_FALSE(station.value()->beginWriting(held.value(), {"COM3", summarizeImage(imageFor(1001))}).ok());

    auto shown = describeBatch(*admin.value(), "B9");
    ASSERT_TRUE(shown.ok());
    EXPECT_EQ(shown.value().uncertain, 1);
    EXPECT_EQ(shown.value().returned, 1);
    ASSERT_EQ(shown.value().notUsed.size(), 2u);
    EXPECT_NE(shown.value().notUsed[0].reason.find("released by the operator"), std::string::npos);
    EXPECT_TRUE(releaseStation(*admin.value(), "B8", "gone").refused());
    writing.kill();
    writing.waitForFinished(5000);
}

TEST_F(SharedProduction, ADatabaseThatGoesAwayStopsTheStationBeforeTheNextPager)
{
    auto admin = PgConnection::open(cluster.conninfo());
    ASSERT_TRUE(createBatch(*admin.value(), BatchSpec{"B4", 10, 20}).ok());
    admin.value().reset();
    auto sequence = openStation(cluster, "B4", "bench-1");
    ASSERT_TRUE(sequence.ok());
    auto first = sequence.value()->reserveNext();
    ASSERT_TRUE(first.ok());
    ASSERT_TRUE(sequence.value()->beginWriting(first.value(), {"COM3", summarizeImage(imageFor(10))}).ok());
    ASSERT_TRUE(sequence.value()->markUsed(first.value()).ok());
    cluster.stop();
    auto refused = sequence.value()->reserveNext();
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.message().find("production database"), std::string::npos) << refused.message();

    auto unreachable = openStation(cluster, "B4", "bench-2");
    ASSERT_FALSE(unreachable.ok());
    EXPECT_FALSE(unreachable.refused());
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
