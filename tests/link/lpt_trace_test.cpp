// The bus trace of a whole write, decoded by a standard two-wire-bus decoder
// (sigrok-cli's i2c decoder, when installed): 57 page writes of 16 bytes with
// the right addresses and data and no protocol warning.
#include "support/lpt_sim_rig.h"

#include "link/vcd_trace.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
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

// Writes the trace of a whole write of `table` to `path`.
void traceWholeWrite(const std::string& path, const std::vector<std::uint8_t>& table)
{
    LptSimRig rig;
    ASSERT_TRUE(rig.find());
    VcdTrace trace;
    ASSERT_TRUE(trace.open(path, rig.memory.scl(), rig.memory.sda()));
    trace.start(rig.time.ns);
    rig.board.onLines = [&](std::int64_t ns, bool scl, bool sda) { trace.change(ns, scl, sda); };
    ASSERT_FALSE(rig.bus.lpt_writeall(table, 0, 911, rig.progress));
    rig.bus.BusStop();
    trace.close();
}

TEST(LptTrace, DumpHoldsBothLinesWithTimes)
{
    QTemporaryDir dir;
    const std::string path = (dir.path() + "/bus.vcd").toStdString();
    {
        LptSimRig rig;
        ASSERT_TRUE(rig.find());
        VcdTrace trace;
        ASSERT_TRUE(trace.open(path, rig.memory.scl(), rig.memory.sda()));
        trace.start(rig.time.ns);
        rig.board.onLines = [&](std::int64_t ns, bool scl, bool sda) { trace.change(ns, scl, sda); };
        rig.bus.BusStart();   // data falls while the clock is high, 75 us later the clock falls
    }
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
    traceWholeWrite(path.toStdString(), table);

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
        if (t.addressAcknowledged)
            pages.push_back(t);
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

} // namespace
