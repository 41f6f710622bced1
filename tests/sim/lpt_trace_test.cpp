// The bus trace of a whole write, decoded by a standard two-wire-bus decoder
// (sigrok-cli's i2c decoder, when installed): 57 page writes of 16 bytes with
// the right addresses and data and no protocol warning.
#include "support/lpt_sim_rig.h"

#include "sim/lpt_simulated_board.h"
#include "sim/vcd_trace.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

using namespace px316t;
using namespace px316t::testing;

namespace {

std::vector<std::uint8_t> patternTable()
{
    std::vector<std::uint8_t> table(912);
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = static_cast<std::uint8_t>(i * 7 + (i >> 4));
    return table;
}

// Records the bus lines of what `drive` does on a simulated board into `path`.
void traceBus(const std::string& path, const std::function<void(LptSimRig&)>& drive)
{
    LptSimRig rig;
    ASSERT_TRUE(rig.find());
    VcdTrace trace;
    ASSERT_TRUE(trace.open(path, rig.memory.scl(), rig.memory.sda()));
    trace.start(rig.time.ns);
    rig.board.onLines = [&](std::int64_t ns, bool scl, bool sda) { trace.change(ns, scl, sda); };
    drive(rig);
    trace.close();
}

TEST(LptTrace, DumpHoldsBothLinesWithTimes)
{
    QTemporaryDir dir;
    const std::string path = (dir.path() + "/bus.vcd").toStdString();
    // Data falls while the clock is high, 75 us later the clock falls.
    traceBus(path, [](LptSimRig& rig) { rig.bus.BusStart(); });
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    const std::string dump = text.str();
    EXPECT_NE(dump.find("$var wire 1 c scl $end"), std::string::npos);
    EXPECT_NE(dump.find("$var wire 1 d sda $end"), std::string::npos);
    EXPECT_NE(dump.find("#75\n0d\n#150\n0c\n"), std::string::npos) << dump;
}

TEST(LptTrace, WholeWriteDecodesToFiftySevenPageWrites)
{
    const QString sigrok = QStandardPaths::findExecutable(QStringLiteral("sigrok-cli"));
    if (sigrok.isEmpty())
        GTEST_SKIP() << "sigrok-cli is not installed (scripts/install-deps.sh installs it)";
    QTemporaryDir dir;
    const QString path = dir.path() + "/write.vcd";
    const auto table = patternTable();
    traceBus(path.toStdString(), [&](LptSimRig& rig) {
        ASSERT_FALSE(rig.bus.lpt_writeall(table, 0, 911, rig.progress));
        rig.bus.BusStop();
    });

    QProcess decoder;
    decoder.start(sigrok, {"-I", "vcd", "-i", path, "-P", "i2c:scl=scl:sda=sda", "-A", "i2c"});
    ASSERT_TRUE(decoder.waitForFinished(120'000));
    ASSERT_EQ(decoder.exitCode(), 0) << decoder.readAllStandardError().toStdString();
    const QStringList lines = QString::fromUtf8(decoder.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);

    // Group the annotations into transfers from START to the next START or STOP.
    struct Transfer {
        int address = -1;
        bool addressAcknowledged = false;
        std::vector<int> data;
        bool stopped = false;
    };
    std::vector<Transfer> transfers;
    int warnings = 0;
    bool afterAddress = false;
    const QRegularExpression field(QStringLiteral("^i2c-\\d+: (.*)$"));
    for (const QString& line : lines) {
        const auto m = field.match(line);
        if (!m.hasMatch())
            continue;
        const QString a = m.captured(1);
        if (a.contains(QStringLiteral("Warning"), Qt::CaseInsensitive)) {
            ++warnings;
        } else if (a == "Start" || a == "Start repeat") {
            transfers.push_back({});
        } else if (a.startsWith("Address write: ") && !transfers.empty()) {
            transfers.back().address = a.mid(15).toInt(nullptr, 16);
            afterAddress = true;
        } else if (a.startsWith("Data write: ") && !transfers.empty()) {
            transfers.back().data.push_back(a.mid(12).toInt(nullptr, 16));
            afterAddress = false;
        } else if (a == "ACK" && afterAddress && !transfers.empty()) {
            transfers.back().addressAcknowledged = true;
            afterAddress = false;
        } else if (a == "NACK") {
            afterAddress = false;
        } else if (a == "Stop" && !transfers.empty()) {
            transfers.back().stopped = true;
        }
    }
    EXPECT_EQ(warnings, 0);
    std::vector<Transfer> pages;
    for (const Transfer& t : transfers)
        if (t.addressAcknowledged && !t.data.empty())
            pages.push_back(t);
    // After the last page the memory answers its address once more.
    ASSERT_FALSE(transfers.empty());
    EXPECT_TRUE(transfers.back().addressAcknowledged && transfers.back().data.empty() && transfers.back().stopped);
    ASSERT_EQ(pages.size(), 57u);
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const int a = static_cast<int>(p) * 16;
        SCOPED_TRACE(a);
        EXPECT_EQ(pages[p].address, 0x50 + (a >> 8)) << "block select";
        ASSERT_EQ(pages[p].data.size(), 17u) << "word address and 16 bytes";
        EXPECT_EQ(pages[p].data[0], a & 0xFF);
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(pages[p].data[static_cast<std::size_t>(i + 1)], table[static_cast<std::size_t>(a + i)]);
        EXPECT_TRUE(pages[p].stopped);
    }
}

// The STOPs of a VCD trace, each as the microseconds from the clock's last rise.
std::vector<long> stopsAfterClockRise(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    long now = 0, clockRise = -1;
    bool scl = true, sda = true, dumping = false;
    std::vector<long> stops;
    while (std::getline(in, line)) {
        if (line == "$enddefinitions $end")
            dumping = true;
        if (!dumping || line.empty())
            continue;
        if (line[0] == '#') {
            now = std::stol(line.substr(1));
        } else if (line == "1c" || line == "0c") {
            scl = line[0] == '1';
            if (scl)
                clockRise = now;
        } else if (line == "1d" || line == "0d") {
            const bool rises = line[0] == '1' && !sda;
            sda = line[0] == '1';
            if (rises && scl)
                stops.push_back(now - clockRise);
        }
    }
    return stops;
}

// A whole write through the simulated board as the programs run it, its memory
// file on a disk that takes 20 ms per save: every STOP in the trace follows its
// clock rise by one bus delay, and acknowledge polling is what waits out the
// write cycles (a poll of one attempt fails).
TEST(LptTrace, StopsAreStampedWhenTheyHappenAndPollingWaitsOutWriteCycles)
{
    const auto table = patternTable();
    for (int attempts : {10, 1}) {
        SCOPED_TRACE(attempts);
        QTemporaryDir dir;
        const std::string memoryFile = (dir.path() + "/pager.tbl").toStdString();
        const std::string vcd = (dir.path() + "/bus.vcd").toStdString();
        SimTime time;
        SimulatedBoardSession session([&time] { return time.ns; });
        session.onSaved = [&time] { time.ns += 20'000'000; };
        std::string error;
        ASSERT_TRUE(session.start(memoryFile, vcd, error)) << error;
        SimDelay delay(time);
        RecordingHost host(time);
        RecordingProgress progress;
        LptBus bus(session.board, delay, host);
        bus.pollAttempts = attempts;
        ASSERT_TRUE(bus.FindLptBoard());
        const bool failed = bus.lpt_writeall(table, 0, 911, progress);
        bus.BusStop();
        session.trace.close();
        if (attempts == 1) {
            EXPECT_TRUE(failed) << "one attempt cannot outlast a 5 ms write cycle";
            EXPECT_EQ(host.texts(), std::vector<std::string> {"Write error!"});
            continue;
        }
        ASSERT_FALSE(failed);
        EXPECT_TRUE(host.texts().empty());
        const std::vector<long> stops = stopsAfterClockRise(vcd);
        EXPECT_GE(stops.size(), 57u);
        for (long us : stops) {
            EXPECT_GE(us, 75);
            EXPECT_LE(us, 100);
        }
        std::ifstream saved(memoryFile, std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
        EXPECT_EQ(bytes, table) << "saved after the write";
    }
}

} // namespace
