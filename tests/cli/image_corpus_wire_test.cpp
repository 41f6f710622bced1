// The same file gives the same pager from both faces: every file of the image
// corpus written by the window (File > Open, then Pager > Write in Write
// Mode, on the board's responder in-process), by `px316t-cli write` and by the
// first pager of `px316t-cli produce`, each on a board emulator program. What
// arrives in the pager's memory is compared byte for byte.
#include "support/form1_fixture.h"
#include "support/link_emulator_process.h"
#include "support/link_fake_board.h"
#include "support/link_memory_registry.h"

#include "editor/pager_document.h"
#include "images/image_corpus.h"
#include "link/link_kind.h"

#include <QFile>
#include <QProcess>

#include <chrono>
#include <map>
#include <memory>
#include <thread>
#include <vector>

namespace px316t {
namespace {

constexpr int kBoardCom = 3;
constexpr int kFirstEmulatorCom = 40;
// Command-line runs at a time: enough to keep the waits of the transfers
// overlapping, few enough for a loaded two-core machine.
constexpr int kAtOnce = 8;

class CorpusOnTheWire : public testing::Form1Fixture {
protected:
    void SetUp() override
    {
        if (BuildLinkKind != LinkKind::USB)
            GTEST_SKIP() << "a build for the parallel-port board";
        Form1Fixture::SetUp();
    }

    void customize(ApplicationOptions& services) override
    {
        registryBackend->setPorts({kBoardCom});
        services.makeRegistry = [this] { return std::make_unique<clsRegistryAccess>(registryBackend); };
        services.makeSerialPorts = [this]() -> std::unique_ptr<SerialPorts> {
            auto ports = std::make_unique<testing::FakeBoardPorts>(clock);
            board = &ports->addBoard(kBoardCom);
            return ports;
        };
        services.linkClock = &clock;
    }

    // The pager the window writes for `file`.
    QByteArray writtenByTheWindow(const QString& file)
    {
        files.paths = {file};
        form->mnuLBFF_Click();
        form->WriteOpt->setChecked(true);
        form->mnuEB_Click();
        form->ModifyOpt->setChecked(true);
        return QByteArray(reinterpret_cast<const char*>(board->memory().data()), PagerTableSize);
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    static QByteArray fileBytes(const QString& name)
    {
        QFile f(name);
        return f.open(QIODevice::ReadOnly) ? f.readAll().left(PagerTableSize) : QByteArray();
    }

    // Runs the command lines, a few at a time; each gets its own data folder,
    // so that every run has a record of its own. Their exit statuses, in order.
    std::vector<int> runAll(const std::vector<QStringList>& runs)
    {
        std::vector<int> exits(runs.size(), -1);
        std::vector<std::pair<std::size_t, std::unique_ptr<QProcess>>> running;
        std::size_t next = 0;
        while (next < runs.size() || !running.empty()) {
            while (next < runs.size() && running.size() < kAtOnce) {
                auto p = std::make_unique<QProcess>();
                QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
                env.remove(QStringLiteral("PX316T_PRODUCTION_DB"));
                env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
                env.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data-%1").arg(next)));
                env.remove(QStringLiteral("DISPLAY"));
                env.remove(QStringLiteral("WAYLAND_DISPLAY"));
                p->setProcessEnvironment(env);
                p->setWorkingDirectory(dir.path());
                p->start(QStringLiteral(PX316T_CLI), runs[next]);
                p->closeWriteChannel();
                running.emplace_back(next++, std::move(p));
            }
            for (auto it = running.begin(); it != running.end();) {
                QProcess& p = *it->second;
                if (p.state() == QProcess::NotRunning || p.waitForFinished(20)) {
                    exits[it->first] = p.exitCode();
                    errors[it->first] = QString::fromLocal8Bit(p.readAllStandardError());
                    it = running.erase(it);
                } else {
                    ++it;
                }
            }
        }
        return exits;
    }
    std::map<std::size_t, QString> errors;   // what each run said last

    std::shared_ptr<testing::MemorySerialCommBackend> registryBackend =
        std::make_shared<testing::MemorySerialCommBackend>();
    testing::FakeClock clock;
    BoardResponder* board = nullptr;
};

TEST_F(CorpusOnTheWire, WindowWriteCliWriteAndProduceSendTheSameBytes)
{
    const std::vector<testing::CorpusImage> corpus = testing::imageCorpus();
    ASSERT_FALSE(corpus.empty());
    std::vector<std::unique_ptr<testing::EmulatorProcess>> emulators;
    std::vector<QStringList> writes, produces;
    for (std::size_t i = 0; i < corpus.size(); ++i) {
        const QString com = QString::number(kFirstEmulatorCom + static_cast<int>(i));
        emulators.push_back(std::make_unique<testing::EmulatorProcess>(
            QStringLiteral(PX316T_BOARD_EMULATOR), dir.path(),
            QStringList{"--com", com, "--fast", "--memory", path(QStringLiteral("pager-%1.tbl").arg(i))}));
        ASSERT_TRUE(emulators.back()->ready) << emulators.back()->output.join('\n').toStdString();
        const QString source = QString::fromStdString(corpus[i].path.string());
        // produce saves the next capcode into its file: it gets a copy.
        const QString copy = path(QStringLiteral("produce-%1.tbl").arg(i));
        ASSERT_TRUE(QFile::copy(source, copy));
        writes.push_back({"write", source, "--port", com});
        produces.push_back({"produce", copy, "--count", "1", "--no-wait", "--port", com});
    }

    std::vector<QByteArray> byTheWindow;
    for (const testing::CorpusImage& image : corpus)
        byTheWindow.push_back(writtenByTheWindow(QString::fromStdString(image.path.string())));
    const std::vector<int> writeExits = runAll(writes);
    std::vector<QByteArray> byWrite;
    for (std::size_t i = 0; i < corpus.size(); ++i)
        byWrite.push_back(fileBytes(path(QStringLiteral("pager-%1.tbl").arg(i))));
    const std::vector<int> produceExits = runAll(produces);
    for (std::size_t i = 0; i < corpus.size(); ++i) {
        SCOPED_TRACE(corpus[i].name);
        ASSERT_EQ(byTheWindow[i].size(), PagerTableSize);
        EXPECT_EQ(writeExits[i], 0) << errors[i].toStdString();
        EXPECT_EQ(byWrite[i], byTheWindow[i]);
        const QByteArray byProduce = fileBytes(path(QStringLiteral("pager-%1.tbl").arg(i)));
        if (!PagerDocument(corpus[i].bytes).firstCapcode()) {
            // Row 1 shows no capcode that can be raised: no run starts, as
            // the window's auto-increase writes nothing either.
            EXPECT_EQ(produceExits[i], 1);
            EXPECT_EQ(byProduce, byWrite[i]) << "nothing written";
            continue;
        }
        EXPECT_EQ(produceExits[i], 0) << errors[i].toStdString();
        EXPECT_EQ(byProduce, byTheWindow[i]);
    }
}

} // namespace
} // namespace px316t
