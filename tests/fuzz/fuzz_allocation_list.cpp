// Allocation lists as carriers send them: any bytes. A list that is taken holds
// only capcodes a pager can hold, none twice and no more than allowed, and
// writing it out again as plain CSV and reading that back gives the same list.
#include "fuzz_check.h"

#include "production/allocation_list.h"

#include <set>
#include <string>

using namespace px316t;

namespace {

std::string quoted(const std::string& field)
{
    std::string out = "\"";
    for (char c : field)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string asCsv(const AllocationList& list)
{
    std::string csv = "capcode,customer,order,label";
    for (const std::string& name : list.extraColumns)
        csv += "," + quoted(name);
    csv += "\r\n";
    for (const AllocationEntry& e : list.entries) {
        csv += std::to_string(e.capcode) + "," + quoted(e.customer) + "," + quoted(e.order) + "," + quoted(e.label);
        for (const std::string& field : e.extra)
            csv += "," + quoted(field);
        csv += "\r\n";
    }
    return csv;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 16384)
        return -1;
    AllocationListOptions options;
    options.maxCapcodes = 5000;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const AllocationListResult r = parseAllocationList(bytes, "fuzz.csv", options);
    FUZZ_CHECK(r.ok() != r.list.entries.empty());
    if (!r.ok()) {
        for (const std::string& e : r.errors)
            FUZZ_CHECK(e.rfind("fuzz.csv:", 0) == 0);
        return 0;
    }
    FUZZ_CHECK(r.list.entries.size() <= options.maxCapcodes);
    std::set<std::uint64_t> seen;
    for (const AllocationEntry& e : r.list.entries) {
        FUZZ_CHECK((e.capcode >= 1 && e.capcode < 1933313) || (e.capcode >= 2101249 && e.capcode <= 4291000000ULL));
        FUZZ_CHECK(seen.insert(e.capcode).second);
        FUZZ_CHECK(e.line >= 1);
        FUZZ_CHECK(e.extra.size() == r.list.extraColumns.size());
    }

    const AllocationListResult again = parseAllocationList(asCsv(r.list), "again.csv", options);
    FUZZ_CHECK(again.ok());
    FUZZ_CHECK(again.list.extraColumns == r.list.extraColumns);
    FUZZ_CHECK(again.list.entries.size() == r.list.entries.size());
    for (std::size_t i = 0; i < r.list.entries.size(); ++i) {
        const AllocationEntry& a = r.list.entries[i];
        const AllocationEntry& b = again.list.entries[i];
        FUZZ_CHECK(a.capcode == b.capcode && a.customer == b.customer && a.order == b.order && a.label == b.label &&
                   a.extra == b.extra);
    }
    return 0;
}
