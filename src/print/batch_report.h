#pragma once
// The report a customer signs at the end of a batch: what the batch was (its
// range or list), how many capcodes were used, skipped and left, every skipped
// capcode with its reason, the stations and operators with their pagers and
// times, the table files the pagers were made from with their SHA-256, and the
// program that wrote them. As a PDF (one page per 40 lines of detail) or as
// CSV for a spreadsheet.
#include "production/outcome.h"

#include <QString>

#include <string>
#include <vector>

namespace px316t {

struct ReportSkip {
    std::uint64_t capcode = 0;
    std::string state;        // "uncertain", "returned"
    std::string reason;
    std::string station;
    std::string since;        // UTC
};

struct ReportStation {
    std::string station;
    std::string operatorName;
    long pagers = 0;
    std::string first;        // UTC of its first and last pager
    std::string last;
};

struct ReportTableFile {
    std::string name;
    std::string sha256;
    long pagers = 0;
};

struct BatchReport {
    std::string batch;
    std::string source;       // "capcodes 1600000 to 1600999", or "list tray.csv (250 capcodes)"
    long used = 0;
    long uncertain = 0;
    long returned = 0;
    long open = 0;            // reserved or being written while the report was made
    long left = 0;
    std::vector<ReportSkip> skipped;
    std::vector<ReportStation> stations;
    std::vector<ReportTableFile> tableFiles;
    std::string programVersion;
    std::string madeAt;       // UTC
};

inline constexpr int ReportLinesPerPage = 40;

Status writeBatchReportPdf(const QString& file, const BatchReport& report);
std::string batchReportCsv(const BatchReport& report);

} // namespace px316t
