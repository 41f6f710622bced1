// The window's production one pager at a time, tested on its own: what it
// offers for the capcode the window shows, and what it does when the record is
// lost or damaged or the shared database goes away.
#include "production/production_line.h"
#include "production/pg_production.h"
#include "production/sqlite_record_store.h"

#include "editor/capcode_codec.h"
#include "production_test_folder.h"
#include "support/pg_cluster.h"

#include <gtest/gtest.h>

#include <fstream>

namespace px316t {
namespace {

using testing::ProductionFolder;

class VerifiedBoard final : public PagerProgrammer {
public:
    PagerTransfer writeAndVerify(const PagerTable&) override
    {
        PagerTransfer done;
        done.verify = RecordResult::Success;
        return done;
    }
};

PagerTable imageFor(std::uint64_t capcode)
{
    PagerTable image{};
    storeCapcode(image, 0, static_cast<double>(capcode), false);
    setCapcodeEnabled(image, 0, true);
    return image;
}

// One press of Write in the window showing `shown`: the capcode written, or
// nothing with the message the window shows.
struct Press {
    LineOffer offer;
    std::optional<std::uint64_t> written;
};

Press press(ProductionLine& line, std::uint64_t shown)
{
    std::vector<std::string> notices;
    Press result{line.offer(shown, false, notices), std::nullopt};
    if (result.offer.kind == LineOffer::Kind::Ready) {
        VerifiedBoard board;
        const PagerStep step = line.produce(board, "COM3", imageFor);
        EXPECT_EQ(step.stop, StepStop::None) << step.message;
        result.written = step.capcode;
    }
    return result;
}

TEST(ProductionLine, TheRecordDecidesWhichCapcodeTheWindowWritesNext)
{
    ProductionFolder folder;
    const ProductionOptions options{"", "bench", folder.path()};
    ProductionLine line(options);
    EXPECT_EQ(press(line, 1000).written, 1000u);
    EXPECT_EQ(press(line, 1001).written, 1001u);

    // A window started again from a table file that was never saved.
    ProductionLine restarted(options);
    const Press stale = press(restarted, 1000);
    EXPECT_EQ(stale.offer.kind, LineOffer::Kind::Moved);
    EXPECT_EQ(stale.offer.capcode, 1002u);
    EXPECT_NE(stale.offer.message.find("Capcode 1000 is on this station's record"), std::string::npos);

    EXPECT_EQ(press(restarted, 2031614).written, 2031614u);
    const Press beyond = press(restarted, 2031614);
    EXPECT_EQ(beyond.offer.kind, LineOffer::Kind::NoneLeft);
    EXPECT_EQ(beyond.offer.message, "Capcode 1 > 2031615 so can not be increase!");
}

TEST(ProductionLine, ALostOrDamagedRecordStopsTheLineOnceAndNoWrittenCapcodeIsWrittenAgain)
{
    for (const bool damaged : {false, true}) {
        ProductionFolder folder;
        const ProductionOptions options{"", "bench", folder.path()};
        {
            ProductionLine line(options);
            for (std::uint64_t capcode = 1000; capcode < 1003; ++capcode)
                ASSERT_EQ(press(line, capcode).written, capcode);
        }
        const auto record = folder.path() / "production.sqlite";
        for (const char* side : {"-wal", "-shm"})
            std::filesystem::remove(record.string() + side);
        if (damaged)
            std::ofstream(record, std::ios::binary | std::ios::trunc) << std::string(8192, 'Z');
        else
            std::filesystem::remove(record);

        // The window starts again from the table file, which still says 1000.
        ProductionLine line(options);
        std::vector<std::string> notices;
        const LineOffer stopped = line.offer(1000, false, notices);
        EXPECT_EQ(stopped.kind, LineOffer::Kind::Refused);
        EXPECT_NE(stopped.message.find("1000-1002"), std::string::npos) << stopped.message;
        EXPECT_EQ(notices.size(), damaged ? 1u : 0u);
        const Press next = press(line, 1000);
        EXPECT_EQ(next.offer.kind, LineOffer::Kind::Moved);
        EXPECT_EQ(next.offer.capcode, 1003u);
        EXPECT_EQ(press(line, 1003).written, 1003u);

        auto history = SqliteRecordStore::open(record);
        ASSERT_TRUE(history.ok());
        const auto entries = history.value()->list(std::nullopt);
        ASSERT_TRUE(entries.ok());
        std::vector<std::int64_t> uncertain;
        for (const RecordEntry& e : entries.value())
            if (e.result == RecordResult::Uncertain)
                uncertain.push_back(e.firstCapcode.value_or(0));
        EXPECT_EQ(uncertain, (std::vector<std::int64_t>{1000, 1001, 1002})) << "history shows what was lost";
    }
}

TEST(ProductionLine, ADatabaseThatCannotBeReachedIsNotAnEmptyBatch)
{
    testing::PgCluster cluster;
    ASSERT_TRUE(cluster.ok()) << cluster.error();
    ASSERT_TRUE(createBatch(*PgConnection::open(cluster.conninfo()).value(), BatchSpec{"tray-17", 1000, 1999}).ok());
    ProductionFolder folder;
    ProductionLine line({cluster.conninfo(), "bench", folder.path()});
    std::vector<std::string> notices;
    ASSERT_TRUE(line.joinBatch({}, "tray-17", notices).ok());
    EXPECT_EQ(press(line, 1000).written, 1000u);

    cluster.stop();
    const Press away = press(line, 1001);
    EXPECT_EQ(away.offer.kind, LineOffer::Kind::Refused);
    EXPECT_NE(away.offer.message.find("cannot be reached"), std::string::npos) << away.offer.message;
    EXPECT_EQ(away.offer.message.find("no capcode left"), std::string::npos);

    ASSERT_TRUE(cluster.start());
    EXPECT_EQ(press(line, 1001).written, 1001u) << "the line goes on once the database is back";
}

} // namespace
} // namespace px316t
