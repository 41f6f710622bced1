// Labels, reports and line figures from the command line, against the board
// emulator and a real PostgreSQL server: a label only for what the record holds
// as used, and a report whose counts match a batch with a failure in it.
#include "support/link_emulator_process.h"
#include "support/pg_cluster.h"

#include "link/link_kind.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

namespace px316t {
namespace {

struct CliResult {
    int exitCode = -1;
    QString out;
    QString err;
};

class CliPaper : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (BuildLinkKind != LinkKind::USB)
            GTEST_SKIP() << "a build for the parallel-port board";
    }
    CliResult cli(const QStringList& arguments)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("PX316T_PRODUCTION_DB"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("DISPLAY"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path());
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir.path());
        p.start(QStringLiteral(PX316T_CLI), arguments);
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(120000));
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }
    void startEmulator(QStringList extra = {})
    {
        emulator.reset();
        extra << "--com" << "2" << "--fast" << "--memory" << dir.filePath("pager.tbl");
        emulator = std::make_unique<testing::EmulatorProcess>(QStringLiteral(PX316T_BOARD_EMULATOR), dir.path(), extra);
        ASSERT_TRUE(emulator->ready) << emulator->output.join('\n').toStdString();
    }
    // The text of a PDF, as pdftotext finds it; empty when there is no PDF.
    QString pdfText(const QString& name)
    {
        if (!QFile::exists(dir.filePath(name)))
            return {};
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {dir.filePath(name), QStringLiteral("-")});
        EXPECT_TRUE(p.waitForFinished(60000));
        return QString::fromUtf8(p.readAllStandardOutput());
    }

    QTemporaryDir dir;
    std::unique_ptr<testing::EmulatorProcess> emulator;
};

TEST_F(CliPaper, LabelsAndReportsHoldWhatTheRecordHoldsAsUsed)
{
    testing::PgCluster cluster;
    ASSERT_TRUE(cluster.ok()) << cluster.error();
    const QString db = QString::fromStdString(cluster.conninfo());
    const QStringList shared = {"--production-db", db};
    startEmulator();
    ASSERT_EQ(cli({"new", "p.tbl"}).exitCode, 0);
    ASSERT_EQ(cli({"set", "p.tbl", "capcode.1=1600000", "capcode.1.enable=on"}).exitCode, 0);
    ASSERT_EQ(cli(QStringList{"batch", "create", "tray", "--first", "1600000", "--last", "1600009"} + shared).exitCode, 0);

    CliResult r = cli(QStringList{"produce", "p.tbl", "--count", "2", "--no-wait", "--port", "2", "--batch", "tray",
                            "--labels", "run.pdf"} + shared);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(pdfText("run.pdf").contains("A1600000") && pdfText("run.pdf").contains("A1600001"))
        << pdfText("run.pdf").toStdString();

    // The board vanishes in the second pager's write: that capcode is
    // uncertain and gets no label; a label that cannot be written leaves the
    // pagers and the exit status as they were.
    startEmulator({"--unplug-after", QString::number(2 + 16 + 4)});
    r = cli(QStringList{"produce", "p.tbl", "--count", "3", "--no-wait", "--batch", "tray", "--json", "--labels",
                        "/proc/labels.pdf"} + shared);
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_EQ(r.err.count("Verify Success!"), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("The label of capcode 1600002 was not printed")) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(R"("capcode":1600002,"label":"not printed")")) << r.out.toStdString();

    const struct {
        QStringList args;
        int exitCode;
        QString pdf;                 // read with pdftotext, else stdout
        QStringList holds, lacks;
    } cases[] = {
        {{"label", "tray", "-o", "all.pdf"}, 0, "all.pdf", {"A1600000", "A1600001", "A1600002"}, {"A1600003"}},
        {{"label", "tray", "--capcodes", "1600001-1600002", "-o", "some.pdf"}, 0, "some.pdf", {"A1600001", "A1600002"},
         {"A1600000"}},
        {{"label", "tray", "--capcodes", "1600003", "-o", "none.pdf"}, 1, "none.pdf", {}, {"A1600003"}},
        {{"label", "--local", "-o", "local.pdf"}, 1, "local.pdf", {}, {"A16"}},
        {{"label", "tray", "-o", "x.pdf", "--label-printer", "p"}, 2, "x.pdf", {}, {"A16"}},
        {{"batch", "report", "tray", "-o", "report.pdf"}, 0, "report.pdf", {"tray", "1600003", "uncertain"}, {}},
        {{"batch", "report", "tray", "--csv"}, 0, "", {"1600003", "uncertain"}, {}},
        {{"batch", "stats", "tray", "--watch"}, 0, "", {"(line)"}, {}},
    };
    for (const auto& c : cases) {
        r = cli(c.args + shared);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(' ').toStdString() << "\n" << r.err.toStdString();
        const QString text = c.pdf.isEmpty() ? r.out : pdfText(c.pdf);
        for (const QString& s : c.holds)
            EXPECT_TRUE(text.contains(s)) << c.args.join(' ').toStdString() << " lacks " << s.toStdString();
        for (const QString& s : c.lacks)
            EXPECT_FALSE(text.contains(s)) << c.args.join(' ').toStdString() << " holds " << s.toStdString();
    }

    // The counts: three used, one uncertain, six left; one failed write.
    r = cli(QStringList{"batch", "report", "tray", "--csv"} + shared);
    EXPECT_TRUE(r.out.contains("count,used,3,") && r.out.contains("count,uncertain,1,") &&
                r.out.contains("count,left,6,") && r.out.contains("station,"))
        << r.out.toStdString();
    r = cli(QStringList{"batch", "stats", "tray", "--json"} + shared);
    const QJsonObject line = QJsonDocument::fromJson(r.out.toUtf8()).object()["line"].toObject();
    EXPECT_EQ(line["total_pagers"].toInt(), 3) << r.out.toStdString();
    EXPECT_EQ(line["total_failures"].toInt(), 1) << r.out.toStdString();
}

} // namespace
} // namespace px316t
