// A station killed at many points of the pager cycle, then started again with
// the next pager on the board: across all runs no capcode may be in two
// pagers, and every capcode handed out is in exactly one pager or on the
// record as skipped. What reached a pager is taken from the board emulator's
// own account of the write frames it took in (--log-frames), never from the
// station.
#include "support/link_emulator_process.h"
#include "support/pg_cluster.h"

#include "editor/capcode_codec.h"
#include "editor/capcode_display.h"
#include "link/link_kind.h"
#include "production/local_sequence.h"
#include "production/pg_production.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <thread>

namespace px316t {
namespace {

constexpr std::uint64_t First = 1700000;
constexpr int CapcodeSlot0 = 0xB0;   // the 4 bytes of capcode 1

// Where the station is killed: when the emulator has printed the `nth` line
// matching `event` (none: right after the start), `delayMs` later.
struct KillPoint {
    const char* event;
    int delayMs;
};

// The read frames of a verify: the station pauses 300 ms after each before it
// takes the reply, so the verify ends about 300 ms after the last one.
const KillPoint SharedPoints[] = {
    {nullptr, 40},            // before the reservation
    {"^write 0000 ", 0},      // during the write: first frame in
    {"^write 0080 ", 0},      // the frame with capcode 1
    {"^write 0200 ", 0},
    {"^read 0000 ", 0},       // during the verify
    {"^read 0180 ", 0},
    {"^read 0380 ", 150},
    {"^read 0380 ", 300},     // 0-20 ms after the verify
    {"^read 0380 ", 303},
    {"^read 0380 ", 306},
    {"^read 0380 ", 310},
    {"^read 0380 ", 320},
};
const KillPoint LocalPoints[] = {
    {nullptr, 20}, {"^write 0080 ", 0}, {"^read 0180 ", 0}, {"^read 0380 ", 300},
    {"^read 0380 ", 304}, {"^read 0380 ", 310}, {"^read 0380 ", 320},
};
// Around a lost or damaged record: pagers killed while their capcode went in
// and just after their verify, before the loss and after it.
const KillPoint FaultPoints[] = {
    {"^write 0080 ", 0}, {"^read 0380 ", 304}, {"^write 0080 ", 0}, {"^read 0380 ", 300},
};

// What happens to the station's own record halfway through the runs: nothing,
// it is deleted, or it is damaged (and the program starts a new one). The
// table file then goes back to the first capcode, as the window never saves it.
enum class RecordFault { None, Lost, Damaged };

struct Scenario {
    bool shared;
    RecordFault fault;
    const char* name;
};

void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }

class ProductionCrash : public ::testing::TestWithParam<Scenario> {
protected:
    void SetUp() override
    {
        if (BuildLinkKind != LinkKind::USB)
            GTEST_SKIP() << "a build for the parallel-port board";
        shared = GetParam().shared;
        if (shared) {
            cluster = std::make_unique<testing::PgCluster>();
            ASSERT_TRUE(cluster->ok()) << cluster->error();
        }
        ASSERT_EQ(cli({"new", "p.tbl"}), 0);
        ASSERT_EQ(cli({"set", "p.tbl", "capcode.1=" + QString::number(First), "capcode.1.enable=on"}), 0);
        if (shared) {
            ASSERT_EQ(cli({"batch", "create", "crash", "--first", QString::number(First), "--last",
                           QString::number(First + 99), "--production-db", conninfo()}),
                      0);
        }
    }

    QString conninfo() const { return QString::fromStdString(cluster->conninfo()); }
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path());
        env.remove(QStringLiteral("PX316T_PRODUCTION_DB"));
        return env;
    }
    int cli(const QStringList& arguments)
    {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.setWorkingDirectory(dir.path());
        p.start(QStringLiteral(PX316T_CLI), arguments);
        p.closeWriteChannel();
        p.waitForFinished(60000);
        return p.exitCode();
    }
    QStringList produceArguments() const
    {
        QStringList args = {"produce", "p.tbl", "--count", "1", "--no-wait", "--port", "2", "--station", "line-1"};
        if (shared)
            args << "--batch" << "crash" << "--production-db" << conninfo();
        return args;
    }

    // One pager on the board: the station runs and is killed at `point`
    // (never, without one; it then ends with `exitCode`). Returns the capcode
    // the pager holds, if any.
    std::optional<std::uint64_t> runOnNewPager(const KillPoint* point, int exitCode = 0)
    {
        testing::EmulatorProcess board(QStringLiteral(PX316T_BOARD_EMULATOR), dir.path(),
                                       {"--com", "2", "--fast", "--log-frames"});
        EXPECT_TRUE(board.ready);
        QProcess station;
        station.setProcessEnvironment(environment());
        station.setWorkingDirectory(dir.path());
        station.start(QStringLiteral(PX316T_CLI), produceArguments());
        station.closeWriteChannel();
        EXPECT_TRUE(station.waitForStarted(5000));
        if (point) {
            if (!point->event || board.waitForLine(QRegularExpression(QString::fromLatin1(point->event)), 20000))
                std::this_thread::sleep_for(std::chrono::milliseconds(point->delayMs));
            station.kill();
        }
        EXPECT_TRUE(station.waitForFinished(60000));
        if (!point) {
            const std::string said = station.readAllStandardError().toStdString();
            EXPECT_EQ(station.exitCode(), exitCode) << said;
            if (exitCode != 0) {
                EXPECT_NE(said.find("did not hold capcodes this station wrote"), std::string::npos) << said;
            }
        }
        // Every frame the board took in, in order.
        board.waitForLine(QRegularExpression(QStringLiteral("^$")), 200);
        board.stop();
        board.waitForLine(QRegularExpression(QStringLiteral("^$")), 200);
        PagerTable memory;
        memory.fill(0xFF);
        bool capcodeWritten = false;
        for (const QString& line : board.output) {
            const QStringList parts = line.split(' ');
            if (parts.size() != 3 || parts[0] != "write")
                continue;
            const int address = parts[1].toInt(nullptr, 16);
            const QByteArray data = QByteArray::fromHex(parts[2].toLatin1());
            for (int i = 0; i < data.size() && address + i < PagerTableSize; ++i)
                memory[address + i] = static_cast<std::uint8_t>(data[i]);
            capcodeWritten = capcodeWritten || (address <= CapcodeSlot0 && address + data.size() > CapcodeSlot0 + 3);
        }
        if (!capcodeWritten)
            return std::nullopt;
        const auto shown = shownCapcodes(memory, pairLengthsOf(memory));
        return shown[0] ? std::optional<std::uint64_t>(static_cast<std::uint64_t>(shown[0]->value)) : std::nullopt;
    }

    // The state of every capcode the station's bookkeeping handed out.
    std::map<std::uint64_t, ReservationState> states()
    {
        std::map<std::uint64_t, ReservationState> out;
        if (shared) {
            auto db = PgConnection::open(cluster->conninfo());
            auto rows = db.value()->exec("SELECT capcode, state FROM px316t_reservation WHERE batch = 'crash'");
            for (int i = 0; rows.ok() && i < rows.value().count(); ++i)
                out[static_cast<std::uint64_t>(rows.value().integer(i, 0))] =
                    reservationStateFromText(rows.value().text(i, 1)).value();
            return out;
        }
        auto sequence = SqliteCapcodeSequence::open(dir.filePath("px316t/production.sqlite").toStdString(), "check",
                                                    First, First + 99);
        EXPECT_TRUE(sequence.ok());
        const auto rows = sequence.value()->notUsed();
        for (const ReservationRow& r : rows.value())
            out[r.capcode] = r.state;
        return out;
    }

    // The record's fault, and the table file back at the first capcode.
    void spoilRecord(RecordFault fault)
    {
        const std::filesystem::path record = dir.filePath("px316t/production.sqlite").toStdString();
        for (const char* side : {"-wal", "-shm"})
            std::filesystem::remove(record.string() + side);
        if (fault == RecordFault::Damaged)
            std::ofstream(record, std::ios::binary | std::ios::trunc) << std::string(8192, 'Z');
        else
            std::filesystem::remove(record);
        ASSERT_EQ(cli({"set", "p.tbl", "capcode.1=" + QString::number(First)}), 0);
    }

    QTemporaryDir dir;
    bool shared = false;
    std::unique_ptr<testing::PgCluster> cluster;
};

TEST_P(ProductionCrash, NoCapcodeIsEverInTwoPagersAndEverySkipIsOnTheRecord)
{
    std::map<std::uint64_t, int> pagersWith;
    std::vector<const KillPoint*> points;
    const RecordFault fault = GetParam().fault;
    if (shared)
        for (const KillPoint& p : SharedPoints)
            points.push_back(&p);
    else if (fault == RecordFault::None)
        for (const KillPoint& p : LocalPoints)
            points.push_back(&p);
    else
        for (const KillPoint& p : FaultPoints)
            points.push_back(&p);
    points.push_back(nullptr);   // the last run ends by itself
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (fault != RecordFault::None && i == points.size() / 2) {
            spoilRecord(fault);
            // The next run stops before any pager, once, and says why.
            EXPECT_FALSE(runOnNewPager(nullptr, 1));
        }
        if (const auto capcode = runOnNewPager(points[i]))
            ++pagersWith[*capcode];
    }

    auto recorded = states();
    std::uint64_t highest = First;
    int duplicates = 0;
    for (const auto& [capcode, times] : pagersWith) {
        duplicates += times > 1;
        EXPECT_EQ(times, 1) << "capcode " << capcode << " is in " << times << " pagers";
        highest = std::max(highest, capcode);
    }
    for (const auto& [capcode, state] : recorded)
        if (state != ReservationState::Returned)
            highest = std::max(highest, capcode);
    int skipped = 0;
    std::string seen;
    for (const auto& [capcode, times] : pagersWith)
        seen += " " + std::to_string(capcode) + "x" + std::to_string(times);
    seen += " |";
    for (const auto& [capcode, state] : recorded)
        seen += " " + std::to_string(capcode) + ":" + reservationStateText(state);
    SCOPED_TRACE(seen);
    for (std::uint64_t capcode = First; capcode <= highest; ++capcode) {
        const bool inPager = pagersWith.count(capcode) != 0;
        const auto state = recorded.find(capcode);
        if (state == recorded.end()) {
            // Local mode lists only what is not used; shared mode lists all.
            EXPECT_TRUE(inPager) << "capcode " << capcode << " is neither in a pager nor on the record";
            if (shared)
                ADD_FAILURE() << "capcode " << capcode << " has no reservation";
            continue;
        }
        switch (state->second) {
        case ReservationState::Used:
            EXPECT_TRUE(inPager) << "capcode " << capcode << " is marked used but in no pager";
            break;
        case ReservationState::Uncertain:
            ++skipped;
            break;
        case ReservationState::Returned:
            EXPECT_FALSE(inPager) << "capcode " << capcode << " was given back but is in a pager";
            break;
        default:
            ADD_FAILURE() << "capcode " << capcode << " is still " << reservationStateText(state->second);
        }
    }
    EXPECT_GE(pagersWith.size(), 2u) << "some runs got their pager written";
    std::printf("%zu runs, %zu kill points, %zu capcodes in pagers, %d skipped as uncertain, %d duplicates\n",
                points.size() + (fault != RecordFault::None), points.size() - 1, pagersWith.size(), skipped,
                duplicates);
}

INSTANTIATE_TEST_SUITE_P(SharedAndLocal, ProductionCrash,
                         ::testing::Values(Scenario{true, RecordFault::None, "Shared"},
                                           Scenario{false, RecordFault::None, "Local"},
                                           Scenario{false, RecordFault::Lost, "LocalRecordLost"},
                                           Scenario{false, RecordFault::Damaged, "LocalRecordDamaged"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace px316t
