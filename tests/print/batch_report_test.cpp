#include "print/batch_report.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace px316t;

namespace {

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << program.toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

TEST(BatchReport, PagesOfFortyDetailLinesAndNeutralisedCsv)
{
    BatchReport r;
    r.batch = "tray-17";
    r.source = "capcodes 1600000 to 1600999";
    r.used = 880;
    r.uncertain = 75;
    r.returned = 5;
    r.left = 40;
    r.programVersion = "5.02";
    r.madeAt = "2026-12-08T16:00:00Z";
    r.tableFiles.push_back({"tray.tbl", std::string(64, 'a'), 880});
    r.stations.push_back({"bench-1", "=cmd|' /C calc'!A0", 500, "2026-12-08T08:00:00Z", "2026-12-08T15:00:00Z"});
    r.stations.push_back({"bench-2", "Jürgen", 380, "2026-12-08T08:10:00Z", "2026-12-08T15:10:00Z"});
    for (std::uint64_t c = 0; c < 80; ++c)
        r.skipped.push_back({1600100 + c, c < 75 ? "uncertain" : "returned", "its station stopped while writing",
                             "bench-2", "2026-12-08T12:00:00Z"});

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    const Status s = writeBatchReportPdf(pdf, r);
    ASSERT_TRUE(s.ok()) << s.message();
    // 1 table file, 2 stations and 80 skipped capcodes, at most 40 lines a page with
    // the headings: three pages (26, 38 and 16 skipped capcodes).
    EXPECT_TRUE(run(QStringLiteral("pdfinfo"), {pdf}).contains(QRegularExpression(QStringLiteral("Pages:\\s+3\\n"))));
    const QString text = run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    for (const char* expected : {"Batch report: tray-17", "1600000 to 1600999", "880", "Jürgen", "1600179", "returned",
                                 "Capcodes skipped (continued)"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;

    const std::string csv = batchReportCsv(r);
    EXPECT_NE(csv.find("station,bench-1,500,'=cmd|' /C calc'!A0,bench-1,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("skipped,1600179,returned,its station stopped while writing,bench-2,"), std::string::npos);
    EXPECT_NE(csv.find("count,uncertain,75,"), std::string::npos);
}
