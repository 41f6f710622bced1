// px316t-cli end to end: the program itself against the board emulator
// program on a pseudo-terminal, and on real table files.
#include "support/form1_fixture.h"
#include "support/link_emulator_process.h"
#include "support/pg_cluster.h"

#include "cli/cli_options.h"
#include "editor/pager_document.h"
#include "editor/prompt_rules.h"
#include "link/link_kind.h"
#include "table/pager_table.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <QSet>

#include <map>
#include <set>
#include <sys/stat.h>
#include <optional>
#include <random>

namespace px316t {
namespace {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

class CliTest : public ::testing::Test {
protected:
    CliRun cli(const QStringList& arguments, const std::map<QString, QString>& extra = {})
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("PX316T_PRODUCTION_DB"));
        for (const auto& [name, value] : extra)
            env.insert(name, value);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path());
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir.path());
        p.start(QStringLiteral(PX316T_CLI), arguments);
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(120000));
        return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
                QString::fromLocal8Bit(p.readAllStandardError())};
    }
    void startEmulator(QStringList extra = {})
    {
        extra << "--com" << "2" << "--fast" << "--memory" << path("pager.tbl");
        emulator = std::make_unique<testing::EmulatorProcess>(QStringLiteral(PX316T_BOARD_EMULATOR), dir.path(), extra);
        ASSERT_TRUE(emulator->ready) << emulator->output.join('\n').toStdString();
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray bytes(const QString& name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    PagerTable image(const QString& name) const
    {
        PagerTable t{};
        const QByteArray b = bytes(name);
        std::copy_n(b.constData(), std::min<qsizetype>(b.size(), PagerTableSize), t.begin());
        return t;
    }
    std::string firstCapcode(const QString& name) const { return PagerDocument(image(name)).shownCapcodeText(0); }

    QTemporaryDir dir;
    std::unique_ptr<testing::EmulatorProcess> emulator;
};

// The USB board's commands run in a build for that board.
class CliUsbBoard : public CliTest {
protected:
    void SetUp() override
    {
        if (BuildLinkKind != LinkKind::USB)
            GTEST_SKIP() << "a build for the parallel-port board";
    }
};

// The parallel-port board's commands, against its simulated board.
class CliParallelBoard : public CliTest {
protected:
    void SetUp() override
    {
        if (BuildLinkKind != LinkKind::LPT)
            GTEST_SKIP() << "a build for the USB board";
    }
};

TEST_F(CliParallelBoard, WriteReadAndVerifyThroughTheSimulatedBoard)
{
    ASSERT_EQ(cli({"new", "a.tbl"}).exitCode, 0);
    ASSERT_EQ(cli({"set", "a.tbl", "capcode.6=1357"}).exitCode, 0);
    CliRun r = cli({"write", "a.tbl", "--lpt-simulated", path("memory.tbl")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err.trimmed(), "Verify Success!");
    EXPECT_EQ(bytes("memory.tbl").left(PagerTableSize), bytes("a.tbl"));

    r = cli({"read", "-o", "r.tbl", "--lpt-simulated", path("memory.tbl")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(bytes("r.tbl"), bytes("a.tbl"));
    r = cli({"verify", "a.tbl", "--lpt-simulated", path("missing/memory.tbl")});
    EXPECT_EQ(r.exitCode, 1);

    // The bus trace never replaces a file unasked, and a trace that cannot be
    // written fails the command after the pager's own result.
    QFile(path("old.vcd")).open(QIODevice::WriteOnly);
    const QByteArray memory = bytes("memory.tbl");
    const struct {
        QStringList args;
        int exitCode;
        const char* says;
    } traces[] = {
        {{"write", "a.tbl", "--lpt-vcd", "a.tbl"}, 2, "is a file of this command"},
        {{"write", "a.tbl", "--lpt-vcd", "memory.tbl"}, 2, "is the simulated board's memory"},
        {{"write", "a.tbl", "--lpt-vcd", "memory.tbl", "--force"}, 2, "is the simulated board's memory"},
        {{"read", "-o", "r2.tbl", "--lpt-vcd", "r2.tbl"}, 2, "is a file of this command"},
        {{"write", "a.tbl", "--lpt-vcd", "old.vcd"}, 2, "exists; --force replaces it"},
        {{"write", "a.tbl", "--lpt-vcd", "old.vcd", "--force"}, 0, "Verify Success!"},
        {{"write", "a.tbl", "--lpt-vcd", "/dev/full", "--force"}, 1,
         "Verify Success!\nThe bus trace /dev/full could not be written: No space left on device. The pager's "
         "result above stands."},
    };
    for (const auto& t : traces) {
        r = cli(t.args + QStringList{"--lpt-simulated", "memory.tbl"});
        EXPECT_EQ(r.exitCode, t.exitCode) << t.args.join(' ').toStdString() << "\n" << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(t.says)) << r.err.toStdString();
    }
    EXPECT_EQ(bytes("a.tbl").size(), PagerTableSize);
    EXPECT_EQ(bytes("memory.tbl"), memory);
    EXPECT_TRUE(bytes("old.vcd").startsWith("$version"));
}

TEST_F(CliUsbBoard, WriteReadAndVerifyAgainstTheBoard)
{
    startEmulator();
    ASSERT_EQ(cli({"new", "a.tbl"}).exitCode, 0);
    ASSERT_EQ(cli({"set", "a.tbl", "capcode.6=1357", "band=400-499MHz"}).exitCode, 0);

    CliRun r = cli({"write", "a.tbl"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err.trimmed(), "Verify Success!");
    EXPECT_EQ(bytes("pager.tbl").left(PagerTableSize), bytes("a.tbl"));

    r = cli({"read", "-o", "r.tbl", "--port", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err.trimmed(), "Read success!");
    EXPECT_EQ(bytes("r.tbl"), bytes("a.tbl"));
    // An existing FILE is refused before the pager is read; --force replaces it.
    r = cli({"read", "-o", "r.tbl"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_FALSE(r.err.contains("Read success!"));
    EXPECT_EQ(cli({"read", "-o", "r.tbl", "--force"}).exitCode, 0);

    EXPECT_EQ(cli({"verify", "a.tbl"}).exitCode, 0);
    ASSERT_EQ(cli({"set", "a.tbl", "capcode.6=2468"}).exitCode, 0);
    r = cli({"verify", "a.tbl"});
    EXPECT_EQ(r.exitCode, 1);
    // The window's message, then where the pager differs, by the field's name.
    const QStringList lines = r.err.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2) << r.err.toStdString();
    EXPECT_EQ(lines[0], "Verify Error!");
    EXPECT_TRUE(lines[1].startsWith("First difference at address 0x") && lines[1].contains("capcode.6"))
        << lines[1].toStdString();
    // --json: one object on stdout, messages stay on stderr.
    r = cli({"--json", "verify", "a.tbl"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith("Verify Error!"));
    ASSERT_EQ(r.out.count('\n'), 1) << r.out.toStdString();
    const QJsonObject failed = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(failed.keys().size(), 5);
    EXPECT_EQ(failed["port"].toString(), "COM2");
    EXPECT_EQ(failed["capcode"].toInteger(), 1234567);
    EXPECT_EQ(failed["result"].toString(), "verify error");
    EXPECT_TRUE(failed["address"].isDouble());
    EXPECT_TRUE(failed["field"].toString().contains("capcode.6"));
    r = cli({"read", "-o", "j.tbl", "--json"});
    EXPECT_EQ(r.out.trimmed(), R"({"port":"COM2","capcode":1234567,"result":"success"})");
}

TEST_F(CliUsbBoard, ProduceStopsAtTheFirstFailureAndKeepsTheNextCapcode)
{
    // Finding the board takes two frames, each pager sixteen: the board vanishes
    // in the middle of the eighth pager's write.
    startEmulator({"--unplug-after", QString::number(2 + 7 * 16 + 4)});
    ASSERT_EQ(cli({"new", "p.tbl"}).exitCode, 0);
    ASSERT_EQ(cli({"set", "p.tbl", "capcode.1=1000100", "capcode.1.enable=on"}).exitCode, 0);

    const CliRun r = cli({"produce", "p.tbl", "--count", "20", "--no-wait"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.count("Verify Success!"), 7) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("Write error!"));
    EXPECT_TRUE(r.err.contains("Pager 8 of 20: 1st capcode : 1000107"));
    EXPECT_FALSE(r.err.contains("Pager 9 of 20"));
    // The eighth pager got its first blocks with 1000107 before the board
    // vanished: 1000107 may be in a pager, so it is skipped on the record and
    // the file holds the capcode of the pager written next.
    EXPECT_EQ(firstCapcode("p.tbl"), "1000108");
    EXPECT_EQ(firstCapcode("pager.tbl"), "1000107");
    EXPECT_TRUE(r.err.contains("at capcode 1000107; the pager may hold it")) << r.err.toStdString();
    const CliRun history = cli({"history", "--csv"});
    EXPECT_TRUE(history.out.contains(",1000107,1000107,") && history.out.contains("the pager may hold it"))
        << history.out.toStdString();
}

TEST_F(CliUsbBoard, ProduceRunsTheWholeCountAndWaitsForEnter)
{
    startEmulator();
    ASSERT_EQ(cli({"new", "p.tbl"}).exitCode, 0);
    ASSERT_EQ(cli({"set", "p.tbl", "capcode.1=2000"}).exitCode, 0);
    CliRun r = cli({"produce", "p.tbl", "--count", "3", "--no-wait", "--port", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(firstCapcode("p.tbl"), "0002003");
    EXPECT_EQ(firstCapcode("pager.tbl"), "0002002");

    // Without --no-wait the run waits for Enter; no input ends it after one pager.
    r = cli({"produce", "p.tbl", "--count", "3", "--port", "2"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Stopped after 1 pager.")) << r.err.toStdString();
    EXPECT_EQ(firstCapcode("p.tbl"), "0002004");
}

TEST_F(CliUsbBoard, MissingBoardOrPortGivesOneLineAndStatusOne)
{
    ASSERT_EQ(cli({"new", "a.tbl"}).exitCode, 0);
    CliRun r = cli({"write", "a.tbl", "--port", "42"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.trimmed().count('\n'), 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.startsWith("COM42 cannot be opened"));
    r = cli({"write", "a.tbl", "--port", "com42"});   // as the Device Manager names it
    EXPECT_TRUE(r.err.startsWith("COM42 cannot be opened")) << r.err.toStdString();
    r = cli({"produce", "a.tbl", "--count", "2", "--no-wait"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.trimmed(), "The Programmed Board is not responding!");
    r = cli({"ports"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("The Programmed Board is not responding!"));
    EXPECT_EQ(firstCapcode("a.tbl"), "1234567");
    // --json says so too: one object, each key once.
    EXPECT_EQ(cli({"read", "-o", "j.tbl", "--json", "--port", "42"}).out.trimmed(),
              R"({"port":"COM42","capcode":null,"result":"no board"})");
    EXPECT_EQ(cli({"write", "a.tbl", "--json"}).out.trimmed(), R"({"port":null,"capcode":1234567,"result":"no board"})");
    // A port where no board answers is no board: nothing is written or recorded.
    testing::EmulatorProcess silent(QStringLiteral(PX316T_BOARD_EMULATOR), dir.path(), {"--com", "3", "--silent"});
    r = cli({"write", "a.tbl", "--port", "3", "--json"});
    EXPECT_EQ(r.err.trimmed(), "COM3: The Programmed Board is not responding!");
    EXPECT_EQ(r.out.trimmed(), R"({"port":"COM3","capcode":1234567,"result":"no board"})");
    EXPECT_EQ(cli({"history", "--csv"}).out.count('\n'), 1) << "the header only";

    startEmulator({"--unplug-after", "3"});   // the board is found, then lost in the read
    EXPECT_EQ(cli({"read", "-o", "j.tbl", "--json"}).out.trimmed(),
              R"({"port":"COM2","capcode":null,"result":"link lost"})");
}

TEST_F(CliTest, SetAppliesTheWindowsRulesAndARefusalChangesNothing)
{
    ASSERT_EQ(cli({"new", "a.tbl"}).exitCode, 0);
    const QByteArray fresh = bytes("a.tbl");
    struct Case {
        QString assignment;
        QString message;
    } refusals[] = {
        {"capcode.2=2031616", "Please insert a number between 1 to 2031615"},
        {"capcode.2=12x", "Please insert a numeric!"},
        {"frequency=4500000", "Frequency setting error(9280000 < = Frequency < =9320000 )"},
        {"frequency=9300000", "Channel Spacing Error!"},
        {"capcode.1=3000000000", "Please insert a number between 1 to 2031615"},
        // What the image would not keep: a pair long without a long capcode,
        // manual write against the capcode layout.
        {"pair.2.length=Long", "2101249 or more in capcode.3: give it one in the same set, after the length, or "
                               "make the pair Short"},
        {"manual_write_enable=off", "the capcode layout decides manual write (on while all pairs are short or all "
                                    "long, off while they are mixed)"},
    };
    for (const Case& c : refusals) {
        // A good assignment before the refused one is not kept either.
        const CliRun r = cli({"set", "a.tbl", "read_time_out=20 sec", c.assignment});
        EXPECT_EQ(r.exitCode, 2) << c.assignment.toStdString();
        EXPECT_TRUE(r.err.trimmed().endsWith(c.message)) << r.err.toStdString();
        EXPECT_EQ(bytes("a.tbl"), fresh);
    }
    EXPECT_EQ(cli({"set", "a.tbl", "no_such_field=1"}).exitCode, 2);
    EXPECT_EQ(cli({"set", "a.tbl", "read_time_out=21 sec"}).exitCode, 2);
    EXPECT_EQ(cli({"set", "a.tbl", "frame_mask=0000"}).exitCode, 2);
    EXPECT_EQ(bytes("a.tbl"), fresh);

    // A long capcode needs its pair switched to "Long" first, as in the window.
    ASSERT_EQ(cli({"set", "a.tbl", "pair.1.length=Long", "capcode.1=3000000000", "capcode.1.enable=on"}).exitCode, 0);
    const CliRun shown = cli({"show", "a.tbl"});
    EXPECT_TRUE(shown.out.contains("\ncapcode.1=3000000000\n") || shown.out.startsWith("capcode.1=3000000000\n"));
    EXPECT_TRUE(shown.out.contains("\npair.1.length=Long\n"));
    EXPECT_TRUE(shown.out.contains("\ncapcode.2=-\n"));
    EXPECT_TRUE(shown.out.contains("\ncapcode.2.enable=on\n"));   // the second half follows the first
}

TEST_F(CliTest, DiffNamesFieldsThenOtherBytesAndBadFilesAreRefused)
{
    ASSERT_EQ(cli({"new", "a.tbl"}).exitCode, 0);
    ASSERT_EQ(cli({"new", "b.tbl"}).exitCode, 0);
    EXPECT_EQ(cli({"diff", "a.tbl", "b.tbl"}).exitCode, 0);
    ASSERT_EQ(cli({"set", "b.tbl", "screen_contrast=7", "capcode.3=77"}).exitCode, 0);
    {
        QFile f(path("b.tbl"));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(0x200);   // a prompt byte: no field of the catalogue covers it yet
        f.write("Z");
    }
    const CliRun r = cli({"diff", "a.tbl", "b.tbl"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.split('\n', Qt::SkipEmptyParts),
              (QStringList{"capcode.3: 1234567 -> 0000077", "screen_contrast: 4 -> 7",
                           QStringLiteral("0x200: %1 -> 5A").arg(int(image("a.tbl")[0x200]), 2, 16, QChar('0')).toUpper()
                               .replace("0X", "0x")}));

    QFile shortFile(path("short.tbl"));
    ASSERT_TRUE(shortFile.open(QIODevice::WriteOnly));
    shortFile.write(QByteArray(100, 0));
    shortFile.close();
    QFile longFile(path("long.tbl"));
    ASSERT_TRUE(longFile.open(QIODevice::WriteOnly));
    longFile.write(QByteArray(PagerTableSize + 1, 0));
    longFile.close();
    for (const char* bad : {"short.tbl", "long.tbl", "missing.tbl"}) {
        const CliRun s = cli({"show", bad});
        EXPECT_EQ(s.exitCode, 2) << bad;
        EXPECT_EQ(s.err.trimmed().count('\n'), 0) << s.err.toStdString();
        EXPECT_TRUE(s.out.isEmpty());
    }
    EXPECT_EQ(cli({"new", "a.tbl"}).exitCode, 2);   // an existing file is kept
    EXPECT_EQ(cli({"produce", "a.tbl"}).exitCode, 2);
    EXPECT_EQ(cli({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(cli({"set", "--help"}).exitCode, 0);
}

// ---- production data ------------------------------------------------------------

std::vector<QStringList> csvRows(const QString& csv)
{
    std::vector<QStringList> rows;
    for (const QString& line : csv.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        rows.push_back(line.split(QLatin1Char(',')));   // the fields used here hold no commas
    return rows;
}

TEST_F(CliUsbBoard, ReadKeepsABackupAndWriteAndVerifyAreRecorded)
{
    startEmulator();
    ASSERT_EQ(cli({"new", "a.tbl"}).exitCode, 0);
    ASSERT_EQ(cli({"write", "a.tbl", "--station", "bench-7"}).exitCode, 0);
    ASSERT_EQ(cli({"set", "a.tbl", "capcode.1=1654321"}).exitCode, 0);
    EXPECT_EQ(cli({"verify", "a.tbl", "--station", "bench-7"}).exitCode, 1);

    CliRun r = cli({"read", "-o", "r.tbl", "--port", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList backups = QDir(path("px316t/backups")).entryList(QDir::Files);
    ASSERT_EQ(backups.size(), 1);
    EXPECT_TRUE(backups[0].endsWith("-1234567.tbl")) << backups[0].toStdString();
    EXPECT_EQ(bytes("px316t/backups/" + backups[0]), bytes("r.tbl"));

    r = cli({"history", "--csv"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const auto rows = csvRows(r.out);
    ASSERT_EQ(rows.size(), 4u) << r.out.toStdString();   // header, write, verify, verify
    EXPECT_EQ(rows[0][9], "result");
    EXPECT_EQ(rows[1].mid(2, 4), (QStringList{"bench-7", "COM2", "write", ""}));
    EXPECT_EQ(rows[1][9], "success");
    EXPECT_EQ(rows[2][9], "success");
    EXPECT_EQ(rows[3][4], "verify");
    EXPECT_EQ(rows[3][6], "1654321");
    EXPECT_EQ(rows[3][9], "verify error");
    // The frequency in the unit show gives it.
    EXPECT_EQ(rows[0][8], "frequency_100hz");
    EXPECT_TRUE(cli({"show", "a.tbl"}).out.contains("\nfrequency=" + rows[3][8] + "\n")) << rows[3][8].toStdString();

    EXPECT_EQ(cli({"history", "--since", "2199-01-01"}).out.count('\n'), 1) << "the header only";
    EXPECT_EQ(cli({"history", "--since", "someday"}).exitCode, 2);
}

// Found (two frames), written (eight), lost in the verify's fourth: nothing was compared.
TEST_F(CliUsbBoard, ABoardLostInTheVerifyIsALostBoardNotADifference)
{
    startEmulator({"--unplug-after", QString::number(2 + 8 + 3)});
    ASSERT_EQ(cli({"new", "a.tbl"}).exitCode, 0);
    const CliRun r = cli({"write", "a.tbl", "--json"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("The Programmed Board is not responding!") && !r.err.contains("Verify Error!"))
        << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), R"({"port":"COM2","capcode":1234567,"result":"link lost"})");
    EXPECT_EQ(csvRows(cli({"history", "--csv"}).out).back().value(9), "link lost");
}

TEST_F(CliUsbBoard, ProduceDrivesSeveralBoardsFromOneSequence)
{
    startEmulator();
    testing::EmulatorProcess second(QStringLiteral(PX316T_BOARD_EMULATOR), dir.path(),
                                    {"--com", "3", "--fast", "--memory", path("pager3.tbl")});
    ASSERT_TRUE(second.ready);
    // ports marks every board, not only the first.
    const CliRun listed = cli({"ports"});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_EQ(listed.out.count("programming board"), 2) << listed.out.toStdString();
    ASSERT_EQ(cli({"new", "p.tbl"}).exitCode, 0);
    ASSERT_EQ(cli({"set", "p.tbl", "capcode.1=3000"}).exitCode, 0);

    CliRun r = cli({"produce", "p.tbl", "--count", "12", "--no-wait", "--all-boards"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("12 pagers written on 2 boards.")) << r.err.toStdString();
    EXPECT_EQ(firstCapcode("p.tbl"), "0003012") << "the file holds the next capcode";

    r = cli({"history", "--csv"});
    std::map<QString, QSet<QString>> portsOfCapcode;
    int verified = 0;
    for (const QStringList& row : csvRows(r.out)) {
        if (row[4] == "verify" && row[9] == "success") {
            ++verified;
            portsOfCapcode[row[6]].insert(row[3]);
        }
    }
    EXPECT_EQ(verified, 12);
    ASSERT_EQ(portsOfCapcode.size(), 12u) << "each capcode written once";
    EXPECT_EQ(portsOfCapcode.begin()->first, "3000");
    EXPECT_EQ(portsOfCapcode.rbegin()->first, "3011");
    QSet<QString> boards;
    for (const auto& [capcode, ports] : portsOfCapcode)
        boards.unite(ports);
    EXPECT_EQ(boards, (QSet<QString>{"COM2", "COM3"}));

    // A board that fails stops alone; the capcode it was writing may be in its
    // pager, so it is skipped; the other board goes on.
    second.stop();
    testing::EmulatorProcess failing(QStringLiteral(PX316T_BOARD_EMULATOR), dir.path(),
                                     {"--com", "3", "--fast", "--unplug-after", "20"});
    ASSERT_TRUE(failing.ready);
    r = cli({"produce", "p.tbl", "--count", "6", "--no-wait", "--port", "2", "--port", "3"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("COM3: Stopped at pager")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("6 pagers written on 2 boards.")) << r.err.toStdString();
    EXPECT_EQ(firstCapcode("p.tbl"), "0003019");
}

TEST_F(CliUsbBoard, AnUnreachableProductionDatabaseStopsBeforeAnyPagerIsWritten)
{
    startEmulator();
    ASSERT_EQ(cli({"new", "old.tbl"}).exitCode, 0);
    ASSERT_EQ(cli({"write", "old.tbl", "--port", "2"}).exitCode, 0);
    ASSERT_EQ(cli({"new", "p.tbl"}).exitCode, 0);
    ASSERT_EQ(cli({"set", "p.tbl", "capcode.1=5000"}).exitCode, 0);

    const QString nowhere = "host=" + path("no-server") + " port=5432";
    CliRun r = cli({"produce", "p.tbl", "--count", "2", "--no-wait", "--batch", "B", "--production-db", nowhere});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("The production database could not be reached")) << r.err.toStdString();
    EXPECT_EQ(cli({"verify", "old.tbl", "--port", "2"}).exitCode, 0) << "the pager was not touched";
    EXPECT_EQ(firstCapcode("p.tbl"), "0005000");
}

// ---- what produce refuses before any pager, and where a sequence ends ----------------

class CliProduction : public CliUsbBoard {
protected:
    // The write frames the board took in so far.
    int writesSeen()
    {
        emulator->waitForLine(QRegularExpression(QStringLiteral("^$")), 100);
        return static_cast<int>(emulator->output.filter(QRegularExpression(QStringLiteral("^write "))).size());
    }
    void SetUp() override
    {
        CliUsbBoard::SetUp();
        if (IsSkipped())
            return;
        startEmulator({"--log-frames"});
        ASSERT_EQ(cli({"new", "p.tbl"}).exitCode, 0);
    }
};

TEST_F(CliProduction, ABatchWithoutTheSharedDatabaseIsRefusedBeforeAnyPager)
{
    ASSERT_EQ(cli({"set", "p.tbl", "capcode.1=1810000"}).exitCode, 0);
    const std::map<QString, QString> noDatabase;
    const std::map<QString, QString> emptyVariable = {{"PX316T_PRODUCTION_DB", ""}};
    struct Case {
        QStringList extra;
        std::map<QString, QString> env;
    } cases[] = {{{}, noDatabase}, {{"--production-db", ""}, noDatabase}, {{}, emptyVariable}};
    for (const Case& c : cases) {
        const CliRun r =
            cli(QStringList{"produce", "p.tbl", "--count", "2", "--no-wait", "--port", "2", "--batch", "tray-17"} +
                    c.extra,
                c.env);
        EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("needs the shared production database")) << r.err.toStdString();
    }
    EXPECT_EQ(writesSeen(), 0);
    EXPECT_EQ(firstCapcode("p.tbl"), "1810000");
}

TEST_F(CliProduction, AnUnknownBatchOrARunningTableFileIsRefusedBeforeAnyPager)
{
    testing::PgCluster cluster;
    ASSERT_TRUE(cluster.ok()) << cluster.error();
    const QString db = QString::fromStdString(cluster.conninfo());
    ASSERT_EQ(cli({"set", "p.tbl", "capcode.1=1600000"}).exitCode, 0);
    CliRun r = cli({"batch", "create", "tray-17", "--first", "1600000", "--last", "1600002", "--production-db", db});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(cli({"batch", "create", "tray-18", "--first", "1600002", "--production-db", db}).exitCode, 2)
        << "overlapping ranges are refused";
    // FLEX's own addresses only when allowed (the default end of a range stops before them).
    r = cli({"batch", "create", "flex", "--first", "1933313", "--production-db", db});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("FLEX keeps for itself")) << r.err.toStdString();
    EXPECT_EQ(cli({"batch", "create", "flex", "--first", "1933313", "--allow-special-addresses", "--production-db", db})
                  .exitCode,
              0);
    QFile list(path("bad.csv"));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("capcode,customer\n1650000,ACME\n16x0001,ACME\n1650002-1650001,ACME\n");
    list.close();
    r = cli({"batch", "create", "from-list", "--capcodes", path("bad.csv"), "--production-db", db});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("bad.csv:3: \"16x0001\" is not a capcode") &&
                r.err.contains("bad.csv:4: the range 1650002-1650001 runs backwards"))
        << r.err.toStdString();
    for (const QString& mistyped : {QStringLiteral("tray-71"), QStringLiteral("Tray-17 ")}) {
        r = cli({"produce", "p.tbl", "--count", "1", "--no-wait", "--port", "2", "--batch", mistyped,
                 "--production-db", db});
        EXPECT_EQ(r.exitCode, 2) << mistyped.toStdString();
        EXPECT_TRUE(r.err.contains("There is no batch") && r.err.contains("\"tray-17\"")) << r.err.toStdString();
    }
    EXPECT_EQ(writesSeen(), 0);

    // A run that waits for Enter holds the table file: a second run on it is refused.
    QProcess holder;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path());
    holder.setProcessEnvironment(env);
    holder.setWorkingDirectory(dir.path());
    holder.setProcessChannelMode(QProcess::MergedChannels);
    holder.start(QStringLiteral(PX316T_CLI), {"produce", "p.tbl", "--count", "2", "--port", "2", "--batch", "tray-17",
                                              "--production-db", db, "--station", "a"});
    QByteArray said;
    while (!said.contains("press Enter") && holder.waitForReadyRead(20000))
        said += holder.readAll();
    ASSERT_TRUE(said.contains("press Enter")) << said.toStdString();
    const int before = writesSeen();
    r = cli({"produce", "p.tbl", "--count", "1", "--no-wait", "--port", "2", "--batch", "tray-17", "--production-db",
             db, "--station", "b"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("in use by another produce run")) << r.err.toStdString();
    EXPECT_EQ(writesSeen(), before);
    holder.closeWriteChannel();
    ASSERT_TRUE(holder.waitForFinished(20000));

    r = cli({"batch", "show", "tray-17", "--production-db", db});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("used 1\n") && r.out.contains("next 1600001\n")) << r.out.toStdString();
    r = cli({"batch", "list", "--production-db", db});
    EXPECT_TRUE(r.out.contains("tray-17")) << r.out.toStdString();
    EXPECT_EQ(cli({"batch", "show", "tray-71", "--production-db", db}).exitCode, 2);
}

TEST_F(CliProduction, ACarriersListIsWalkedOnTheStationsRecordAndTheRecordSaysWhoMadeEachPager)
{
    const auto writeList = [this](const QString& name, const QByteArray& text) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    writeList("bad.csv", "capcode;customer\n1500005;ACME\n1500005;ACME\n");
    CliRun r = cli({"produce", "p.tbl", "--count", "1", "--no-wait", "--port", "2", "--capcodes", "bad.csv"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("bad.csv:3: capcode 1500005 is listed twice (also on line 2)")) << r.err.toStdString();
    EXPECT_EQ(writesSeen(), 0);

    writeList("tray.csv", "capcode;customer;region\n1500005;ACME;north\n1500001\n1500003;Zed;\n");
    r = cli({"produce", "p.tbl", "--count", "2", "--no-wait", "--port", "2", "--capcodes", "tray.csv", "--operator",
             "ann"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("1st capcode : 1500005 (ACME)") && r.err.contains("1st capcode : 1500001\n"))
        << r.err.toStdString();
    const QString version = cli({"--version"}).out.section(' ', 1).trimmed();
    r = cli({"history", "--csv"});
    EXPECT_TRUE(r.out.contains(",1500005,") && r.out.contains(",ann," + version + ",p.tbl,") &&
                r.out.contains(",tray.csv,ACME,,,region=north\r\n"))
        << r.out.toStdString();

    // A list new to the record may not hold what the record holds as used.
    writeList("next.csv", "capcode\n1500002\n1500001\n1500005\n");
    r = cli({"produce", "p.tbl", "--count", "1", "--no-wait", "--port", "2", "--capcodes", "next.csv"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("used, uncertain or held by a running run: 1500001, 1500005")) << r.err.toStdString();
    r = cli({"produce", "p.tbl", "--count", "2", "--no-wait", "--port", "2", "--capcodes", "tray.csv"});
    EXPECT_EQ(r.exitCode, 1) << "one pager of two: the list goes on where it stopped";
    EXPECT_TRUE(r.err.contains("1st capcode : 1500003 (Zed)") && r.err.contains("The list tray.csv has no capcode left"))
        << r.err.toStdString();
}

TEST_F(CliProduction, TheLastCapcodeLeavesTheSequenceExhaustedAndTheNextRunSaysSoBeforeWriting)
{
    testing::PgCluster cluster;
    ASSERT_TRUE(cluster.ok()) << cluster.error();
    const QString db = QString::fromStdString(cluster.conninfo());
    ASSERT_EQ(cli({"batch", "create", "end", "--first", "2031614", "--allow-special-addresses", "--production-db", db})
                  .exitCode,
              0);
    ASSERT_EQ(cli({"set", "p.tbl", "capcode.1=2031614", "capcode.1.enable=on"}).exitCode, 0);
    struct Case {
        QStringList shared;
        QString said;
    } cases[] = {{{}, "Capcode 1 > 2031615 so can not be increase!"},
                 {{"--batch", "end", "--production-db", db}, "The batch end has no capcode left"}};
    for (const Case& c : cases) {
        const int before = writesSeen();
        CliRun r = cli(QStringList{"produce", "p.tbl", "--count", "2", "--no-wait", "--port", "2"} + c.shared);
        EXPECT_EQ(r.exitCode, 1) << "one pager of two";
        EXPECT_EQ(r.err.count("Verify Success!"), 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.said)) << r.err.toStdString();
        const int afterFirst = writesSeen();
        EXPECT_GT(afterFirst, before);
        r = cli(QStringList{"produce", "p.tbl", "--count", "1", "--no-wait", "--port", "2"} + c.shared);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains(c.said)) << r.err.toStdString();
        EXPECT_EQ(writesSeen(), afterFirst) << "nothing written again";
    }
}

TEST_F(CliTest, BatchReleaseAndShowListWhatAStationThatNeverCameBackHeld)
{
    testing::PgCluster cluster;
    ASSERT_TRUE(cluster.ok()) << cluster.error();
    const QString db = QString::fromStdString(cluster.conninfo());
    ASSERT_EQ(cli({"batch", "create", "B9", "--first", "1000", "--last", "1999", "--production-db", db}).exitCode, 0);
    QProcess station;
    station.start(QStringLiteral(PX316T_PRODUCTION_CHILD), {"reserve", db, "B9", "bench-3", "writing"});
    ASSERT_TRUE(station.waitForReadyRead(20000)) << station.readAllStandardError().toStdString();
    CliRun r = cli({"batch", "release", "B9", "--station", "bench-3", "--production-db", db});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("Capcode 1000 of batch B9 (station bench-3) is uncertain")) << r.err.toStdString();
    r = cli({"batch", "show", "B9", "--production-db", db});
    EXPECT_TRUE(r.out.contains("uncertain 1\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("1000  uncertain  bench-3  COM9")) << r.out.toStdString();
    r = cli({"history", "--shared", "--csv", "--production-db", db});
    EXPECT_TRUE(r.out.contains(",uncertain,") && r.out.contains("released by the operator")) << r.out.toStdString();
    EXPECT_EQ(cli({"batch", "release", "B9", "--production-db", db}).exitCode, 2);
    EXPECT_EQ(cli({"batch", "list"}).exitCode, 2) << "no database";
    station.kill();
    station.waitForFinished(5000);
}

// ---- what new, show and set say ---------------------------------------------

class CliAgainstTheWindow : public testing::Form1Fixture {};

// A pager written from a new file gets what a pager written from a newly
// started window gets, in both builds' windows.
TEST_F(CliAgainstTheWindow, NewHoldsTheImageOfAFreshlyStartedWindow)
{
    for (LinkKind kind : {LinkKind::USB, LinkKind::LPT}) {
        start(kind);
        const QString file = dir.filePath(kind == LinkKind::USB ? "usb.tbl" : "lpt.tbl");
        QProcess p;
        p.start(QStringLiteral(PX316T_CLI), {"new", file});
        ASSERT_TRUE(p.waitForFinished(60000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray written = f.readAll();
        const PagerTable& window = form->document().table();
        EXPECT_EQ(written, QByteArray(reinterpret_cast<const char*>(window.data()), PagerTableSize));
    }
}

// Writes record n's leading-space code, length and characters into a file's image.
void putPrompt(PagerTable& t, int n, int spaces, const std::vector<std::uint8_t>& chars)
{
    const int at = promptRecordOffset(n);
    t[at] = static_cast<std::uint8_t>((t[at] & 0xF0) | (spaces + 1));
    t[at + 1] = static_cast<std::uint8_t>(chars.size());
    std::copy(chars.begin(), chars.end(), t.begin() + at + 2);
}

QStringList linesOf(const QString& out) { return out.split('\n', Qt::SkipEmptyParts); }

// What FLEX makes of a file's capcodes: show names each enabled one's place in
// a comment set passes over, set warns of an address FLEX keeps for itself,
// and read and verify say when an image's frame mask is not its capcodes' own.
TEST_F(CliUsbBoard, ShowSetReadAndVerifySayWhatFlexMakesOfTheCapcodes)
{
    ASSERT_EQ(cli({"new", "a.tbl"}).exitCode, 0);
    ASSERT_EQ(cli({"set", "a.tbl", "capcode.1=1000100", "capcode.1.enable=on", "capcode.2.enable=off"}).exitCode, 0);
    const CliRun shown = cli({"show", "a.tbl"});
    EXPECT_TRUE(shown.out.contains("\n# capcode.1.flex=A1000100 frame 42 phase 1\n")) << shown.out.toStdString();
    EXPECT_FALSE(shown.out.contains("# capcode.2.flex="));
    const QByteArray sound = bytes("a.tbl");
    PagerTable odd = image("a.tbl");
    odd[0x93] ^= 0x01;   // another tool's mask
    for (const QString name : {"odd.tbl", "pager.tbl"}) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(odd.data()), PagerTableSize);
    }
    startEmulator();
    struct Case {
        QStringList args;
        int exitCode;
        QString says;   // counted in stderr
        int times;
    } cases[] = {
        {QStringList{"set", "a.tbl"} + linesOf(shown.out).filter(QRegularExpression("^(# |capcode\\.1=)")), 0, "=", 0},
        {{"set", "b.tbl", "capcode.3=2029570", "capcode.4=2029570"}, 0, "may never ring", 1},
        {{"set", "b.tbl", "capcode.3=2029570", "capcode.5=1933312"}, 0, "may never ring", 0},
        {{"read", "-o", "r.tbl"}, 0, "frame mask", 1},
        {{"verify", "a.tbl"}, 1, "frame mask", 0},   // the pager differs; the file is sound
        {{"write", "a.tbl"}, 0, "frame mask", 0},
        {{"verify", "odd.tbl"}, 0, "frame mask", 1},   // verified with its capcodes' own mask
    };
    ASSERT_EQ(cli({"new", "b.tbl"}).exitCode, 0);
    for (const Case& c : cases) {
        const CliRun r = cli(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(' ').toStdString() << "\n" << r.err.toStdString();
        EXPECT_EQ(r.err.count(c.says), c.times) << r.err.toStdString();
    }
    EXPECT_EQ(bytes("a.tbl"), sound) << "show's lines set again change nothing";
    EXPECT_EQ(bytes("r.tbl"), sound) << "the read file holds the capcodes' own mask";
}

// show prints one line per field whatever the bytes, set takes those lines
// back, and --json keeps the exact characters.
TEST_F(CliTest, ShowEscapesEveryHiddenByteAndSetTakesItsLinesBack)
{
    ASSERT_EQ(cli({"new", "a.tbl"}).exitCode, 0);
    const int fields = linesOf(cli({"show", "a.tbl"}).out).size();
    // A value that would read as another field stays on its own line.
    ASSERT_EQ(cli({"set", "a.tbl", "prompt.7=AB\\nprompt.8=XY"}).exitCode, 0);
    PagerTable t = image("a.tbl");
    putPrompt(t, 3, 0, {'A', 0x00, 0x0A, '\\', 0x81, 0xA0, 0x09, 0xE9, 'Z'});
    {
        QFile f(path("a.tbl"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(t.data()), PagerTableSize);
    }
    const QStringList shown = linesOf(cli({"show", "a.tbl"}).out);
    EXPECT_EQ(shown.size(), fields);
    EXPECT_TRUE(shown.contains(QStringLiteral("prompt.7=AB\\nprompt.8=XY")));
    EXPECT_EQ(shown.filter(QRegularExpression("^prompt\\.8=")).size(), 1);
    EXPECT_TRUE(shown.contains(QStringLiteral("prompt.3=A\\x00\\n\\\\\\x81\\xA0\\t\u00E9Z"))) << shown.join('\n').toStdString();
    const QJsonObject json = QJsonDocument::fromJson(cli({"show", "a.tbl", "--json"}).out.toUtf8()).object();
    EXPECT_EQ(json.value("prompt.3").toString(), QString::fromUtf8("A\0\n\\\xC2\x81\xC2\xA0\t\xC3\xA9Z", 12));

    // Random images with every byte in their prompts: show's prompt lines, set
    // on a new image, store the same characters and leading spaces.
    std::mt19937 random(20);
    for (int round = 0; round < 6; ++round) {
        PagerTable source = image("a.tbl");
        for (int n = LogoPrompt; n <= LastPrompt; ++n) {
            const int room = n == LogoPrompt ? 15 : 20;
            const int length = static_cast<int>(random() % 19);
            std::vector<std::uint8_t> chars(static_cast<std::size_t>(std::min(length, room)));
            for (auto& c : chars)
                c = static_cast<std::uint8_t>(random() % 256);
            while (!chars.empty() && chars.front() == ' ')
                chars.front() = 'x';
            while (!chars.empty() && chars.back() == ' ')
                chars.back() = 'y';
            const int spaces = std::min<int>(14, static_cast<int>(random() % (room - chars.size() + 1)));
            putPrompt(source, n, spaces, chars);
        }
        QFile f(path("random.tbl"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(source.data()), PagerTableSize);
        f.close();
        QStringList args {"set", "b.tbl"};
        args << linesOf(cli({"show", "random.tbl"}).out).filter(QRegularExpression("^prompt\\.(logo|\\d+)="));
        ASSERT_EQ(args.size(), 2 + 29);
        ASSERT_EQ(cli({"new", "b.tbl", "--force"}).exitCode, 0);
        const CliRun r = cli(args);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const PagerTable back = image("b.tbl");
        for (int n = LogoPrompt; n <= LastPrompt; ++n) {
            const int at = promptRecordOffset(n);
            SCOPED_TRACE(n);
            EXPECT_EQ(back[at] & 0x0F, source[at] & 0x0F);
            ASSERT_EQ(back[at + 1], source[at + 1]);
            EXPECT_TRUE(std::equal(back.begin() + at + 2, back.begin() + at + 2 + back[at + 1], source.begin() + at + 2));
        }
    }
}

// set stores what the window stores for a composed character, and refuses what
// the pager's code page cannot hold or a backslash that starts no escape.
TEST_F(CliTest, SetComposesTextAndRefusesWhatTheCodePageCannotHold)
{
    ASSERT_EQ(cli({"new", "a.tbl"}).exitCode, 0);
    struct Case {
        QString value;
        std::vector<std::uint8_t> stored;   // empty: refused with exit 2
    } cases[] = {
        {QString::fromUtf8("e\u0301"), {0xE9}},
        {QString::fromUtf8("\u20AC5"), {0x80, '5'}},
        {"\\x81\\x00", {0x81, 0x00}},
        {QString::fromUtf8("\u65E5\u672C\u8A9E"), {}},
        {QString::fromUtf8("A\u0300\u0323"), {}},   // no single character of the code page
        {"AB\\q", {}},
        {"AB\\", {}},
        {"\\x4", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.toStdString());
        const QByteArray before = bytes("a.tbl");
        const CliRun r = cli({"set", "a.tbl", "prompt.1=" + c.value});
        if (c.stored.empty()) {
            EXPECT_EQ(r.exitCode, 2);
            EXPECT_EQ(bytes("a.tbl"), before);
            EXPECT_EQ(r.err.trimmed().count('\n'), 0) << r.err.toStdString();
            continue;
        }
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const PagerTable t = image("a.tbl");
        const int at = promptRecordOffset(1);
        ASSERT_EQ(t[at + 1], c.stored.size());
        EXPECT_TRUE(std::equal(c.stored.begin(), c.stored.end(), t.begin() + at + 2));
    }
}

// A wrong argument is named for what it is, with no system text for an error
// that did not happen.
TEST_F(CliTest, MessagesSayWhatIsWrong)
{
    ASSERT_EQ(cli({"new", "a.tbl"}).exitCode, 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    struct Case {
        QStringList args;
        QString says;
    } cases[] = {
        {{"show", "folder"}, "is a folder"},
        {{"set", "folder", "screen_contrast=3"}, "is a folder"},
        {{"new", "folder", "--force"}, "is a folder"},
        {{"produce", "a.tbl", "--count", "99999999999", "--no-wait"}, "at most 2147483647"},
        {{"produce", "a.tbl", "--count", "ten", "--no-wait"}, "a whole number of pagers, not ten"},
        {{"produce", "a.tbl", "--count", "0", "--no-wait"}, "at least 1"},
        // A character that shows nothing is named by its code point.
        {{"set", "a.tbl", "prompt.1=\\x85"}, "U+0085"},
        {{"set", "a.tbl", "prompt.1=A\\x7F\u263A"}, "U+263A"},
    };
    for (const Case& c : cases) {
        const CliRun r = cli(c.args);
        SCOPED_TRACE(c.args.join(' ').toStdString());
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("Success")) << r.err.toStdString();
    }
}

// The exit status a script relies on: 0 success, 1 failed or different, 2 bad usage.
TEST_F(CliTest, ExitStatusIsTheContractOfEveryCommand)
{
    ASSERT_EQ(cli({"new", "a.tbl"}).exitCode, 0);
    ASSERT_EQ(cli({"new", "b.tbl"}).exitCode, 0);
    ASSERT_EQ(cli({"set", "b.tbl", "capcode.6=1357"}).exitCode, 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    QFile shortFile(path("short.tbl"));
    ASSERT_TRUE(shortFile.open(QIODevice::WriteOnly) && shortFile.write("abc") == 3);
    shortFile.close();
    ASSERT_EQ(::mkfifo(path("fifo").toLocal8Bit().constData(), 0600), 0);
    const struct {
        QStringList args;
        int exitCode;
    } cases[] = {
        {{"diff", "a.tbl", "a.tbl"}, 0},
        {{"diff", "a.tbl", "b.tbl"}, 1},
        {{"show", "folder"}, 2},
        {{"new", "folder"}, 2},
        {{"new", "a.tbl"}, 2},
        {{"show", "short.tbl"}, 2},
        {{"show", "missing.tbl"}, 2},
        {{"set", "a.tbl", "capcode.6=12x"}, 2},
        {{"read", "-o", "r.tbl", "--port", "COM0"}, 2},
        // read checks its FILE before it looks for the board.
        {{"read", "-o", "a.tbl"}, 2},
        {{"read", "-o", "folder"}, 2},
        {{"read", "-o", "missing/r.tbl"}, 2},
        // An empty name, a pipe or a device would take the table and lose it.
        {{"read", "-o", ""}, 2},
        {{"new", ""}, 2},
        {{"read", "-o", "/dev/null", "--force"}, 2},
        {{"read", "-o", "fifo", "--force"}, 2},
        {{"new", "fifo", "--force"}, 2},
        {{"verify", "a.tbl", "--port", "0"}, 2},
        {{"write", "a.tbl", "--port", "256"}, 2},
        {{"produce", "a.tbl", "--count", "2", "--port", "COM256"}, 2},
        // Neither a COM number nor the serial number of any port's board.
        {{"verify", "a.tbl", "--port", "A10K3Q"}, 2},
        {{"frobnicate"}, 2},
        {{"show", "a.tbl", "--bogus"}, 2},
        // Options may stand before the command; one the command does not take is refused.
        {{"--station", "X", "show", "a.tbl"}, 0},
        {{"--force", "new", "a.tbl"}, 0},
        {{"show", "a.tbl", "--port", "3"}, 2},
        {{"diff", "a.tbl", "b.tbl", "--force"}, 2},
        {{"--station", "X"}, 2},
        {{"ports", "extra"}, 2},
    };
    // diff --json: the fields in the catalogue's order, numbers as numbers.
    const CliRun d = cli({"diff", "a.tbl", "b.tbl", "--json"});
    EXPECT_EQ(d.exitCode, 1);
    EXPECT_TRUE(d.out.startsWith(R"({"a":"a.tbl","b":"b.tbl","equal":false,"fields":{"capcode.6":{"a":)"))
        << d.out.toStdString();
    EXPECT_TRUE(QJsonDocument::fromJson(d.out.toUtf8()).isObject());
    for (const auto& c : cases) {
        const CliRun r = cli(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(' ').toStdString() << "\n" << r.err.toStdString();
    }
    // Every help says what the codes mean.
    for (const char* command : {"ports", "read", "write", "verify", "produce", "history", "batch", "show", "set",
                                "diff", "new"})
        EXPECT_TRUE(cli({command, "--help"}).out.contains("Exit status: 0 success; 1")) << command;
}

// Each command's usage line names exactly the options of its own that the
// parser lets it take, so the help written by hand cannot drift from the
// option table the parser, --help and the man page use.
TEST_F(CliTest, EveryUsageNamesTheOptionsItsCommandTakes)
{
    static const QRegularExpression optionName(QStringLiteral(R"((?<![\w-])(-o|--[a-z][a-z-]*))"));
    for (const std::string command : {"ports", "read", "write", "verify", "produce", "label", "history", "batch",
                                      "show", "set", "diff", "new"}) {
        SCOPED_TRACE(command);
        const QString help = cli({QString::fromStdString(command), "--help"}).out;
        const QString usage = help.left(help.indexOf(QStringLiteral("\n\n")));
        ASSERT_TRUE(usage.startsWith(QStringLiteral("Usage:"))) << help.toStdString();
        std::set<std::string> named;
        for (auto it = optionName.globalMatch(usage); it.hasNext();)
            named.insert(it.next().captured(1).toStdString());
        for (const std::string& name : named) {
            const cli::CliOption* option = cli::findCliOption(name);
            EXPECT_TRUE(option && cli::commandTakes(command, *option)) << name;
        }
        for (const cli::CliOption& option : cli::cliOptions()) {
            if (!option.commands.empty() && cli::commandTakes(command, option)) {
                EXPECT_TRUE(named.count(option.name)) << "the usage leaves out " << option.name;
            }
        }
    }
}

} // namespace
} // namespace px316t
