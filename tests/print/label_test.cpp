// A label is only worth its barcodes if a scanner reads the capcode back: the
// PDF is rendered to a picture by pdftoppm and both symbols are read by zbarimg.
#include "print/label_output.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace px316t;

namespace {

// What zbarimg reads in the picture: "QR-Code:A1234567", "CODE-128:A1234567".
QStringList scannedSymbols(const QString& png)
{
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("-q"), png});
    EXPECT_TRUE(zbar.waitForFinished(60000));
    QStringList found = QString::fromUtf8(zbar.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    found.sort();
    return found;
}

} // namespace

TEST(PagerLabels, BothBarcodesScanBackToTheCapcodeOnEveryPage)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    PagerLabel shortLabel{1234567, false, 931012500, "tray-17", "2026-12-08", "Acme Paging Ltd, a name longer than the label"};
    PagerLabel longLabel{3223326721ULL, true, 459987500, "", "2026-12-08", ""};
    const QString pdf = dir.filePath(QStringLiteral("labels é.pdf"));
    const Status written = writeLabelsPdf(pdf, {shortLabel, longLabel}, LabelSize{});
    ASSERT_TRUE(written.ok()) << written.message();

    QProcess render;
    render.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("600"), QStringLiteral("-png"), pdf,
                                             dir.filePath(QStringLiteral("page"))});
    ASSERT_TRUE(render.waitForFinished(60000));
    ASSERT_EQ(render.exitCode(), 0) << render.readAllStandardError().toStdString();
    EXPECT_EQ(scannedSymbols(dir.filePath(QStringLiteral("page-1.png"))),
              (QStringList{QStringLiteral("CODE-128:A1234567"), QStringLiteral("QR-Code:A1234567")}));
    EXPECT_EQ(scannedSymbols(dir.filePath(QStringLiteral("page-2.png"))),
              (QStringList{QStringLiteral("CODE-128:3223326721"), QStringLiteral("QR-Code:3223326721")}));
    EXPECT_EQ(frequencyMhzText(931012500), "931.0125 MHz");
    EXPECT_EQ(frequencyMhzText(130000000), "130.0000 MHz");
}

TEST(PagerLabels, FailuresAreReportedAndLeaveNoFile)
{
    QTemporaryDir dir;
    const QString missingFolder = dir.filePath(QStringLiteral("no/such/folder/labels.pdf"));
    const Status s = writeLabelsPdf(missingFolder, {PagerLabel{7, false, 931012500, "", "2026-12-08", ""}}, LabelSize{});
    EXPECT_FALSE(s.ok());
    EXPECT_NE(s.message().find("could not be written"), std::string::npos) << s.message();
    EXPECT_FALSE(writeLabelsPdf(dir.filePath(QStringLiteral("empty.pdf")), {}, LabelSize{}).ok());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("empty.pdf"))));
    EXPECT_FALSE(printLabels(QStringLiteral("no printer of this name"), {PagerLabel{}}, LabelSize{}).ok());
}
