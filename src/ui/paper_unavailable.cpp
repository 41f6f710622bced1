// A build without the print library: no labels and no batch report.
#include "ui/batch_dialog.h"
#include "ui/form2.h"

#include <QPushButton>

namespace px316t {

void Form2::createLabelControls() {}
void Form2::showLabelControls() {}
void Form2::txtLabelSize_Commit() {}
void Form2::printLabel(std::uint64_t, bool, const PagerTable&, const std::string&) {}

void BatchDialog::cmdReport_Click() { cmdReport->setEnabled(false); }

} // namespace px316t
