// px316t-cli batch report NAME: the paper a customer signs at the end of a batch.
#include "cli/paper.h"

#include "print/record_paper.h"

#include <QString>

#include <cstdio>

namespace px316t::cli {

int cmdBatchReport(const BatchPaperRequest& request)
{
    if (!request.csv && request.output.empty())
        return usage("batch", QStringLiteral("report needs -o FILE.pdf (or --csv)"));
    if (request.csv && request.output.empty()) {
        auto report = readBatchReport(request.conninfo, request.name);
        if (!report.ok()) {
            say(report.message());
            return report.refused() ? Usage : Failed;
        }
        std::fputs(batchReportCsv(report.value()).c_str(), stdout);
        return Ok;
    }
    QString file = QString::fromStdString(request.output);
    if (request.csv != file.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
        return usage("batch", request.csv ? QStringLiteral("--csv writes a .csv file, not ") + file
                                          : QStringLiteral("the report is a PDF; a .csv file needs --csv"));
    if (const Status written = writeBatchReport(request.conninfo, request.name, file); !written.ok()) {
        say(written.message());
        return written.refused() ? Usage : Failed;
    }
    std::printf("%s\n", batchReportWritten(request.name, request.output).c_str());
    return Ok;
}

} // namespace px316t::cli
