#pragma once
// "File > Production Record...": the station's production record as a
// read-only table, newest entry last.
#include "production/production_record.h"

#include <QDialog>

#include <vector>

class QTableWidget;

namespace px316t {

class ProductionRecordDialog : public QDialog {
public:
    ProductionRecordDialog(const std::vector<RecordEntry>& entries, QWidget* parent = nullptr);

    QTableWidget* table() const { return table_; }

private:
    QTableWidget* table_;
};

} // namespace px316t
