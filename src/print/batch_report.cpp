#include "print/batch_report.h"

#include "production/csv_text.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>

#include <algorithm>

namespace px316t {

namespace {

QString html(const std::string& text) { return QString::fromStdString(text).toHtmlEscaped(); }

QString cell(const std::string& text) { return QStringLiteral("<td>") + html(text) + QStringLiteral("</td>"); }

QString cell(long number) { return QStringLiteral("<td align=\"right\">%1</td>").arg(number); }

// A table with `header` and `rows`, split so that no page holds more than
// ReportLinesPerPage lines (`linesOnPage` counts them across tables; a table's
// title and header take two).
QString pagedTable(const QString& title, const QStringList& header, QStringList rows, int& linesOnPage)
{
    if (rows.isEmpty())
        rows << QStringLiteral("<tr><td colspan=\"%1\">none</td></tr>").arg(header.size());
    QString head = QStringLiteral("<tr>");
    for (const QString& h : header)
        head += QStringLiteral("<th align=\"left\">") + h.toHtmlEscaped() + QStringLiteral("</th>");
    head += QStringLiteral("</tr>");
    QString out;
    for (int i = 0; i < rows.size();) {
        if (linesOnPage + 3 > ReportLinesPerPage) {
            out += QStringLiteral("<p style=\"page-break-before: always\"></p>");
            linesOnPage = 0;
        }
        const int take = std::min(ReportLinesPerPage - linesOnPage - 2, static_cast<int>(rows.size()) - i);
        out += QStringLiteral("<h3>") + title.toHtmlEscaped() + (i > 0 ? QStringLiteral(" (continued)") : QString()) +
               QStringLiteral("</h3><table border=\"1\" cellspacing=\"0\" cellpadding=\"1\" width=\"100%\">") + head;
        for (int k = 0; k < take; ++k)
            out += rows[i + k];
        out += QStringLiteral("</table>");
        linesOnPage += 2 + take;
        i += take;
    }
    return out;
}

QString reportHtml(const BatchReport& r)
{
    QString out = QStringLiteral("<html><body style=\"font-family: 'DejaVu Sans'; font-size: 7.5pt\">");
    out += QStringLiteral("<h2>Batch report: ") + html(r.batch) + QStringLiteral("</h2>");
    out += QStringLiteral("<p>") + html(r.source) + QStringLiteral("<br>Made ") + html(r.madeAt) +
           QStringLiteral(" UTC by px316t ") + html(r.programVersion) + QStringLiteral("</p>");
    out += QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\"><tr><th>used</th><th>uncertain</th>"
                          "<th>returned</th><th>in progress</th><th>left</th></tr><tr>") +
           cell(r.used) + cell(r.uncertain) + cell(r.returned) + cell(r.open) + cell(r.left) +
           QStringLiteral("</tr></table>");
    int lines = 5;   // the title, the source and the counts

    QStringList files;
    for (const ReportTableFile& f : r.tableFiles)
        files << QStringLiteral("<tr>") + cell(f.name) + cell(f.sha256) + cell(f.pagers) + QStringLiteral("</tr>");
    out += pagedTable(QStringLiteral("Table files"), {QStringLiteral("file"), QStringLiteral("SHA-256"),
                                                      QStringLiteral("pagers")}, files, lines);
    QStringList stations;
    for (const ReportStation& s : r.stations)
        stations << QStringLiteral("<tr>") + cell(s.station) + cell(s.operatorName) + cell(s.pagers) + cell(s.first) +
                        cell(s.last) + QStringLiteral("</tr>");
    out += pagedTable(QStringLiteral("Stations and operators"),
                      {QStringLiteral("station"), QStringLiteral("operator"), QStringLiteral("pagers"),
                       QStringLiteral("first (UTC)"), QStringLiteral("last (UTC)")},
                      stations, lines);
    QStringList skipped;
    for (const ReportSkip& s : r.skipped)
        skipped << QStringLiteral("<tr>") + cell(std::to_string(s.capcode)) + cell(s.state) + cell(s.reason) +
                       cell(s.station) + cell(s.since) + QStringLiteral("</tr>");
    out += pagedTable(QStringLiteral("Capcodes skipped"),
                      {QStringLiteral("capcode"), QStringLiteral("state"), QStringLiteral("reason"),
                       QStringLiteral("station"), QStringLiteral("since (UTC)")},
                      skipped, lines);
    out += QStringLiteral("<p><br><br>Accepted by: ____________________________ &nbsp;&nbsp; Date: ____________</p>");
    return out + QStringLiteral("</body></html>");
}

} // namespace

Status writeBatchReportPdf(const QString& file, const BatchReport& report)
{
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setResolution(300);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                                         QPageLayout::Millimeter));
        writer.setCreator(QStringLiteral("px316t"));
        writer.setTitle(QStringLiteral("Batch report ") + QString::fromStdString(report.batch));
        QTextDocument document;
        document.setHtml(reportHtml(report));
        document.print(&writer);
    }
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(pdf.data()) != pdf.data().size() || !out.commit())
        return Failure{"The report " + file.toStdString() + " could not be written: " + out.errorString().toStdString()};
    return {};
}

std::string batchReportCsv(const BatchReport& r)
{
    std::string out = csvLine({"section", "name", "value", "detail", "station", "from_utc", "to_utc"});
    const auto row = [&](std::vector<std::string> fields) { out += csvLine(fields); };
    row({"batch", "name", r.batch, r.source, "", r.madeAt, ""});
    row({"batch", "program", r.programVersion, "", "", "", ""});
    for (const auto& [name, value] : {std::pair<const char*, long>{"used", r.used}, {"uncertain", r.uncertain},
                                      {"returned", r.returned}, {"in progress", r.open}, {"left", r.left}})
        row({"count", name, std::to_string(value), "", "", "", ""});
    for (const ReportTableFile& f : r.tableFiles)
        row({"table file", f.name, std::to_string(f.pagers), f.sha256, "", "", ""});
    for (const ReportStation& s : r.stations)
        row({"station", s.station, std::to_string(s.pagers), s.operatorName, s.station, s.first, s.last});
    for (const ReportSkip& s : r.skipped)
        row({"skipped", std::to_string(s.capcode), s.state, s.reason, s.station, s.since, ""});
    return out;
}

} // namespace px316t
