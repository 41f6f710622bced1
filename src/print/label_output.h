#pragma once
// Labels on their way out: into a PDF file (one label per page, the page the
// label's size) or to a printer by name (CUPS on Linux). Either is whole or
// reported: a PDF is written to a temporary file and put in place only when
// complete.
#include "print/pager_label.h"
#include "production/outcome.h"

#include <QString>

#include <vector>

namespace px316t {

Status writeLabelsPdf(const QString& file, const std::vector<PagerLabel>& labels, const LabelSize& size);

// The printer names this system offers (empty when it has none).
std::vector<QString> labelPrinterNames();
Status printLabels(const QString& printerName, const std::vector<PagerLabel>& labels, const LabelSize& size);

} // namespace px316t
