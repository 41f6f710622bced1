// The parallel-port board behind the main window and the programming window of
// an "LPT" build: the start-up probe, and whole Read, Write and Verify of the
// 912-byte image against the simulated memory.
#include "support/form1_fixture.h"
#include "support/link_fake_board.h"
#include "support/lpt_sim_rig.h"

#include "board/lpt_board.h"
#include "link/lpt/lpt_link.h"
#include "sim/lpt_simulated_board.h"
#include "link/lpt/port_io_linux.h"

#include <QFile>

#include <fstream>

#ifdef __linux__
#include <unistd.h>
#endif

using namespace px316t;
using namespace px316t::testing;

namespace {

class LptProgramming : public Form1Fixture {
protected:
    void SetUp() override { start(LinkKind::LPT); }
    void customize(ApplicationOptions& services) override
    {
        services.linkClock = &clock;
        services.parallelPort = &link;
        services.findLptBoard = [this] { return link.FindLptBoard(); };
    }
    bool memoryHoldsTable() const
    {
        return std::equal(form->document().table().begin(), form->document().table().end(), rig.memory.memory().begin());
    }

    LptSimRig rig;
    FakeClock clock;
    LptLink link {rig.board, rig.delay, messages, clock};
};

TEST_F(LptProgramming, WriteVerifyAndReadTheWholeImage)
{
    EXPECT_EQ(link.bus().LptDataPort, 0x378) << "found at start-up";
    form->WriteOpt->setChecked(true);
    form->mnuEB_Click();
    EXPECT_EQ(messages.texts(), QStringList {"Verify Success!"});
    EXPECT_FALSE(form->commandState().TransferFailed);
    EXPECT_TRUE(memoryHoldsTable());
    EXPECT_EQ(rig.memory.writeCycles(), 57);
    EXPECT_EQ(link.bus().LptLatch, 0xFC) << "bus idle after the window's STOP";

    // Read brings the pager's bytes into the image.
    rig.memory.memory()[0x10] ^= 0x5A;
    const std::uint8_t expected = rig.memory.memory()[0x10];
    messages.clear();
    form->mnuEntire_Click();
    EXPECT_EQ(messages.texts(), QStringList {"Read success!"});
    EXPECT_EQ(form->document().table()[0x10], expected);
    EXPECT_TRUE(memoryHoldsTable());

    messages.clear();
    form->mnuEB1_Click();
    EXPECT_EQ(messages.texts(), QStringList {"Verify Success!"});
}

TEST_F(LptProgramming, FailedReadLeavesTheImageAsItWas)
{
    const PagerTable before = form->document().table();
    for (int a = 0; a < 912; ++a)
        rig.memory.memory()[static_cast<std::size_t>(a)] = static_cast<std::uint8_t>(a);
    // The board goes away after the first few pages.
    rig.board.loseBoardAfter(6000, 0x00);
    form->mnuEntire_Click();
    EXPECT_EQ(messages.texts(), QStringList {"Read error!"});
    EXPECT_TRUE(form->commandState().TransferFailed);
    EXPECT_EQ(form->document().table(), before) << "no half-read image";
    EXPECT_EQ(link.bus().LptLatch, 0xFC);
}

TEST(LptProgram, SimulatedBoardKeepsItsMemoryInATableFile)
{
    QTemporaryDir dir;
    const std::string file = (dir.path() + "/pager.tbl").toStdString();
    {
        std::ofstream out(file, std::ios::binary);
        for (int i = 0; i < 912; ++i)
            out.put(static_cast<char>(0x30));
    }
    // The memory's write cycles run on the bus's simulated time.
    SimTime time;
    SimulatedBoardSession session([&time] { return time.ns; });
    std::string error;
    ASSERT_TRUE(session.start(file, std::nullopt, error)) << error;
    EXPECT_EQ(session.memory.memory()[911], 0x30) << "loaded at start";
    EXPECT_EQ(session.memory.memory()[912], 0xFF);

    SimDelay delay(time);
    RecordingHost host(time);
    RecordingProgress progress;
    LptBus bus(session.board, delay, host);
    ASSERT_TRUE(bus.FindLptBoard());
    std::vector<std::uint8_t> table(912, 0x41);
    ASSERT_FALSE(bus.lpt_writeall(table, 0, 15, progress));   // one page, saved at the end of the write
    QFile saved(QString::fromStdString(file));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    ASSERT_EQ(bytes.size(), 912);
    EXPECT_EQ(bytes[15], 0x41);
    EXPECT_EQ(bytes[16], 0x30);

    // Options: the command line wins over the environment; a trace needs the board.
    auto o = parseLptOptions({"--lpt-simulated", "a.tbl", "--lpt-vcd", "b.vcd"}, "env.tbl", nullptr);
    EXPECT_EQ(o.simulatedMemory, "a.tbl");
    EXPECT_EQ(o.vcdFile, "b.vcd");
    EXPECT_TRUE(o.error.empty());
    EXPECT_EQ(parseLptOptions({}, "env.tbl", "").simulatedMemory, "env.tbl");
    EXPECT_FALSE(parseLptOptions({"--lpt-vcd", "b.vcd"}, nullptr, nullptr).error.empty());
    EXPECT_FALSE(parseLptOptions({"--lpt-simulated"}, nullptr, nullptr).error.empty());
}

#ifdef __linux__
TEST(LptProgram, KernelPortsAreMatchedByTheirBaseAddress)
{
    QTemporaryDir dir;
    const std::filesystem::path root = dir.path().toStdString();
    auto port = [&](const char* name, const char* base) {
        std::filesystem::create_directories(root / "dev/parport" / name);
        std::ofstream(root / "dev/parport" / name / "base-addr") << base;
    };
    port("parport0", "632\t1656\n");
    port("parport1", "888\t1912\n");
    port("parport2", "4096\t4104\n");   // a PCI card elsewhere: not one of ours
    port("default", "");
    const auto devices = findParportDevices(root, "/dev");
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices.at(0x278), std::filesystem::path("/dev/parport0"));
    EXPECT_EQ(devices.at(0x378), std::filesystem::path("/dev/parport1"));

    // A device the user may not open: the reason names what to do.
    std::filesystem::path device = root / "parport9";
    std::ofstream(device) << "";
    std::filesystem::permissions(device, std::filesystem::perms::none);
    PpdevPortIo io({{0x378, device}});
    EXPECT_EQ(io.in(0x379), 0xFF);
    if (::geteuid() != 0) {
        EXPECT_NE(io.problem().find("group lp"), std::string::npos) << io.problem();
    }
    EXPECT_NE(parportOpenProblem("/dev/parport0", EACCES).find("adduser"), std::string::npos);
    EXPECT_EQ(io.in(0x3BD), 0xFF) << "no device: reads as an empty address";
}
#endif

} // namespace
