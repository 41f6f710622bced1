// A build without the print library: labels and reports are refused, saying so.
#include "cli/paper.h"

namespace px316t::cli {

namespace {

const QString kUnavailable = QStringLiteral("labels and reports are not part of this build");

} // namespace

bool drawsPaper(const QStringList&) { return false; }

std::unique_ptr<RunLabels> runLabels(const Args& a, bool, bool& refused)
{
    refused = a.options.count(QStringLiteral("--labels")) || a.options.count(QStringLiteral("--label-printer"));
    if (refused)
        usage("produce", kUnavailable);
    return nullptr;
}

int cmdLabel(const Args&) { return usage("label", kUnavailable); }

int cmdBatchReport(const BatchPaperRequest&) { return usage("batch", kUnavailable); }

} // namespace px316t::cli
