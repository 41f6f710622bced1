// The shared database when things go wrong around it: a connection string
// that brings its own options, a reply lost after the server committed, a
// station that lost power. Against a real PostgreSQL server.
#include "production/pg_production.h"

#include "support/pg_cluster.h"
#include "support/pg_reply_cutter.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <csignal>
#include <thread>

namespace px316t {
namespace {

using testing::PgCluster;

class SharedFaults : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(cluster.ok()) << cluster.error(); }
    std::unique_ptr<PgConnection> connect(const std::string& extra = {})
    {
        auto db = PgConnection::open(cluster.conninfo() + extra);
        EXPECT_TRUE(db.ok()) << db.message();
        return db.ok() ? std::move(db.value()) : nullptr;
    }
    std::string value(const std::string& sql)
    {
        auto rows = connect()->exec(sql);
        EXPECT_TRUE(rows.ok()) << rows.message();
        return rows.ok() ? rows.value().text(0, 0) : "";
    }
    // A station process that reserves a capcode of `batch`, begins writing it
    // and then stops dead, as one whose computer lost power: its session
    // stays open and nothing renews its lease.
    qint64 stationThatLostPower(QProcess& child, const std::string& station, int leaseSeconds)
    {
        child.start(QStringLiteral(PX316T_PRODUCTION_CHILD),
                    {"reserve", QString::fromStdString(cluster.conninfo()), "B6", QString::fromStdString(station),
                     "writing", QString::number(leaseSeconds)});
        EXPECT_TRUE(child.waitForReadyRead(20000)) << child.readAllStandardError().toStdString();
        ::kill(static_cast<pid_t>(child.processId()), SIGSTOP);
        return child.readLine().trimmed().toLongLong();
    }

    PgCluster cluster;
};

TEST_F(SharedFaults, EverySessionKeepsTheProgramsTimeOutsWhateverOptionsTheConnectionStringBrings)
{
    struct Case {
        const char* extra;
        const char* workMem;   // the user's own setting is kept
    } cases[] = {
        {"", "4MB"},
        {" options='-csearch_path=other -cstatement_timeout=0 -clock_timeout=0 -cwork_mem=7MB'", "7MB"},
        {" options='-c synchronous_commit=off -c client_min_messages=notice'", "4MB"},
    };
    for (const Case& c : cases) {
        auto db = connect(c.extra);
        ASSERT_TRUE(db);
        auto shown = db->exec("SELECT current_setting('statement_timeout'), current_setting('lock_timeout'),"
                              " current_setting('synchronous_commit'), current_setting('client_min_messages'),"
                              " current_setting('work_mem')");
        ASSERT_TRUE(shown.ok()) << shown.message();
        std::vector<std::string> got;
        for (int i = 0; i < 5; ++i)
            got.push_back(shown.value().text(0, i));
        EXPECT_EQ(got, (std::vector<std::string>{"15s", "10s", "on", "warning", c.workMem})) << c.extra;
    }
}

TEST_F(SharedFaults, EveryConnectionSeesTheBatchesOfOneSchema)
{
    // Batches an earlier version kept in the schema of its search_path: every
    // connection uses them there, whatever its own search_path.
    ASSERT_TRUE(connect()->run("CREATE SCHEMA other; CREATE SCHEMA legacy;"
                               " CREATE TABLE legacy.px316t_batch (name text PRIMARY KEY,"
                               " first_capcode bigint NOT NULL, last_capcode bigint NOT NULL,"
                               " next_capcode bigint NOT NULL, created_utc timestamptz NOT NULL DEFAULT now());"
                               " INSERT INTO legacy.px316t_batch VALUES ('old', 1000, 1999, 1500)")
                    .ok());
    auto listed = listBatches(*connect());
    ASSERT_TRUE(listed.ok()) << listed.message();
    ASSERT_EQ(listed.value().size(), 1u);
    EXPECT_EQ(listed.value()[0].batch.next, 1500u);
    const Status again = createBatch(*connect(" options='-csearch_path=other'"), BatchSpec{"new", 1900, 2500});
    EXPECT_TRUE(again.refused());
    EXPECT_NE(again.message().find("overlaps the batch \"old\""), std::string::npos) << again.message();
    // A second set of tables is refused rather than used.
    ASSERT_TRUE(connect()->run("CREATE TABLE other.px316t_batch (name text)").ok());
    auto twice = listBatches(*connect());
    ASSERT_FALSE(twice.ok());
    EXPECT_NE(twice.message().find("several schemas (legacy, other)"), std::string::npos) << twice.message();
}

TEST_F(SharedFaults, WhatCommittedBeforeItsReplyWasLostIsTakenOnce)
{
    ASSERT_TRUE(createBatch(*connect(), BatchSpec{"B7", 1000, 1999}).ok());
    testing::PgReplyCutter cutter(cluster);
    auto sequence = PgCapcodeSequence::open(cutter.conninfo(), "B7", "bench-1");
    auto record = PgRecordStore::open(cutter.conninfo());
    ASSERT_TRUE(sequence.ok() && record.ok()) << sequence.message() << record.message();
    auto held = sequence.value()->reserveNext();
    ASSERT_TRUE(held.ok());
    const PagerTable image{};
    ASSERT_TRUE(sequence.value()->beginWriting(held.value(), {"COM3", summarizeImage(image)}).ok());

    cutter.loseNextCompletion();
    EXPECT_TRUE(record.value()->append(entryForImage(image, RecordOperation::Verify, RecordResult::Success, "bench-1",
                                                     "COM3"))
                    .ok());
    cutter.loseNextCompletion();
    const Status used = sequence.value()->markUsed(held.value());
    EXPECT_TRUE(used.ok()) << used.message();
    EXPECT_TRUE(cutter.cut());
    EXPECT_EQ(value("SELECT count(*) FROM px316t_record"), "1");
    EXPECT_EQ(value("SELECT state FROM px316t_reservation"), "used");
}

TEST_F(SharedFaults, AStationThatLostPowerIsEndedWhenItsLeaseRunsOutOrWhenItIsReleased)
{
    QProcess dead;
    const qint64 writing = stationThatLostPower(dead, "bench-3", 2);
    auto early = PgCapcodeSequence::open(cluster.conninfo(), "B6", "bench-3");
    ASSERT_FALSE(early.ok());
    EXPECT_NE(early.message().find("when its lease has run out"), std::string::npos) << early.message();
    EXPECT_NE(early.message().find("px316t-cli batch release B6 --station bench-3"), std::string::npos);
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    auto restarted = PgCapcodeSequence::open(cluster.conninfo(), "B6", "bench-3");
    ASSERT_TRUE(restarted.ok()) << restarted.message();
    ASSERT_EQ(restarted.value()->recovered().size(), 1u);
    EXPECT_EQ(restarted.value()->recovered()[0].capcode, static_cast<std::uint64_t>(writing));
    EXPECT_EQ(restarted.value()->recovered()[0].state, ReservationState::Uncertain);

    QProcess released;
    stationThatLostPower(released, "bench-4", 600);
    auto freed = releaseStation(*connect(), "B6", "bench-4");
    ASSERT_TRUE(freed.ok()) << freed.message();
    EXPECT_EQ(freed.value().sessionsEnded, 1);
    EXPECT_TRUE(PgCapcodeSequence::open(cluster.conninfo(), "B6", "bench-4").ok());
    for (QProcess* child : {&dead, &released}) {
        child->kill();
        child->waitForFinished(5000);
    }
}

} // namespace
} // namespace px316t
