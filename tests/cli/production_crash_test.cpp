// A station killed at many points of the pager cycle, then started again with
// the next pager on the board: across all runs no capcode may be in two
// pagers, and every capcode handed out is in exactly one pager or on the
// record as skipped. What reached a pager is taken from the board emulator's
// own account of the write frames it took in (--log-frames), never from the
// station. On a batch made from a carrier's list a second station programs a
// pager of its own beside the one that is killed, and the batch's export
// accounts for every capcode of the list.
#include "support/link_emulator_process.h"
#include "support/pg_cluster.h"

#include "editor/capcode_codec.h"
#include "editor/capcode_display.h"
#include "link/link_kind.h"
#include "production/local_sequence.h"
#include "production/pg_production.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
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
// Two stations on a list: one killed before, while and after its pager goes in.
const KillPoint ListPoints[] = {
    {nullptr, 20}, {"^write 0080 ", 0}, {"^read 0180 ", 0}, {"^read 0380 ", 300}, {"^read 0380 ", 310},
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
    bool list = false;   // a batch made from a list, two stations at once
};

// The list of the list row: 60 capcodes of First..First+100, out of order and with gaps.
std::vector<std::uint64_t> listOrder()
{
    std::vector<std::uint64_t> order;
    for (std::uint64_t i = 0; i < 60; ++i)
        order.push_back(First + i * 37 % 101);
    return order;
}

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
        if (GetParam().list) {
            std::ofstream csv(dir.filePath("carrier.csv").toStdString());
            csv << "capcode;customer;order\n";
            for (std::uint64_t capcode : listOrder())
                csv << capcode << ";cust-" << capcode % 3 << ";PO-" << capcode << "\n";
            csv.close();
            ASSERT_EQ(cli({"batch", "create", "crash", "--capcodes", "carrier.csv", "--production-db", conninfo()}), 0);
        } else if (shared) {
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
    QString cliOutput(const QStringList& arguments)
    {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.setWorkingDirectory(dir.path());
        p.start(QStringLiteral(PX316T_CLI), arguments);
        p.closeWriteChannel();
        p.waitForFinished(60000);
        lastExit = p.exitCode();
        return QString::fromUtf8(p.readAllStandardOutput());
    }
    int cli(const QStringList& arguments)
    {
        cliOutput(arguments);
        return lastExit;
    }
    QStringList produceArguments(int port, const QString& station) const
    {
        QStringList args = {"produce", "p.tbl",  "--count", "1", "--no-wait", "--port", QString::number(port),
                            "--station", station, "--operator", "op-" + station};
        if (shared)
            args << "--batch" << "crash" << "--production-db" << conninfo();
        return args;
    }

    // A new pager on the board COM`port` and the station that programs it.
    struct Line {
        std::unique_ptr<testing::EmulatorProcess> board;
        std::unique_ptr<QProcess> station;
    };
    Line startLine(int port, const QString& station)
    {
        Line line;
        line.board = std::make_unique<testing::EmulatorProcess>(
            QStringLiteral(PX316T_BOARD_EMULATOR), dir.path(),
            QStringList{"--com", QString::number(port), "--fast", "--log-frames"});
        EXPECT_TRUE(line.board->ready);
        line.station = std::make_unique<QProcess>();
        line.station->setProcessEnvironment(environment());
        line.station->setWorkingDirectory(dir.path());
        // Two produce runs on one table file would refuse each other.
        const QString file = port == 2 ? "p.tbl" : "p" + QString::number(port) + ".tbl";
        if (port != 2)
            QFile::copy(dir.filePath("p.tbl"), dir.filePath(file));
        QStringList args = produceArguments(port, station);
        args[1] = file;
        line.station->start(QStringLiteral(PX316T_CLI), args);
        line.station->closeWriteChannel();
        EXPECT_TRUE(line.station->waitForStarted(5000));
        return line;
    }

    // One pager on the board (and on the list row a second one, on another
    // board, programmed by a second station at the same time): the first
    // station runs and is killed at `point` (never, without one; it then ends
    // with `exitCode`). Returns the capcodes the pagers hold.
    std::vector<std::uint64_t> runOnNewPager(const KillPoint* point, int exitCode = 0)
    {
        Line killed = startLine(2, "line-1");
        Line beside;
        if (GetParam().list)
            beside = startLine(3, "line-2");
        QProcess& station = *killed.station;
        if (point) {
            if (!point->event ||
                killed.board->waitForLine(QRegularExpression(QString::fromLatin1(point->event)), 20000))
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
        std::vector<std::uint64_t> capcodes;
        if (beside.station) {
            EXPECT_TRUE(beside.station->waitForFinished(60000));
            EXPECT_EQ(beside.station->exitCode(), 0) << beside.station->readAllStandardError().toStdString();
            if (const auto capcode = capcodeIn(*beside.board))
                capcodes.push_back(*capcode);
        }
        if (const auto capcode = capcodeIn(*killed.board))
            capcodes.push_back(*capcode);
        return capcodes;
    }

    // The capcode the board's pager holds, from every frame it took in, in order.
    std::optional<std::uint64_t> capcodeIn(testing::EmulatorProcess& board)
    {
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

    // The state of each capcode of the batch's export, and the checks of its rows.
    std::map<std::uint64_t, std::string> exported()
    {
        const QStringList lines = cliOutput({"batch", "export", "crash", "--csv", "--production-db", conninfo()})
                                      .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        EXPECT_EQ(lastExit, 0);
        EXPECT_TRUE(!lines.isEmpty() && lines[0].startsWith("capcode,customer,order,label,state,station,operator"));
        std::map<std::uint64_t, std::string> states;
        for (const QString& line : lines.mid(1)) {
            const QStringList f = line.split(',');
            if (f.size() < 14) {
                ADD_FAILURE() << line.toStdString();
                continue;
            }
            const std::uint64_t capcode = f[0].toULongLong();
            EXPECT_TRUE(states.emplace(capcode, f[4].toStdString()).second) << "capcode " << capcode << " twice";
            EXPECT_EQ(f[1], "cust-" + QString::number(capcode % 3));
            EXPECT_EQ(f[2], "PO-" + QString::number(capcode));
            if (f[4] == "used") {
                // The station, operator, port, image and table file of the pager.
                EXPECT_TRUE(f[5].startsWith("line-") && f[6] == "op-" + f[5]) << line.toStdString();
                EXPECT_TRUE(f[7].startsWith("COM") && f[9].size() == 64 && f[10].startsWith("p")) << line.toStdString();
            }
        }
        return states;
    }

    QTemporaryDir dir;
    bool shared = false;
    int lastExit = -1;
    std::unique_ptr<testing::PgCluster> cluster;
};

TEST_P(ProductionCrash, NoCapcodeIsEverInTwoPagersAndEverySkipIsOnTheRecord)
{
    std::map<std::uint64_t, int> pagersWith;
    std::vector<const KillPoint*> points;
    const RecordFault fault = GetParam().fault;
    if (GetParam().list)
        for (const KillPoint& p : ListPoints)
            points.push_back(&p);
    else if (shared)
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
            EXPECT_TRUE(runOnNewPager(nullptr, 1).empty());
        }
        for (std::uint64_t capcode : runOnNewPager(points[i]))
            ++pagersWith[capcode];
    }

    // The batch's capcodes in the order it hands them out.
    std::vector<std::uint64_t> order;
    if (GetParam().list)
        order = listOrder();
    else
        for (std::uint64_t capcode = First; capcode <= First + 99; ++capcode)
            order.push_back(capcode);
    auto recorded = states();
    std::size_t reached = 0;   // past the last capcode handed out
    int duplicates = 0;
    for (const auto& [capcode, times] : pagersWith) {
        duplicates += times > 1;
        EXPECT_EQ(times, 1) << "capcode " << capcode << " is in " << times << " pagers";
        const auto at = std::find(order.begin(), order.end(), capcode);
        EXPECT_NE(at, order.end()) << "capcode " << capcode << " is not the batch's";
        reached = std::max(reached, static_cast<std::size_t>(at - order.begin()) + 1);
    }
    for (const auto& [capcode, state] : recorded)
        if (state != ReservationState::Returned)
            reached = std::max(reached, static_cast<std::size_t>(std::find(order.begin(), order.end(), capcode) -
                                                                 order.begin()) + 1);
    int skipped = 0;
    std::string seen;
    for (const auto& [capcode, times] : pagersWith)
        seen += " " + std::to_string(capcode) + "x" + std::to_string(times);
    seen += " |";
    for (const auto& [capcode, state] : recorded)
        seen += " " + std::to_string(capcode) + ":" + reservationStateText(state);
    SCOPED_TRACE(seen);
    for (std::size_t position = 0; position < reached; ++position) {
        const std::uint64_t capcode = order[position];
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
    if (GetParam().list) {
        // The export names every capcode of the list once, as the database holds it.
        const auto listed = exported();
        EXPECT_EQ(listed.size(), order.size());
        for (std::uint64_t capcode : order) {
            const auto state = recorded.find(capcode);
            EXPECT_EQ(listed.count(capcode) ? listed.at(capcode) : "missing",
                      state == recorded.end() ? "left" : reservationStateText(state->second))
                << "capcode " << capcode;
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
                                           Scenario{false, RecordFault::Damaged, "LocalRecordDamaged"},
                                           Scenario{true, RecordFault::None, "SharedListTwoStations", true}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace px316t
