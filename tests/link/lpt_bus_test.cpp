// The parallel-port bus and its whole-memory operations against the simulated
// serial memory: the exact line sequences, acknowledge polling, the probe, and
// every fault of the memory ending in one message with the bus left idle.
#include "support/lpt_sim_rig.h"

#include "link/lpt/lpt_delay.h"
#include "link/lpt/lpt_link.h"
#include "sim/lpt_simulated_board.h"
#include "link/lpt/lpt_pager_link.h"
#include "link/programming_sequence.h"
#include "support/link_fake_board.h"
#include "support/link_recording_views.h"
#include "support/recording_messages.h"

#ifdef __linux__
#include "link/lpt/port_io_linux.h"
#endif

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <numeric>

using namespace px316t;
using namespace px316t::testing;

namespace {

std::vector<std::uint8_t> patternTable()
{
    std::vector<std::uint8_t> table(912);
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = static_cast<std::uint8_t>((i * 37 + 11) ^ (i >> 8));
    return table;
}

class LptBusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(rig.find());
        rig.board.recordWrites = true;
        rig.board.dataWrites.clear();
    }
    std::vector<BusEvent> events() const { return decodeMasterWrites(rig.board.dataWrites); }
    bool memoryHolds(const std::vector<std::uint8_t>& table, int first, int last) const
    {
        return std::equal(table.begin() + first, table.begin() + last + 1, rig.memory.memory().begin() + first);
    }
    // The bus ends idle: both lines released, nothing addressed.
    void expectIdleAfterWindowStop()
    {
        rig.bus.BusStop();
        EXPECT_EQ(rig.bus.LptLatch, 0xFC);
        EXPECT_TRUE(rig.memory.scl());
        EXPECT_TRUE(rig.memory.sda());
    }

    LptSimRig rig;
    std::vector<std::uint8_t> table = patternTable();
};

TEST_F(LptBusTest, ByteIsSentMostSignificantBitFirstWithInvertedDataLine)
{
    rig.bus.SendByte(0x5A);
    const auto& w = rig.board.dataWrites;
    ASSERT_EQ(w.size(), 8u * 3 + 3);
    std::vector<int> bit1;
    for (int i = 0; i < 8; ++i) {
        bit1.push_back((w[3 * i] >> 1) & 1);
        EXPECT_EQ(w[3 * i + 1] & 1, 0) << "clock high after the data is set";
        EXPECT_EQ(w[3 * i + 2] & 1, 1) << "clock low again";
        EXPECT_EQ(w[3 * i + 1] & 2, w[3 * i] & 2) << "data held while the clock is high";
    }
    EXPECT_EQ(bit1, (std::vector<int> {1, 0, 1, 0, 0, 1, 0, 1}));
    EXPECT_EQ(w[24] & 2, 0) << "data released for the acknowledge";
}

TEST_F(LptBusTest, WholeWriteAddressesEveryPageAndStoresTheTable)
{
    EXPECT_FALSE(rig.bus.lpt_writeall(table, 0, 911, rig.progress));
    rig.bus.BusStop();
    EXPECT_TRUE(rig.host.messages.empty());
    EXPECT_EQ(rig.memory.writeCycles(), 57);
    EXPECT_TRUE(memoryHolds(table, 0, 911));

    // Each page: STOP, START, control, word address, then its 16 bytes.
    const auto ev = events();
    std::vector<int> pageStarts;
    bool answeredAfterLastPage = false;
    for (std::size_t i = 0; i + 3 < ev.size(); ++i) {
        if (ev[i].kind != BusEvent::Stop || ev[i + 1].kind != BusEvent::Start)
            continue;
        // Polls the memory does not answer during its write cycle come first.
        std::size_t j = i + 1;
        while (j + 2 < ev.size() && ev[j + 2].kind == BusEvent::Start) {
            EXPECT_TRUE(ev[j + 1].ninthReleased);
            j += 2;
        }
        ASSERT_LT(j + 2, ev.size());
        ASSERT_EQ(ev[j + 1].kind, BusEvent::Byte);
        if (ev[j + 2].kind == BusEvent::Stop) {
            // After the last page the memory must answer again, once its write
            // cycle is over; then STOP, and the window's STOP.
            EXPECT_EQ(ev[j + 1].value, 0xA6);
            EXPECT_EQ(j + 4, ev.size());
            answeredAfterLastPage = true;
            break;
        }
        ASSERT_EQ(ev[j + 2].kind, BusEvent::Byte);
        const int a = static_cast<int>(pageStarts.size()) * 16;
        const int expected = a < 256 ? 0xA0 : a < 512 ? 0xA2 : a < 768 ? 0xA4 : 0xA6;
        EXPECT_EQ(ev[j + 1].value, expected) << "page " << a;
        EXPECT_EQ(ev[j + 2].value, a & 0xFF);
        pageStarts.push_back(a);
    }
    EXPECT_EQ(pageStarts.size(), 57u);
    EXPECT_TRUE(answeredAfterLastPage);
    // Progress: maximum last - 16, at every page start.
    EXPECT_EQ(rig.progress.maximum, 911 - 16);
    EXPECT_EQ(rig.progress.status, "Writing Now.......");
    EXPECT_EQ(rig.progress.positions.size(), 1u + 57u);
    EXPECT_EQ(rig.progress.positions.back(), 896);
    EXPECT_EQ(ev.back().kind, BusEvent::Stop);
}

TEST_F(LptBusTest, PollingWaitsOutTheWriteCycleAndGivesUpAfterTenStarts)
{
    rig.memory.faults.acknowledgeFromControl = 10;
    EXPECT_FALSE(rig.bus.lpt_writeall(table, 0, 15, rig.progress)) << "the tenth attempt answers";
    EXPECT_TRUE(memoryHolds(table, 0, 15));
    auto ev = events();
    const auto wordAddress = std::find_if(ev.begin(), ev.end(), [](const BusEvent& e) {
        return e.kind == BusEvent::Byte && e.value == 0x00;
    });
    EXPECT_EQ(std::count_if(ev.begin(), wordAddress, [](const BusEvent& e) { return e.kind == BusEvent::Start; }), 10);

    LptSimRig silent;
    ASSERT_TRUE(silent.find());
    silent.memory.faults.neverAcknowledge = true;
    silent.board.recordWrites = true;
    silent.board.dataWrites.clear();
    EXPECT_TRUE(silent.bus.lpt_writeall(table, 0, 911, silent.progress));
    EXPECT_EQ(silent.host.texts(), std::vector<std::string> {"Write error!"});
    ev = decodeMasterWrites(silent.board.dataWrites);
    EXPECT_EQ(std::count_if(ev.begin(), ev.end(), [](const BusEvent& e) { return e.kind == BusEvent::Start; }), 10);
    EXPECT_EQ(silent.memory.writeCycles(), 0);
}

TEST_F(LptBusTest, WholeReadEndsWithTheLastByteUnacknowledgedThenStop)
{
    std::copy(table.begin(), table.end(), rig.memory.memory().begin());
    std::vector<std::uint8_t> into(912, 0);
    EXPECT_FALSE(rig.bus.lpt_readall(into, 0, 911, rig.progress));
    EXPECT_EQ(into, table);
    EXPECT_EQ(rig.host.texts(), std::vector<std::string> {"Read success!"});

    const auto ev = events();
    ASSERT_GE(ev.size(), 2u);
    EXPECT_EQ(ev.back().kind, BusEvent::Stop);
    ASSERT_EQ(ev[ev.size() - 2].kind, BusEvent::Byte);
    EXPECT_TRUE(ev[ev.size() - 2].ninthReleased) << "byte 911 not acknowledged";
    // Every page's last byte is read without acknowledge, the others with one.
    int unacknowledged = 0, acknowledged = 0;
    for (const auto& e : ev)
        if (e.kind == BusEvent::Byte && e.value == 0xFF)   // master released all data bits: a received byte
            (e.ninthReleased ? unacknowledged : acknowledged)++;
    EXPECT_EQ(unacknowledged, 57);
    EXPECT_EQ(acknowledged, 912 - 57);
    // Progress: purple, maximum last - 32, at the last byte of each page but the final one.
    EXPECT_EQ(rig.progress.color, LptProgress::BarColor::Purple);
    EXPECT_EQ(rig.progress.maximum, 911 - 32);
    ASSERT_EQ(rig.progress.positions.size(), 1u + 56u);
    EXPECT_EQ(rig.progress.positions[1], 15);
    EXPECT_EQ(rig.progress.positions.back(), 895);
}

TEST_F(LptBusTest, VerifyReadsOnceAcrossBlocksAndStopsAfterTheFirstDifference)
{
    std::copy(table.begin(), table.end(), rig.memory.memory().begin());
    EXPECT_FALSE(rig.bus.lpt_verify(table, 0, 911, rig.progress));
    EXPECT_EQ(rig.host.texts(), std::vector<std::string> {"Verify Success!"});
    auto ev = events();
    EXPECT_EQ(std::count_if(ev.begin(), ev.end(), [](const BusEvent& e) { return e.kind == BusEvent::Start; }), 3)
        << "addressed once: START, control, word address, repeated START, read control; after the last byte "
           "one START and control to see that the memory still answers";

    rig.host.messages.clear();
    rig.board.dataWrites.clear();
    rig.memory.faults.wrongByteAt = 100;
    EXPECT_TRUE(rig.bus.lpt_verify(table, 0, 911, rig.progress));
    EXPECT_EQ(rig.host.texts(), std::vector<std::string> {"Verify Error!"});
    ev = events();
    // control, word, read control, bytes 0..100 acknowledged, one more unacknowledged, STOP.
    const long received = std::count_if(ev.begin(), ev.end(), [](const BusEvent& e) {
        return e.kind == BusEvent::Byte && e.value == 0xFF;
    });
    EXPECT_EQ(received, 102);
    // Then the memory is asked once whether it still answers (a board pulled
    // off reads as bytes that differ): START, control, STOP.
    ASSERT_GE(ev.size(), 6u);
    const auto tail = ev.end() - 6;
    EXPECT_FALSE(tail[0].ninthReleased);
    EXPECT_TRUE(tail[1].ninthReleased);
    EXPECT_EQ(tail[2].kind, BusEvent::Stop);
    EXPECT_EQ(tail[3].kind, BusEvent::Start);
    EXPECT_EQ(tail[4].kind, BusEvent::Byte);
    EXPECT_EQ(tail[5].kind, BusEvent::Stop);
    expectIdleAfterWindowStop();
}

TEST_F(LptBusTest, MemoryFaultsEndInOneMessageAndAnIdleBus)
{
    // A refused data byte: the pages before it are written, its own is not.
    rig.memory.faults.refuseDataAt = 300;
    EXPECT_TRUE(rig.bus.lpt_writeall(table, 0, 911, rig.progress));
    EXPECT_EQ(rig.host.texts(), std::vector<std::string> {"Write error!"});
    EXPECT_TRUE(memoryHolds(table, 0, 287));
    EXPECT_EQ(rig.memory.memory()[288], 0xFF);
    expectIdleAfterWindowStop();

    // The board pulled off during a write: the status reads as a data line held
    // low, which must not pass for acknowledges.
    for (std::uint8_t stuck : {std::uint8_t(0xFF), std::uint8_t(0x00)}) {
        LptSimRig lost;
        ASSERT_TRUE(lost.find());
        lost.board.loseBoardAfter(5000, stuck);
        EXPECT_TRUE(lost.bus.lpt_writeall(table, 0, 911, lost.progress)) << int(stuck);
        EXPECT_EQ(lost.host.texts(), std::vector<std::string> {"Write error!"});
        EXPECT_LT(lost.delay.count, 25'000 + 400) << "gave up at the next page";
        lost.host.messages.clear();
        std::vector<std::uint8_t> into(912, 0);
        EXPECT_TRUE(lost.bus.lpt_readall(into, 0, 911, lost.progress));
        EXPECT_TRUE(lost.bus.lpt_verify(table, 0, 911, lost.progress));
        EXPECT_EQ(lost.host.texts(), (std::vector<std::string> {"Read error!", "Read error!"}));
    }
}

TEST(LptProbe, NoBoardTakesAboutTwoHundredMillisecondsPerAddressAndWarnsOnce)
{
    LptSimRig rig;
    rig.board.loseBoardAfter(0, 0xFF);   // a port without the board: the status line floats high
    EXPECT_FALSE(rig.find());
    ASSERT_EQ(rig.host.messages.size(), 1u);
    EXPECT_EQ(rig.host.messages[0].text, "The Board is not responding!");
    EXPECT_TRUE(rig.host.messages[0].warning);
    EXPECT_EQ(rig.host.waits, std::vector<int>(12, 50));
    EXPECT_GE(rig.time.ns, 600'000'000);
    EXPECT_LT(rig.time.ns, 660'000'000);
    EXPECT_EQ(rig.bus.LptDataPort, 0);
    EXPECT_EQ(rig.board.foreignAccesses, 0);

    // A Pager command afterwards probes again rather than driving a guessed port.
    rig.host.messages.clear();
    rig.host.waits.clear();
    const std::vector<std::uint8_t> table(912, 0);
    EXPECT_TRUE(rig.bus.lpt_writeall(table, 0, 911, rig.progress));
    EXPECT_EQ(rig.host.texts(), std::vector<std::string> {"The Board is not responding!"});
    EXPECT_EQ(rig.host.waits.size(), 12u);
    rig.bus.BusStop();
    EXPECT_EQ(rig.board.foreignAccesses, 0);
}

TEST(LptProbe, BoardOnTheSecondAddressIsFoundThere)
{
    LptSimRig rig(0x278);
    EXPECT_TRUE(rig.find());
    EXPECT_EQ(rig.bus.LptDataPort, 0x278);
    EXPECT_EQ(rig.bus.LptStatusPort, 0x279);
    EXPECT_TRUE(rig.host.messages.empty());
    EXPECT_EQ(rig.host.waits.size(), 8u);
    EXPECT_EQ(rig.bus.LptLatch, 0xFC);
}

// The simulated memory behaves as a real 16-Kbit part, so a wrong sequence from
// the link shows up as a wrong result.
TEST(SerialMemorySim, PagesWrapBlocksSelectAndForeignControlBytesGoUnanswered)
{
    LptSimRig rig;
    ASSERT_TRUE(rig.find());
    LptBus& bus = rig.bus;
    // 20 bytes from 0x218 (block 2, page 0x210): the last four wrap to 0x210.
    ASSERT_TRUE(bus.PollDevice(0xA4));
    ASSERT_TRUE(bus.SendByte(0x18));
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(bus.SendByte(static_cast<std::uint8_t>(i)));
    bus.BusStop();
    EXPECT_EQ(rig.memory.writeCycles(), 1);
    const auto& m = rig.memory.memory();
    // Bytes 0..7 go to 0x218..0x21F, 8..15 wrap to 0x210..0x217, 16..19
    // overwrite 0x218..0x21B.
    EXPECT_EQ(m[0x21F], 7);
    EXPECT_EQ(m[0x210], 8) << "wrapped inside the page";
    EXPECT_EQ(m[0x217], 15);
    EXPECT_EQ(m[0x218], 16);
    EXPECT_EQ(m[0x21B], 19);
    EXPECT_EQ(m[0x20F], 0xFF) << "the page before is untouched";
    EXPECT_EQ(m[0x220], 0xFF) << "the next page is untouched";

    // Busy with the write cycle: no acknowledge, even for the right control byte.
    bus.BusStart();
    EXPECT_FALSE(bus.SendByte(0xA0));
    rig.time.ns += 5'000'000;
    bus.BusStart();
    EXPECT_FALSE(bus.SendByte(0xB0)) << "not a memory control byte";
    bus.BusStart();
    EXPECT_TRUE(bus.SendByte(0xA0));

    // Sequential read from 0x2FE runs on into block 3.
    rig.memory.memory()[0x2FE] = 0x11;
    rig.memory.memory()[0x2FF] = 0x22;
    rig.memory.memory()[0x300] = 0x33;
    ASSERT_TRUE(bus.PollDevice(0xA4));
    bus.SendByte(0xFE);
    bus.BusStart();
    ASSERT_TRUE(bus.SendByte(0xA5));
    EXPECT_EQ(bus.ReceiveByte(false), 0x11);
    EXPECT_EQ(bus.ReceiveByte(false), 0x22);
    EXPECT_EQ(bus.ReceiveByte(true), 0x33);
    bus.BusStop();
    EXPECT_EQ(rig.memory.writeCycles(), 1) << "the address-only write stored nothing";
}

} // namespace

TEST(HighResolutionDelay, EveryDelayLastsAtLeastSeventyFiveMicroseconds)
{
    HighResolutionDelay delay;
    using Clock = std::chrono::steady_clock;
    Clock::duration shortest = Clock::duration::max();
    for (int i = 0; i < 300; ++i) {
        const auto start = Clock::now();
        delay.BitDelay();
        shortest = std::min(shortest, Clock::now() - start);
    }
    EXPECT_GE(shortest, std::chrono::microseconds(75));
}

namespace {

enum class LptOperation { Read, Write, Verify };

struct LossOutcome {
    bool failed = false;
    bool bytesRight = false;
    bool lost = false;   // the operation says the board went away
    std::vector<std::string> messages;
};

// One whole operation on a fresh rig; the board is pulled off at the
// `loseAt`-th data-register write of the operation (never when 0). `writes`
// gets the number of writes the operation made.
LossOutcome runWithLoss(LptOperation op, int loseAt, std::uint8_t stuck, std::size_t* writes = nullptr)
{
    const std::vector<std::uint8_t> table = patternTable();
    // The verify compares against a table that ends in FF, which a lost board
    // reading a released line agrees with; the memory differs in its last byte.
    std::vector<std::uint8_t> verifyTable = table;
    std::fill(verifyTable.end() - 32, verifyTable.end(), 0xFF);

    LptSimRig rig;
    EXPECT_TRUE(rig.find());
    if (op == LptOperation::Read)
        std::copy(table.begin(), table.end(), rig.memory.memory().begin());
    if (op == LptOperation::Verify) {
        std::copy(verifyTable.begin(), verifyTable.end(), rig.memory.memory().begin());
        rig.memory.memory()[911] = 0x00;
    }
    rig.board.recordWrites = writes != nullptr;
    rig.board.dataWrites.clear();
    if (loseAt > 0)
        rig.board.loseBoardAfter(loseAt, stuck);

    LossOutcome outcome;
    switch (op) {
    case LptOperation::Read: {
        std::vector<std::uint8_t> into(912, 0);
        outcome.failed = rig.bus.lpt_readall(into, 0, 911, rig.progress);
        outcome.bytesRight = into == table;
        break;
    }
    case LptOperation::Write:
        outcome.failed = rig.bus.lpt_writeall(table, 0, 911, rig.progress);
        outcome.bytesRight = std::equal(table.begin(), table.end(), rig.memory.memory().begin());
        break;
    case LptOperation::Verify:
        outcome.failed = rig.bus.lpt_verify(verifyTable, 0, 911, rig.progress);
        outcome.bytesRight = false;   // the memory never equals the table
        break;
    }
    outcome.messages = rig.host.texts();
    outcome.lost = rig.bus.lastFailureWasLoss();
    if (writes)
        *writes = rig.board.dataWrites.size();
    return outcome;
}

// The board pulled off at each of the last 400 data-register writes of a whole
// read, write and verify, its status reading a data line held low (FF) or left
// high (00): the operation never says it succeeded with bytes that are wrong.
TEST(LptBoardLost, NoSuccessWithWrongBytesWhenTheBoardGoesDuringTheLastPage)
{
    struct Case {
        LptOperation op;
        const char* name;
        std::vector<std::string> errors;   // the one message a failure may show
    };
    const Case cases[] = {
        {LptOperation::Read, "read", {"Read error!"}},
        {LptOperation::Write, "write", {"Write error!"}},
        {LptOperation::Verify, "verify", {"Verify Error!", "Read error!"}},
    };
    for (const Case& c : cases) {
        std::size_t total = 0;
        const LossOutcome intact = runWithLoss(c.op, 0, 0, &total);
        EXPECT_EQ(intact.failed, c.op == LptOperation::Verify) << c.name;
        ASSERT_GT(total, 400u);
        for (std::uint8_t stuck : {std::uint8_t(0xFF), std::uint8_t(0x00)}) {
            int failures = 0;
            for (int at = static_cast<int>(total) - 399; at <= static_cast<int>(total); ++at) {
                const LossOutcome o = runWithLoss(c.op, at, stuck);
                SCOPED_TRACE(std::string(c.name) + " lost at write " + std::to_string(at) + " of "
                             + std::to_string(total) + ", status " + std::to_string(stuck));
                ASSERT_TRUE(o.failed || o.bytesRight) << "success with wrong bytes";
                // A failure says one thing; a successful write says nothing.
                ASSERT_EQ(o.messages.size(), o.failed || c.op != LptOperation::Write ? 1u : 0u);
                if (o.failed) {
                    ++failures;
                    EXPECT_NE(std::find(c.errors.begin(), c.errors.end(), o.messages[0]), c.errors.end())
                        << o.messages[0];
                }
            }
            // Only a loss after the memory's last answer leaves nothing to notice.
            EXPECT_GT(failures, 300) << c.name;
        }
    }
}

// A board pulled off early in a verify reads as bytes that differ from the
// table: nothing was compared, so it is a lost board, not a difference.
TEST(LptBoardLost, InTheMiddleOfAVerifyIsALossNotADifference)
{
    for (std::uint8_t stuck : {std::uint8_t(0xFF), std::uint8_t(0x00)}) {
        const LossOutcome o = runWithLoss(LptOperation::Verify, 3000, stuck);
        EXPECT_TRUE(o.failed) << int(stuck);
        EXPECT_TRUE(o.lost) << int(stuck);
        EXPECT_EQ(o.messages, std::vector<std::string>{"Read error!"}) << int(stuck);
    }
    const LossOutcome intact = runWithLoss(LptOperation::Verify, 0, 0);
    EXPECT_FALSE(intact.lost);
    EXPECT_EQ(intact.messages, std::vector<std::string>{"Verify Error!"});
}

} // namespace

namespace {

// The simulated board's memory file: only a table file is loaded, and a write
// whose memory cannot be saved is not reported as written.
TEST(LptSimulatedMemoryFile, OnlyTableFilesLoadAndAFailedSaveFailsTheWrite)
{
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    auto fileOf = [&](const std::string& name, std::size_t size) {
        const std::string path = folder + "/" + name;
        std::ofstream(path, std::ios::binary) << std::string(size, '\x30');
        return path;
    };
    struct Case {
        std::string file;
        const char* refusal;   // part of the message; null: accepted
    };
    const Case cases[] = {
        {fileOf("short.tbl", 911), "911 bytes"},
        {fileOf("long.tbl", 2048), "2048 bytes"},
        {folder, "is a folder"},
        {fileOf("pager.tbl", 912), nullptr},
        {folder + "/new.tbl", nullptr},
        {folder + "/missing/pager.tbl", nullptr},   // said when the write saves it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        SimTime time;
        SimulatedBoardSession session([&time] { return time.ns; });
        std::string error;
        const bool started = session.start(c.file, std::nullopt, error);
        if (c.refusal) {
            EXPECT_FALSE(started);
            EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
            EXPECT_EQ(error.find("Success"), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(started) << error;
        SimDelay delay(time);
        RecordingHost host(time);
        RecordingProgress progress;
        LptBus bus(session.board, delay, host);
        ASSERT_TRUE(bus.FindLptBoard());
        const std::vector<std::uint8_t> table = patternTable();
        const bool failed = bus.lpt_writeall(table, 0, 911, progress);
        const bool saves = c.file.find("missing") == std::string::npos;
        EXPECT_EQ(failed, !saves);
        if (saves) {
            EXPECT_TRUE(host.messages.empty());
            std::ifstream in(c.file, std::ios::binary);
            EXPECT_EQ(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}), table);
        } else {
            ASSERT_EQ(host.messages.size(), 1u);
            EXPECT_NE(host.messages[0].text.find("could not be saved"), std::string::npos) << host.messages[0].text;
        }
    }
}

// Counts the accesses made since the port was last given back.
class ClaimCountingPort final : public PortIo {
public:
    explicit ClaimCountingPort(PortIo& inner) : inner_(inner) {}
    void out(std::uint16_t address, std::uint8_t value) override
    {
        ++held;
        inner_.out(address, value);
    }
    std::uint8_t in(std::uint16_t address) override
    {
        ++held;
        return inner_.in(address);
    }
    void release() override
    {
        held = 0;
        ++releases;
    }
    int held = 0;
    int releases = 0;

private:
    PortIo& inner_;
};

// The port is held for one operation only; a verify that gets no answer is a
// failed read, not a difference; every port's problem is said.
TEST(LptPortUse, PortsAreHeldForOneOperationAndEveryProblemIsSaid)
{
    LptSimRig rig;
    ClaimCountingPort port(rig.board);
    px316t::testing::RecordingMessageBoxes messages;
    px316t::testing::FakeClock clock;
    LptLink link(port, rig.delay, messages, clock);
    PagerCommandState state;
    LptPagerLink pagerLink(link);
    ProgrammingSequence sequence(&pagerLink, messages, state);
    px316t::testing::RecordingProgressView progress;
    PagerTable table {};
    std::fill(table.begin(), table.end(), 0x5A);

    ASSERT_TRUE(link.FindLptBoard());
    EXPECT_EQ(port.held, 0) << "given back after the probe";
    struct Step {
        const char* name;
        std::function<bool()> run;
        TransferFailure failure;
    };
    const Step steps[] = {
        {"write", [&] { return sequence.write(table, progress); }, TransferFailure::None},
        {"verify", [&] { return sequence.verify(table, progress); }, TransferFailure::None},
        {"read", [&] { return sequence.read(table, progress); }, TransferFailure::None},
        {"verify, a difference", [&] {
             rig.memory.memory()[500] ^= 1;
             return sequence.verify(table, progress);
         }, TransferFailure::VerifyMismatch},
        {"verify, no answer", [&] {
             rig.memory.faults.neverAcknowledge = true;
             return sequence.verify(table, progress);
         }, TransferFailure::NoAnswer},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        const int releases = port.releases;
        EXPECT_EQ(step.run(), step.failure == TransferFailure::None);
        EXPECT_EQ(sequence.lastFailure(), step.failure);
        EXPECT_GT(port.releases, releases);
        EXPECT_EQ(port.held, 0) << "nothing touched the port after it was given back";
    }
    EXPECT_EQ(messages.texts().back(), QStringLiteral("Read error!"));

#ifdef __linux__
    // Two ports that cannot be opened: both are named, not only the last.
    QTemporaryDir dir;
    const std::filesystem::path root = dir.path().toStdString();
    PpdevPortIo twoPorts({{0x378, root / "parport7"}, {0x278, root / "parport8"}});
    px316t::testing::RecordingMessageBoxes probeMessages;
    LptLink probe(twoPorts, rig.delay, probeMessages, clock);
    EXPECT_FALSE(probe.FindLptBoard());
    ASSERT_EQ(probeMessages.texts().size(), 2);
    const QString reasons = probeMessages.texts()[1];
    EXPECT_TRUE(reasons.contains("parport7") && reasons.contains("parport8")) << reasons.toStdString();
    // No parallel-port support loaded at all: the missing module is named.
    EXPECT_NE(parportSupportProblem({}, root).find("ppdev is missing"), std::string::npos);
    std::filesystem::create_directories(root / "dev/parport");
    EXPECT_EQ(parportSupportProblem({}, root).find("ppdev"), std::string::npos);
    EXPECT_NE(PpdevPortIo({}, parportSupportProblem({}, "/nonexistent")).problem().find("ppdev"), std::string::npos);
#endif
}

} // namespace
