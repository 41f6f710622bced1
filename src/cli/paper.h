#pragma once
// Labels and reports of the command line: label_command.cpp and
// batch_paper_commands.cpp; a build without the print library says it cannot
// (paper_unavailable.cpp). The line's figures: batch_stats_command.cpp.
#include "cli/args.h"
#include "table/pager_table.h"

#include <cstdint>
#include <memory>
#include <string>

namespace px316t::cli {

// What a label is made from when its pager is done.
struct DonePager {
    std::string port;
    std::uint64_t capcode = 0;
    bool longCapcode = false;
    PagerTable image{};
    std::string batch;
    std::string customer;
};

// The labels of a produce run, one per pager once it is recorded and its
// capcode used. A label that fails is said (and given as JSON with --json);
// the pager stands and the run goes on.
class RunLabels {
public:
    virtual ~RunLabels() = default;
    virtual void pagerDone(const DonePager& pager) = 0;
};

// From --labels FILE.pdf or --label-printer NAME: nothing when neither is
// given; `refused` (after the usage line) for both, an unknown printer or a
// folder that does not exist, before any pager is touched.
std::unique_ptr<RunLabels> runLabels(const Args& a, bool json, bool& refused);

// Whether the command needs the drawing platform (labels and reports).
bool drawsPaper(const QStringList& arguments);

int cmdLabel(const Args& a);

// batch report NAME and batch stats NAME, on the shared database `conninfo`.
struct BatchPaperRequest {
    std::string conninfo;
    std::string name;
    std::string output;   // -o
    bool csv = false;
    bool json = false;
    bool watch = false;
};
int cmdBatchReport(const BatchPaperRequest& request);
int cmdBatchStats(const BatchPaperRequest& request);

} // namespace px316t::cli
