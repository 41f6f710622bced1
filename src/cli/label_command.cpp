// px316t-cli label, and the labels of produce: a label for each pager the
// record holds as written, verified and used.
#include "cli/json_line.h"
#include "cli/paper.h"
#include "cli/production_data.h"

#include "print/record_paper.h"
#include "production/sqlite_record_store.h"
#include "production/utc_time.h"
#include "table/path_text.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace px316t::cli {

namespace {

class ProduceLabels final : public RunLabels {
public:
    ProduceLabels(LabelDestination destination, LabelSize size, bool json)
        : stream_(std::move(destination), size), json_(json)
    {
    }
    void pagerDone(const DonePager& pager) override
    {
        const Status printed = stream_.add(labelOfDonePager(pager.capcode, pager.longCapcode, pager.image, pager.batch,
                                                            pager.customer, std::chrono::system_clock::now()));
        if (printed.ok())
            return;
        say(labelFailureMessage(pager.capcode, printed.message()));
        if (json_)
            JsonLine()
                .text("port", pager.port)
                .number("capcode", static_cast<long long>(pager.capcode))
                .text("label", "not printed")
                .text("message", printed.message())
                .print();
    }

private:
    LabelStream stream_;
    bool json_;
};

// -o FILE.pdf or --label-printer NAME, checked before anything is done.
std::optional<LabelDestination> destination(const Args& a, const std::string& command, const QString& fileOption,
                                            bool& refused)
{
    LabelDestination where;
    if (const auto it = a.options.find(fileOption); it != a.options.end())
        where.pdfFile = it->second;
    if (const auto it = a.options.find(QStringLiteral("--label-printer")); it != a.options.end())
        where.printer = it->second;
    refused = true;
    if (!where.pdfFile.isEmpty() && !where.printer.isEmpty()) {
        usage(command, fileOption + QStringLiteral(" and --label-printer exclude each other"));
        return std::nullopt;
    }
    if (a.options.count(fileOption) && where.pdfFile.isEmpty()) {
        usage(command, fileOption + QStringLiteral(" needs a PDF file"));
        return std::nullopt;
    }
    if (a.options.count(QStringLiteral("--label-printer")) && where.printer.isEmpty()) {
        usage(command, QStringLiteral("--label-printer needs a printer's name"));
        return std::nullopt;
    }
    if (!where.pdfFile.isEmpty() && !QFileInfo(where.pdfFile).absoluteDir().exists()) {
        usage(command, QStringLiteral("the folder of ") + where.pdfFile + QStringLiteral(" does not exist"));
        return std::nullopt;
    }
    if (!where.printer.isEmpty()) {
        const std::vector<QString> printers = labelPrinterNames();
        if (std::find(printers.begin(), printers.end(), where.printer) == printers.end()) {
            QString known;
            for (const QString& p : printers)
                known += (known.isEmpty() ? QString() : QStringLiteral(", ")) + p;
            usage(command, QStringLiteral("there is no printer ") + where.printer +
                               (known.isEmpty() ? QStringLiteral(" (this system has none)")
                                                : QStringLiteral(" (there are: ") + known + QStringLiteral(")")));
            return std::nullopt;
        }
    }
    refused = false;
    return where;
}

LabelSize labelSizeSetting()
{
    clsRegistryAccess registry;
    return readLabelSize(registry);
}

} // namespace

bool drawsPaper(const QStringList& arguments)
{
    const bool batch = arguments.contains(QStringLiteral("batch"));
    return arguments.contains(QStringLiteral("label")) || arguments.contains(QStringLiteral("--labels")) ||
           arguments.contains(QStringLiteral("--label-printer")) || (batch && arguments.contains(QStringLiteral("report")));
}

std::unique_ptr<RunLabels> runLabels(const Args& a, bool json, bool& refused)
{
    const auto where = destination(a, "produce", QStringLiteral("--labels"), refused);
    if (!where || where->none())
        return nullptr;
    return std::make_unique<ProduceLabels>(*where, labelSizeSetting(), json);
}

int cmdLabel(const Args& a)
{
    const bool local = a.options.count(QStringLiteral("--local")) != 0;
    if (local == (a.positional.size() == 1) || a.positional.size() > 1)
        return usage("label", QStringLiteral("expected a batch name, or --local for this station's own pagers"));
    std::optional<CapcodeRange> range;
    if (const auto it = a.options.find(QStringLiteral("--capcodes")); it != a.options.end()) {
        range = parseCapcodeRange(it->second.trimmed().toStdString());
        if (!range)
            return usage("label", QStringLiteral("--capcodes needs capcodes A-B (or one capcode), not ") + it->second);
    }
    bool refused = false;
    const auto where = destination(a, "label", QStringLiteral("-o"), refused);
    if (!where)
        return Usage;
    if (where->none())
        return usage("label", QStringLiteral("-o FILE.pdf or --label-printer NAME is needed"));

    std::string batch;
    Outcome<std::vector<PagerLabel>> read = std::vector<PagerLabel>{};
    if (local) {
        read = readLocalLabels(SqliteRecordStore::defaultPath(), range);
    } else {
        batch = a.positional[0].toStdString();
        const std::string conninfo = productionOptions(a).databaseConninfo;
        if (conninfo.empty())
            return usage("label", QStringLiteral("a batch lives in the shared production database: give "
                                                 "--production-db CONNINFO or set PX316T_PRODUCTION_DB"));
        read = readBatchLabels(conninfo, batch, range);
    }
    if (!read.ok()) {
        say(read.message());
        return read.refused() ? Usage : Failed;
    }
    const std::vector<PagerLabel>& labels = read.value();
    if (labels.empty()) {
        say((local ? std::string("This station's record") : "The batch " + batch) +
            " holds no used capcode" + (range ? " in " + std::to_string(range->first) + "-" +
                                                    std::to_string(range->last) : std::string()) +
            "; no label was made.");
        return Failed;
    }
    const LabelSize size = labelSizeSetting();
    const Status made = where->printer.isEmpty() ? writeLabelsPdf(where->pdfFile, labels, size)
                                                 : printLabels(where->printer, labels, size);
    if (!made.ok()) {
        say(made.message());
        return Failed;
    }
    std::printf("%zu labels %s %s\n", labels.size(), where->printer.isEmpty() ? "written to" : "sent to",
                (where->printer.isEmpty() ? where->pdfFile : where->printer).toStdString().c_str());
    return Ok;
}

} // namespace px316t::cli
