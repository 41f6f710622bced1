// The programming window driven from the main window's Pager menu against the
// in-process board: Read, Write, Verify and the production auto-increase.
#include "support/form1_fixture.h"
#include "support/link_fake_board.h"
#include "support/link_memory_registry.h"

#include "editor/capcode_codec.h"
#include "ui/capcode_list.h"
#include "ui/frequency_panel.h"
#include "link/board_detection.h"
#include "ui/form2.h"
#include "production/pg_production.h"
#include "ui/production_record_dialog.h"
#include "production/sqlite_record_store.h"
#include "table/builtin_tables.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QProcess>
#include <QTimer>

#include <QTableWidget>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

using namespace px316t;
using px316t::testing::FakeBoardPorts;
using px316t::testing::FakeClock;
using px316t::testing::Form1Fixture;
using px316t::testing::MemorySerialCommBackend;

namespace {

constexpr int kBoardCom = 3;

class ProgrammingWindow : public Form1Fixture {
protected:
    void customize(ApplicationOptions& services) override
    {
        registryBackend->setPorts({kBoardCom});
        services.makeRegistry = [this] { return std::make_unique<clsRegistryAccess>(registryBackend); };
        services.makeSerialPorts = [this]() -> std::unique_ptr<SerialPorts> {
            auto ports = std::make_unique<FakeBoardPorts>(clock);
            board = &ports->addBoard(kBoardCom);
            fake = ports.get();
            return ports;
        };
        services.linkClock = &clock;
    }

    BoardResponder::Memory& boardMemory() { return board->memory(); }
    QLineEdit* field(int k) { return form->capcodes().txtAddr[k]; }
    void writeMode() { form->WriteOpt->setChecked(true); }
    void autoIncrease(bool on) { form->optAuto1->setChecked(on); }
    bool boardHoldsTable()
    {
        return std::equal(table().begin(), table().end(), boardMemory().begin());
    }
    std::uint32_t boardWord(int slot)
    {
        const auto& m = boardMemory();
        return (m[0xB1 + 4 * slot] & 0x1Fu) << 16 | m[0xB2 + 4 * slot] << 8 | m[0xB3 + 4 * slot];
    }

    // Runs a Pager command; `inWindow` runs inside the modal window once it is up
    // (after its activation), and must leave it closed.
    void runCommand(void (Form1::*command)(), std::function<void(Form2&)> inWindow = {})
    {
        windowsShown = 0;
        form->onProgrammingWindow = [this, inWindow](Form2& w) {
            ++windowsShown;
            if (!inWindow)
                return;
            QTimer::singleShot(0, &w, [&w, inWindow] {
                const bool up = QTest::qWaitFor([&w] { return w.cmdExit->isVisible() || !w.isVisible(); }, 2000);
                EXPECT_TRUE(up);
                inWindow(w);
                if (w.isVisible())
                    w.cmdExit->click();
            });
        };
        (form.get()->*command)();
    }
    void pressWrite(Form2& w) { w.cmdWrite->click(); }

    std::shared_ptr<MemorySerialCommBackend> registryBackend = std::make_shared<MemorySerialCommBackend>();
    FakeClock clock;
    FakeBoardPorts* fake = nullptr;
    BoardResponder* board = nullptr;
    int windowsShown = 0;
};

// No board on a station whose first port the user may not open.
class NoBoardAtStart : public Form1Fixture {
protected:
    void customize(ApplicationOptions& services) override
    {
        registryBackend->setPorts({1, 2});
        services.makeRegistry = [this] { return std::make_unique<clsRegistryAccess>(registryBackend); };
        services.makeSerialPorts = [this]() -> std::unique_ptr<SerialPorts> {
            auto ports = std::make_unique<FakeBoardPorts>(clock);
            ports->refuseOpen(1, SerialPermissionDenied, "/dev/ttyS0: permission denied");
            ports->addSilentPort(2);
            return ports;
        };
        services.linkClock = &clock;
    }

    std::shared_ptr<MemorySerialCommBackend> registryBackend = std::make_shared<MemorySerialCommBackend>();
    FakeClock clock;
};

} // namespace

// The start-up says once, after the window is on the screen, that no board
// answered and why a port could not be asked.
TEST_F(NoBoardAtStart, OneMessageOnceTheWindowIsUp)
{
    EXPECT_TRUE(saidBeforeShow.isEmpty()) << saidBeforeShow.join('|').toStdString();
    ASSERT_EQ(saidAtStart.size(), 1) << saidAtStart.join('|').toStdString();
    EXPECT_TRUE(saidAtStart[0].startsWith("The Programmed Board is not responding!")) << saidAtStart[0].toStdString();
    EXPECT_TRUE(saidAtStart[0].contains("/dev/ttyS0: permission denied")) << saidAtStart[0].toStdString();
}

// After a Pager command and its message the focus is back where it was, so
// that Tab goes on from that field rather than to the mode buttons.
TEST_F(ProgrammingWindow, TheFocusComesBackAfterAPagerCommand)
{
    std::copy(table().begin(), table().end(), boardMemory().begin());
    const struct {
        void (Form1::*command)();
        const char* said;
    } commands[] = {
        {&Form1::mnuEB_Click, "Modify Mode can not write! Please check!"},
        {&Form1::mnuEB1_Click, "Verify Success!"},
    };
    QLineEdit* capcode = field(1);
    for (const auto& c : commands) {
        SCOPED_TRACE(c.said);
        messages.clear();
        capcode->setFocus(Qt::MouseFocusReason);
        runCommand(c.command);
        EXPECT_EQ(messages.texts(), QStringList{c.said});
        // The window's focus control, which has the focus again once the window is active.
        EXPECT_EQ(form->focusWidget(), capcode);
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitFor([&] { return capcode->hasFocus(); }, 2000));
        QTest::keyClick(capcode, Qt::Key_Tab);
        EXPECT_FALSE(form->ModifyOpt->hasFocus());
    }
}

TEST_F(ProgrammingWindow, BoardFoundAtStartUp)
{
    EXPECT_EQ(form->linkState().BoardPort, kBoardCom);
    EXPECT_EQ(form->linkState().SerialPortCount, 1);
    EXPECT_TRUE(form->detection()->Timer1().isActive());
    EXPECT_EQ(form->detection()->Timer1().interval(), 3000);
}

TEST_F(ProgrammingWindow, WriteInModifyModeIsRefusedVerifyIsNot)
{
    boardMemory().fill(0xFF);
    runCommand(&Form1::mnuEB_Click);
    EXPECT_EQ(windowsShown, 1);
    ASSERT_EQ(messages.texts(), QStringList{"Modify Mode can not write! Please check!"});
    EXPECT_EQ(messages.messages[0].icon, MessageBoxes::Icon::Warning);
    EXPECT_EQ(boardMemory()[0], 0xFF) << "nothing written";

    std::copy(table().begin(), table().end(), boardMemory().begin());
    messages.clear();
    runCommand(&Form1::mnuEB1_Click);
    EXPECT_EQ(messages.texts(), QStringList{"Verify Success!"});
}

TEST_F(ProgrammingWindow, WriteWithoutAutoIncreaseWritesVerifiesAndCloses)
{
    writeMode();
    runCommand(&Form1::mnuEB_Click);
    EXPECT_TRUE(boardHoldsTable());
    EXPECT_EQ(messages.texts(), QStringList{"Verify Success!"});
    EXPECT_FALSE(form->commandState().TransferFailed);
}

TEST_F(ProgrammingWindow, FailingBlockWithoutAutoIncrease)
{
    writeMode();
    board->faults().badAck = true;
    runCommand(&Form1::mnuEB_Click);
    EXPECT_EQ(messages.texts(), QStringList{"Write error!"}) << "no verification after a failed write";
    EXPECT_TRUE(form->commandState().TransferFailed);
    EXPECT_EQ(field(0)->text(), "1234567");
}

TEST_F(ProgrammingWindow, AutoIncreaseRaisesTheFirstCapcodeAfterAVerifiedWrite)
{
    writeMode();
    autoIncrease(true);
    QString captionDuringFirstPress;
    runCommand(&Form1::mnuEB_Click, [&](Form2& w) {
        EXPECT_TRUE(w.cmdWrite->isVisible());
        EXPECT_TRUE(w.lblAuto1->isVisible());
        pressWrite(w);
        captionDuringFirstPress = w.lblAuto1->text();
        EXPECT_TRUE(w.cmdWrite->isEnabled());
        EXPECT_EQ(w.PB1->value(), 0);
        EXPECT_TRUE(w.Label1->text().isEmpty());
    });
    EXPECT_EQ(boardWord(0), 1234567u + 32768u) << "the pager got the capcode shown when Write was pressed";
    EXPECT_EQ(captionDuringFirstPress, " 1st capcode : 1234567");
    EXPECT_EQ(field(0)->text(), "1234568");
    EXPECT_EQ(readCapcodeWord(table(), 0), 1234568u + 32768u);
    EXPECT_EQ(messages.texts(), QStringList{"Verify Success!"});
}

TEST_F(ProgrammingWindow, IncreaseKeepsTheSevenDigitForm)
{
    enter(field(0), "1234");
    writeMode();
    autoIncrease(true);
    runCommand(&Form1::mnuEB_Click, [&](Form2& w) { pressWrite(w); });
    EXPECT_EQ(field(0)->text(), "0001235");
}

TEST_F(ProgrammingWindow, LongCapcodeIncreases)
{
    form->capcodes().cboCapLen[0]->setCurrentIndex(1);
    enter(field(0), "3000000000");
    writeMode();
    autoIncrease(true);
    runCommand(&Form1::mnuEB_Click, [&](Form2& w) { pressWrite(w); });
    EXPECT_EQ(field(0)->text(), "3000000001");
    EXPECT_EQ(decodeLongCapcode(readCapcodeWord(table(), 0), readCapcodeWord(table(), 1)), 3000000001u);
    EXPECT_EQ(messages.texts(), QStringList{"Verify Success!"});
}

TEST_F(ProgrammingWindow, CapcodeAtTheLimitIsNotIncreased)
{
    storeCapcodeWord(table(), 0, 2031615 + 32768, false);   // only an image can hold it
    form->init_ctl();
    ASSERT_EQ(field(0)->text(), "2031615");
    writeMode();
    autoIncrease(true);
    runCommand(&Form1::mnuEB_Click, [&](Form2& w) { pressWrite(w); });
    ASSERT_EQ(messages.texts(), (QStringList{"Verify Success!", "Capcode 1 > 2031615 so can not be increase!"}));
    EXPECT_EQ(messages.messages[1].icon, MessageBoxes::Icon::Warning);
    EXPECT_EQ(field(0)->text(), "2031615");
}

TEST_F(ProgrammingWindow, IncreaseIntoTheReservedGapIsRefusedToo)
{
    enter(field(0), "2031614");
    writeMode();
    autoIncrease(true);
    std::size_t framesAfterFirst = 0;
    runCommand(&Form1::mnuEB_Click, [&](Form2& w) {
        pressWrite(w);
        framesAfterFirst = fake->log(kBoardCom).writes.size();
        pressWrite(w);
    });
    EXPECT_EQ(fake->log(kBoardCom).writes.size(), framesAfterFirst) << "2031614 is not written a second time";
    EXPECT_EQ(messages.texts().count("Verify Success!"), 1);
    EXPECT_EQ(messages.texts().count("Capcode 1 > 2031615 so can not be increase!"), 2);
    EXPECT_EQ(field(0)->text(), "2031614");
    EXPECT_FALSE(form->document().flags().CapcodeInvalid);
}

TEST_F(ProgrammingWindow, FrameMaskFollowsTheIncrease)
{
    enter(field(0), "1234575");
    ASSERT_EQ(form->frequency().lblFrame->text(), "0100");
    writeMode();
    autoIncrease(true);
    runCommand(&Form1::mnuEB_Click, [&](Form2& w) { pressWrite(w); });
    EXPECT_EQ(field(0)->text(), "1234576");
    EXPECT_EQ(form->frequency().lblFrame->text(), "0200");
    EXPECT_EQ(table()[0x92], 0x02);
    EXPECT_EQ(table()[0xAE], 0x02) << "and its copies";
}

TEST_F(ProgrammingWindow, FailingVerificationSkipsTheCapcodeTheRecordHoldsAsUncertain)
{
    writeMode();
    autoIncrease(true);
    runCommand(&Form1::mnuEB_Click, [&](Form2& w) {
        clock.onEvents = [&] {
            if (w.Label1->text() == "Verifying Now.....")
                board->memory()[0x200] ^= 0xFF;   // the pager does not keep what it was sent
        };
        pressWrite(w);
        clock.onEvents = {};
    });
    // The pager may hold 1234567: the window says so and offers the next one.
    ASSERT_EQ(messages.texts().size(), 2);
    EXPECT_EQ(messages.texts()[0], "Verify Error!");
    EXPECT_TRUE(messages.texts()[1].contains("at capcode 1234567") && messages.texts()[1].contains("uncertain"))
        << messages.texts()[1].toStdString();
    EXPECT_EQ(field(0)->text(), "1234568");
    EXPECT_EQ(readCapcodeWord(table(), 0), 1234568u + 32768u);
}

TEST_F(ProgrammingWindow, AfterARestartTheRecordDecidesAndNoCapcodeIsWrittenTwice)
{
    writeMode();
    autoIncrease(true);
    runCommand(&Form1::mnuEB_Click, [&](Form2& w) { pressWrite(w); });
    ASSERT_EQ(field(0)->text(), "1234568");
    // Ctrl+E ends the program; the next day's window starts from the file's
    // capcode again (here the start-up image's).
    start(LinkKind::USB);
    writeMode();
    autoIncrease(true);
    ASSERT_EQ(field(0)->text(), "1234567");
    const std::size_t framesBefore = fake->log(kBoardCom).writes.size();
    std::size_t framesAfterOffer = 0;
    runCommand(&Form1::mnuEB_Click, [&](Form2& w) {
        pressWrite(w);   // says so and offers the next free capcode; writes nothing
        framesAfterOffer = fake->log(kBoardCom).writes.size();
        pressWrite(w);
    });
    EXPECT_EQ(framesAfterOffer, framesBefore);
    ASSERT_EQ(messages.texts().size(), 2);
    EXPECT_TRUE(messages.texts()[0].startsWith("Capcode 1234567 is on this station's record")) << messages.texts()[0].toStdString();
    EXPECT_EQ(messages.texts()[1], "Verify Success!");
    EXPECT_EQ(boardWord(0), 1234568u + 32768u);
    EXPECT_EQ(field(0)->text(), "1234569");
}

TEST_F(ProgrammingWindow, ReadReplacesTheImageAndFollowsItsBand)
{
    PagerTable image = makeDefaultPagerTable();
    for (int i = 0; i < 16; ++i)
        image[i] = static_cast<std::uint8_t>(0x40 + i);   // no preset looks like this
    image[0xF1] = 0x4A;
    storeCapcodeWord(image, 2, 765 + 32768, false);
    std::copy(image.begin(), image.end(), boardMemory().begin());
    runCommand(&Form1::mnuEntire_Click);
    EXPECT_EQ(messages.texts(), QStringList{"Read success!"});
    EXPECT_EQ(form->frequency().cboDft->currentText(), "400-499MHz");
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(table()[i], 0x40 + i) << "no preset loaded";
    EXPECT_EQ(table()[0xF1], 0x4A);
    EXPECT_EQ(field(2)->text(), "0000765");
}

TEST_F(ProgrammingWindow, FailedReadLeavesTheImage)
{
    const auto before = table();
    board->faults().badChecksum = true;
    runCommand(&Form1::mnuEntire_Click);
    EXPECT_EQ(messages.texts(), QStringList{"Read error!"});
    EXPECT_EQ(table(), before);
}

TEST_F(ProgrammingWindow, CommandAfterARefusedEntryIsDroppedOnce)
{
    typeInto(form->frequency().txtFreq, "1000");
    runCommand(&Form1::mnuEB1_Click);
    EXPECT_EQ(windowsShown, 0);
    EXPECT_EQ(messages.texts(), QStringList{"Frequency setting error(9280000 < = Frequency < =9320000 )"});
    EXPECT_FALSE(form->document().flags().EntryRejected);
    std::copy(table().begin(), table().end(), boardMemory().begin());
    runCommand(&Form1::mnuEB1_Click);
    EXPECT_EQ(windowsShown, 1);
}

TEST_F(ProgrammingWindow, MovingOnWithTabKeepsTheRefusalArmed)
{
    typeInto(field(0), "2031615");
    leaveField();
    ASSERT_EQ(messages.texts(), QStringList{"Invalid Capcode!"});
    QTest::keyClick(field(0), Qt::Key_Tab);   // moves on without typing anything
    runCommand(&Form1::mnuEB1_Click);
    EXPECT_EQ(windowsShown, 0) << "the command after the refusal is dropped";
    runCommand(&Form1::mnuEB1_Click);
    EXPECT_EQ(windowsShown, 1);
}

namespace {
std::vector<RecordEntry> recorded(const QString& folder);
} // namespace

TEST_F(ProgrammingWindow, FiftyProductionWritesWithFaultsGiveConsecutiveCapcodes)
{
    writeMode();
    autoIncrease(true);
    std::mt19937 random(316);
    std::vector<std::uint32_t> written;
    std::vector<std::uint32_t> skipped;
    int failures = 0;
    runCommand(&Form1::mnuEB_Click, [&](Form2& w) {
        while (written.size() < 50) {
            const std::uint32_t shown = field(0)->text().toUInt();
            // Sometimes the board stops answering at a random frame of this cycle
            // (8 write frames, then 8 verify reads), as a pager pulled out would.
            const bool inject = random() % 3 == 0;
            const std::size_t failAt = fake->log(kBoardCom).writes.size() + random() % 16;
            clock.onEvents = [&] {
                if (inject && fake->log(kBoardCom).writes.size() > failAt)
                    board->faults().silent = true;
            };
            messages.clear();
            pressWrite(w);
            clock.onEvents = {};
            board->faults().silent = false;
            const bool verified = messages.texts().contains("Verify Success!");
            if (verified) {
                ASSERT_EQ(boardWord(0), shown + 32768u) << "the pager holds the capcode that was shown";
                written.push_back(shown);
                ASSERT_EQ(field(0)->text().toUInt(), shown + 1);
            } else {
                ++failures;
                // A cycle whose write never began keeps its capcode; one that
                // began may have left it in the pager, so it is skipped.
                const std::uint32_t next = field(0)->text().toUInt();
                ASSERT_TRUE(next == shown || next == shown + 1) << shown << " -> " << next;
                if (next != shown)
                    skipped.push_back(shown);
            }
        }
    });
    ASSERT_EQ(written.size(), 50u);
    // Every capcode from the first is either written once or skipped on the
    // record, in order: none repeated, none lost without a trace.
    std::vector<std::uint32_t> all = written;
    all.insert(all.end(), skipped.begin(), skipped.end());
    std::sort(all.begin(), all.end());
    for (std::size_t i = 0; i < all.size(); ++i)
        EXPECT_EQ(all[i], 1234567u + i) << "none skipped silently, none repeated";
    std::vector<std::uint32_t> uncertain;
    for (const RecordEntry& e : recorded(dir.path()))
        if (!e.note.empty() && e.result != RecordResult::Success)
            uncertain.push_back(static_cast<std::uint32_t>(e.firstCapcode.value_or(0)));
    EXPECT_EQ(uncertain, skipped) << "each skip is on the record with its reason";
    EXPECT_GT(failures, 0) << "the run injected faults";
}

// ---- backups and the production record ------------------------------------------

namespace {

std::vector<RecordEntry> recorded(const QString& folder)
{
    auto store = SqliteRecordStore::open((folder + QStringLiteral("/data/production.sqlite")).toStdString());
    EXPECT_TRUE(store.ok());
    return store.ok() ? store.value()->list(std::nullopt).value() : std::vector<RecordEntry>{};
}

} // namespace

TEST_F(ProgrammingWindow, EveryReadKeepsABackupOfThePagerAsItCame)
{
    PagerTable image = makeDefaultPagerTable();
    storeCapcodeWord(image, 0, 4321 + 32768, false);
    applyArrivalRules(image);   // a pager whose frame mask is its capcodes' own
    std::copy(image.begin(), image.end(), boardMemory().begin());
    runCommand(&Form1::mnuEntire_Click);
    boardMemory()[0x300] ^= 0x5A;
    runCommand(&Form1::mnuEntire_Click);
    EXPECT_EQ(messages.texts(), (QStringList{"Read success!", "Read success!"}));

    const std::filesystem::path folder = (dir.path() + QStringLiteral("/data/backups")).toStdString();
    std::vector<std::string> contents;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        EXPECT_NE(entry.path().filename().string().find("-4321"), std::string::npos) << entry.path();
        std::ifstream in(entry.path(), std::ios::binary);
        contents.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ASSERT_EQ(contents.size(), 2u) << "the second backup does not replace the first";
    std::sort(contents.begin(), contents.end());
    const std::string first(image.begin(), image.end());
    image[0x300] ^= 0x5A;
    const std::string second(image.begin(), image.end());
    EXPECT_TRUE((contents == std::vector<std::string>{first, second}) ||
                (contents == std::vector<std::string>{second, first}));
}

TEST_F(ProgrammingWindow, EveryWriteAndVerifyIsRecordedWithItsResult)
{
    writeMode();
    runCommand(&Form1::mnuEB_Click);                    // written and verified
    board->faults().badAck = true;
    runCommand(&Form1::mnuEB_Click);                    // the board refuses a block
    board->faults().badAck = false;
    boardMemory()[0x200] ^= 0xFF;
    runCommand(&Form1::mnuEB1_Click);                   // the pager differs

    const auto entries = recorded(dir.path());
    ASSERT_EQ(entries.size(), 4u);
    const std::vector<std::pair<RecordOperation, RecordResult>> expected = {
        {RecordOperation::Write, RecordResult::Success},
        {RecordOperation::Verify, RecordResult::Success},
        {RecordOperation::Write, RecordResult::BadReply},
        {RecordOperation::Verify, RecordResult::VerifyError}};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].operation, expected[i].first) << i;
        EXPECT_EQ(entries[i].result, expected[i].second) << i;
        EXPECT_EQ(entries[i].port, "COM3");
        EXPECT_EQ(entries[i].station, "test-station");
        EXPECT_EQ(entries[i].firstCapcode, 1234567);
        EXPECT_EQ(entries[i].sha256, summarizeImage(table()).sha256);
    }
}

TEST_F(ProgrammingWindow, ProductionRecordsTheCapcodeWrittenAndTheWindowShowsIt)
{
    writeMode();
    autoIncrease(true);
    runCommand(&Form1::mnuEB_Click, [&](Form2& w) {
        pressWrite(w);
        pressWrite(w);
    });
    const auto entries = recorded(dir.path());
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].firstCapcode, 1234567);
    EXPECT_EQ(entries[3].firstCapcode, 1234568);
    {
        // A capcode a station skipped, as its recovery records it.
        auto store = SqliteRecordStore::open((dir.path() + QStringLiteral("/data/production.sqlite")).toStdString());
        RecoveredReservation skipped;
        skipped.capcode = 1234569;
        skipped.station = "test-station";
        skipped.state = ReservationState::Uncertain;
        skipped.reason = "its station stopped while writing; the pager may hold it";
        ASSERT_TRUE(store.value()->append(recoveryEntry(skipped, "test-station")).ok());
    }

    int rows = -1;
    QString lastRow;
    form->onProductionRecordWindow = [&](QDialog& d) {
        auto* table = static_cast<ProductionRecordDialog&>(d).table();
        rows = table->rowCount();
        for (int c = 0; c < table->columnCount(); ++c)
            lastRow += table->item(rows - 1, c)->text() + QLatin1Char('|');
    };
    form->mnuProductionRecord->trigger();
    EXPECT_EQ(rows, 5);
    EXPECT_TRUE(lastRow.contains("|test-station||write||1234569|")) << lastRow.toStdString();
    EXPECT_TRUE(lastRow.contains("|uncertain|") && lastRow.contains("the pager may hold it")) << lastRow.toStdString();
}

TEST_F(ProgrammingWindow, AReadPagerWhoseFrameMaskIsNotItsCapcodesOwnIsSaidAndShownRebuilt)
{
    PagerTable sound = makeDefaultPagerTable();
    applyArrivalRules(sound);
    std::copy(sound.begin(), sound.end(), boardMemory().begin());
    boardMemory()[0x92 + 4 * 5] ^= 0x10;   // a copy of the mask
    runCommand(&Form1::mnuEntire_Click);
    ASSERT_EQ(messages.texts().size(), 2);
    EXPECT_TRUE(messages.texts()[1].startsWith("The frame mask ")) << messages.texts()[1].toStdString();
    EXPECT_EQ(table(), sound);
}

// The operator typed in the window (kept for the next run; emptied, the one
// configured) and the table file the image came from are on every entry.
TEST_F(ProgrammingWindow, EntriesNameTheOperatorTypedAndTheTableFileTheImageCameFrom)
{
    const QString file = dir.filePath("tray 4.tbl");
    files.paths.push_back(file);
    form->mnuSBTF_Click();
    const std::string sha = sha256Hex(table().data(), table().size());   // of the file's bytes
    writeMode();
    autoIncrease(true);
    runCommand(&Form1::mnuEB_Click, [&](Form2& w) {
        const std::size_t frames = fake->log(kBoardCom).writes.size();
        w.txtOperator->clear();
        QTest::keyClicks(w.txtOperator, QStringLiteral(" Ines Kowal "));
        QTest::keyClick(w.txtOperator, Qt::Key_Return);
        EXPECT_EQ(fake->log(kBoardCom).writes.size(), frames) << "Enter in the field writes no pager";
        pressWrite(w);
    });
    runCommand(&Form1::mnuEntire_Click);   // from now on the image comes from the pager
    runCommand(&Form1::mnuEB1_Click);
    const auto entries = recorded(dir.path());
    ASSERT_EQ(entries.size(), 3u);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].source.operatorName, "Ines Kowal") << i;
        EXPECT_EQ(entries[i].source.tableFile + entries[i].source.tableSha256, i < 2 ? "tray 4.tbl" + sha : "") << i;
    }
}

TEST_F(Form1Fixture, TheOperatorTypedIsKeptForTheNextRun)
{
    QStringList shown;
    for (const QString typed : {"Ines Kowal", "", ""}) {
        form->WriteOpt->setChecked(true);
        form->optAuto1->setChecked(true);
        form->onProgrammingWindow = [&](Form2& w) {
            QTimer::singleShot(0, &w, [&] {
                EXPECT_TRUE(QTest::qWaitFor([&w] { return w.txtOperator->isVisible(); }, 2000));
                shown << w.txtOperator->text();
                w.txtOperator->setText(typed);
                emit w.txtOperator->editingFinished();
                w.cmdExit->click();
            });
        };
        form->mnuEB_Click();
        start(LinkKind::USB);
    }
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown[1], "Ines Kowal");
    EXPECT_EQ(shown[2], shown[0]) << "an emptied field stands for the one configured";
}

TEST_F(ProgrammingWindow, ALabelFollowsEachPagerTheRecordKeptAndTheLineViewOpensBeside)
{
    writeMode();
    autoIncrease(true);
    const QString pdf = dir.path() + QStringLiteral("/labels.pdf");
    QString liveTitle;
    runCommand(&Form1::mnuEB_Click, [&](Form2& w) {
        ASSERT_TRUE(w.chkLabel->isVisible());
        EXPECT_EQ(w.txtLabelSize->text(), "62 x 29");
        w.txtLabelSize->setText("5 x 5");
        w.txtLabelSize_Commit();
        EXPECT_EQ(w.txtLabelSize->text(), "62 x 29") << "a refused size shows the one kept";
        w.chkLabel->setChecked(true);
        w.cboLabelPrinter->setCurrentIndex(0);
        w.txtLabelFile->setText(pdf);
        pressWrite(w);
        // A pager whose verify fails leaves its capcode uncertain: no label.
        clock.onEvents = [&] {
            if (w.Label1->text() == "Verifying Now.....")
                board->memory()[0x200] ^= 0xFF;
        };
        pressWrite(w);
        clock.onEvents = {};
        pressWrite(w);
        w.onProductionWindow = [&](QDialog& view) {
            liveTitle = view.windowTitle();
            view.close();
        };
        w.cmdProduction->click();
    });
    EXPECT_EQ(liveTitle, "Production");
    ASSERT_FALSE(messages.texts().isEmpty());
    EXPECT_TRUE(messages.texts()[0].contains("no label size")) << messages.texts()[0].toStdString();
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(60000));
    const QString labels = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(labels.contains("A1234567") && labels.contains("A1234569")) << labels.toStdString();
    EXPECT_FALSE(labels.contains("A1234568")) << labels.toStdString();
}
