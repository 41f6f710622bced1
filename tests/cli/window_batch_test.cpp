// The programming window and a produce run on another station share one batch
// of a real PostgreSQL database: the window joins it through "Batch...", each
// takes pagers in turn, and the capcodes stay distinct and consecutive.
#include "support/form1_fixture.h"
#include "support/link_emulator_process.h"
#include "support/link_fake_board.h"
#include "support/link_memory_registry.h"
#include "support/pg_cluster.h"

#include "link/link_kind.h"
#include "production/pg_production.h"
#include "ui/batch_dialog.h"
#include "ui/capcode_list.h"
#include "ui/form2.h"

#include <QCheckBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QFile>
#include <QTimer>

#include <set>

using namespace px316t;

namespace {

constexpr int kBoardCom = 3;

class WindowOnABatch : public px316t::testing::Form1Fixture {
protected:
    void customize(ApplicationOptions& services) override
    {
        registryBackend->setPorts({kBoardCom});
        services.makeRegistry = [this] { return std::make_unique<clsRegistryAccess>(registryBackend); };
        services.makeSerialPorts = [this]() -> std::unique_ptr<SerialPorts> {
            auto ports = std::make_unique<px316t::testing::FakeBoardPorts>(clock);
            board = &ports->addBoard(kBoardCom);
            return ports;
        };
        services.linkClock = &clock;
    }
    // The produce run of the other station, on the board emulator.
    int produce(const QStringList& arguments, QStringList& capcodes)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("PX316T_PRODUCTION_DB"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), other.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), other.path());
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(other.path());
        p.start(QStringLiteral(PX316T_CLI), arguments);
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(120000));
        for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
            if (const QJsonObject o = QJsonDocument::fromJson(line).object(); o.value("result") == "success")
                capcodes << QString::number(o.value("capcode").toInteger());
        error = QString::fromLocal8Bit(p.readAllStandardError());
        return p.exitCode();
    }
    std::uint32_t boardCapcode()
    {
        const auto& m = board->memory();
        return ((m[0xB1] & 0x1Fu) << 16 | m[0xB2] << 8 | m[0xB3]) - 32768u;
    }

    std::shared_ptr<px316t::testing::MemorySerialCommBackend> registryBackend =
        std::make_shared<px316t::testing::MemorySerialCommBackend>();
    px316t::testing::FakeClock clock;
    BoardResponder* board = nullptr;
    QTemporaryDir other;   // the other station's folders
    QString error;
};

} // namespace

TEST_F(WindowOnABatch, TheWindowAndAProduceRunShareOneBatchWithoutRepeatingACapcode)
{
    if (BuildLinkKind != LinkKind::USB)
        GTEST_SKIP() << "the produce run drives the USB board emulator";
    px316t::testing::PgCluster cluster;
    ASSERT_TRUE(cluster.ok()) << cluster.error();
    const QString db = QString::fromStdString(cluster.conninfo());
    {
        auto admin = PgConnection::open(cluster.conninfo());
        ASSERT_TRUE(admin.ok());
        ASSERT_TRUE(createBatch(*admin.value(), BatchSpec{"tray-5", 1500000, 1500099}).ok());
    }
    px316t::testing::EmulatorProcess emulator(QStringLiteral(PX316T_BOARD_EMULATOR), other.path(),
                                      {"--com", "2", "--fast", "--memory", other.filePath("pager.tbl")});
    ASSERT_TRUE(emulator.ready) << emulator.output.join('\n').toStdString();
    QStringList cli;
    ASSERT_EQ(produce({"new", "p.tbl"}, cli), 0);
    const QStringList run = {"produce", "p.tbl", "--count", "3", "--no-wait", "--port", "2", "--json",
                             "--batch", "tray-5", "--production-db", db, "--station", "line-2"};

    form->WriteOpt->setChecked(true);
    form->optAuto1->setChecked(true);
    std::vector<std::uint32_t> window;
    QString shownAfterJoin;
    form->onProgrammingWindow = [&](Form2& w) {
        QTimer::singleShot(0, &w, [&] {
            ASSERT_TRUE(QTest::qWaitFor([&w] { return w.cmdExit->isVisible(); }, 2000));
            // Before joining, a shared database would need a batch; here the
            // station is local, so "Batch..." takes the database as well.
            w.onBatchWindow = [&](QDialog& d) {
                auto& dialog = static_cast<BatchDialog&>(d);
                dialog.txtDatabase->setText(db);
                dialog.txtBatch->setText(QStringLiteral("tray-7"));
                EXPECT_FALSE(dialog.join()) << "an unknown batch is refused";
                dialog.txtBatch->setText(QStringLiteral("tray-5"));
                EXPECT_TRUE(dialog.join());
            };
            w.cmdBatch->click();
            shownAfterJoin = w.lblBatch->text() + " / " + form->capcodes().txtAddr[0]->text();
            for (int round = 0; round < 2; ++round) {
                for (int i = 0; i < 2; ++i) {
                    w.cmdWrite->click();
                    window.push_back(boardCapcode());
                }
                if (round == 0) {
                    EXPECT_EQ(produce(run, cli), 0) << error.toStdString();
                }
            }
            // The batch dialog's report counts the pagers of both stations.
            w.onBatchWindow = [&](QDialog& d) {
                auto& dialog = static_cast<BatchDialog&>(d);
                dialog.chooseReportFile = [&](const QString& suggested) {
                    EXPECT_TRUE(suggested.endsWith("batch-tray-5.pdf")) << suggested.toStdString();
                    return std::optional<QString>(other.filePath("tray-5.csv"));
                };
                dialog.cmdReport->click();
                dialog.reject();
            };
            w.cmdBatch->click();
            w.cmdExit->click();
        });
    };
    form->mnuEB_Click();

    EXPECT_EQ(shownAfterJoin, "Batch tray-5, next capcode 1500000 / 1500000");
    EXPECT_EQ(messages.texts().count("Verify Success!"), 4) << messages.texts().join('|').toStdString();
    EXPECT_EQ(window, (std::vector<std::uint32_t>{1500000, 1500001, 1500005, 1500006}));
    EXPECT_EQ(cli, (QStringList{"1500002", "1500003", "1500004"}));
    QFile report(other.filePath("tray-5.csv"));
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QString csv = QString::fromUtf8(report.readAll());
    EXPECT_TRUE(csv.contains("count,used,7,") && csv.contains("station,line-2,3,") &&
                csv.contains("station,test-station,4,"))
        << csv.toStdString();

    // The shared record holds each capcode's verified write once, by its station.
    auto shared = PgRecordStore::open(cluster.conninfo());
    ASSERT_TRUE(shared.ok());
    std::map<std::int64_t, std::string> verifiedBy;
    const auto entries = shared.value()->list(std::nullopt);
    ASSERT_TRUE(entries.ok());
    for (const RecordEntry& e : entries.value()) {
        if (e.operation == RecordOperation::Verify && e.result == RecordResult::Success) {
            EXPECT_TRUE(verifiedBy.emplace(e.firstCapcode.value_or(0), e.station).second) << e.firstCapcode.value_or(0);
            EXPECT_EQ(e.batch, "tray-5");
        }
    }
    const std::map<std::int64_t, std::string> expected = {
        {1500000, "test-station"}, {1500001, "test-station"}, {1500002, "line-2"}, {1500003, "line-2"},
        {1500004, "line-2"},       {1500005, "test-station"}, {1500006, "test-station"}};
    EXPECT_EQ(verifiedBy, expected);
}

TEST_F(WindowOnABatch, TheProgrammingWindowShowsTheNextCapcodeOfAListWithItsCustomer)
{
    px316t::testing::PgCluster cluster;
    ASSERT_TRUE(cluster.ok()) << cluster.error();
    {
        AllocationList list;
        list.entries = {{1500007, 2, "ACME", "", "", {}}, {1500003, 3, "Zed", "", "", {}}};
        auto admin = PgConnection::open(cluster.conninfo());
        ASSERT_TRUE(admin.ok());
        ASSERT_TRUE(createListBatch(*admin.value(), "tray-9", list, "tray.csv").ok());
    }
    form->WriteOpt->setChecked(true);
    form->optAuto1->setChecked(true);
    QStringList shown;
    form->onProgrammingWindow = [&](Form2& w) {
        QTimer::singleShot(0, &w, [&] {
            ASSERT_TRUE(QTest::qWaitFor([&w] { return w.cmdExit->isVisible(); }, 2000));
            w.onBatchWindow = [&](QDialog& d) {
                auto& dialog = static_cast<BatchDialog&>(d);
                dialog.txtDatabase->setText(QString::fromStdString(cluster.conninfo()));
                dialog.txtBatch->setText(QStringLiteral("tray-9"));
                EXPECT_TRUE(dialog.join());
                shown << dialog.lblNext->text();
            };
            w.cmdBatch->click();
            shown << w.lblBatch->text();
            w.cmdWrite->click();
            shown << w.lblBatch->text() + " / " + QString::number(boardCapcode());
            w.cmdExit->click();
        });
    };
    form->mnuEB_Click();
    EXPECT_EQ(shown, (QStringList{"Batch tray-9, next capcode 1500007 (ACME)", "Batch tray-9, next capcode 1500007 (ACME)",
                                  "Batch tray-9, next capcode 1500003 (Zed) / 1500007"}));
}
