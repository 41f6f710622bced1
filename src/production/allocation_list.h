#pragma once
// A carrier's allocation list: the capcodes a production line may hand out, in
// the carrier's order, each with the customer, order and label it belongs to.
// It comes as a CSV file: columns found by their header name (without regard
// to case), "capcode" required, "customer", "order" and "label" optional, any
// other column kept as it is. A capcode field holds one capcode or an inclusive
// range ("1500000-1500099"), each number with an optional FLEX type letter
// ("A1500000"). The separator (',', ';' or tab) is the one the header line uses;
// a UTF-8 byte-order mark, quoted fields, '#' comment lines and blank lines are
// taken.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace px316t {

struct AllocationEntry {
    std::uint64_t capcode = 0;
    int line = 0;                 // the file's line the capcode came from
    std::string customer;
    std::string order;
    std::string label;
    std::vector<std::string> extra;   // the other columns' fields, in AllocationList::extraColumns order
};

struct AllocationList {
    std::vector<AllocationEntry> entries;     // in the list's order, ranges expanded
    std::vector<std::string> extraColumns;    // header names of the other columns
};

struct AllocationListOptions {
    // The addresses FLEX keeps for itself (1933313..2031614) are refused unless allowed.
    bool allowSpecialAddresses = false;
    // A list longer than this is refused (a mistyped range could name billions).
    std::size_t maxCapcodes = 1000000;
};

struct AllocationListResult {
    AllocationList list;
    // Every bad line as "FILE:LINE: reason"; when there is any, `list` is empty.
    std::vector<std::string> errors;
    bool ok() const { return errors.empty(); }
};

// Reads the bytes of a list file named `fileName` (for the messages).
AllocationListResult parseAllocationList(std::string_view bytes, const std::string& fileName,
                                         const AllocationListOptions& options = {});

// Reads the file at `path` (named `shownName` in the messages); a file that
// cannot be read is one error.
AllocationListResult readAllocationList(const std::filesystem::path& path, const std::string& shownName,
                                        const AllocationListOptions& options = {});

// "1500000-1500002, 1500007": sorted capcodes as runs, at most `maxRuns` runs
// named (then ", ... (N in all)"), for messages that name overlapping capcodes.
std::string describeCapcodes(std::vector<std::uint64_t> capcodes, std::size_t maxRuns = 10);

} // namespace px316t
