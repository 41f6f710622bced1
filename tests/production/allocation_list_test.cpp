#include "production/allocation_list.h"

#include <gtest/gtest.h>

using namespace px316t;

namespace {

std::vector<std::uint64_t> capcodesOf(const AllocationList& list)
{
    std::vector<std::uint64_t> out;
    for (const AllocationEntry& e : list.entries)
        out.push_back(e.capcode);
    return out;
}

} // namespace

TEST(AllocationList, ReadsWhatCarriersSend)
{
    // A byte-order mark, ';' found from the header, a comment, blank lines, CR LF,
    // quoted fields holding the separator, quotes and a line end, ranges in
    // order, a type letter, columns in any case and an extra column kept.
    const std::string csv = "\xEF\xBB\xBF# tray 17, from the carrier\r\n"
                            "Customer;CAPCODE;Order;Region\r\n"
                            "\r\n"
                            "\"Acme; Ltd\";1500000-1500002;PO-1;north\r\n"
                            "# a gap in the block\r\n"
                            "\"Say \"\"hi\"\"\";A1500007;\"PO\n2\";south\r\n"
                            "Zed;  2101249 ;;\r\n";
    const AllocationListResult r = parseAllocationList(csv, "tray.csv");
    ASSERT_TRUE(r.ok()) << r.errors.front();
    EXPECT_EQ(capcodesOf(r.list), (std::vector<std::uint64_t>{1500000, 1500001, 1500002, 1500007, 2101249}));
    EXPECT_EQ(r.list.entries[0].customer, "Acme; Ltd");
    EXPECT_EQ(r.list.entries[0].line, 4);
    EXPECT_EQ(r.list.entries[3].customer, "Say \"hi\"");
    EXPECT_EQ(r.list.entries[3].order, "PO\n2");
    EXPECT_EQ(r.list.entries[4].line, 8);   // the quoted line end counts
    EXPECT_EQ(r.list.extraColumns, std::vector<std::string>{"Region"});
    EXPECT_EQ(r.list.entries[1].extra, std::vector<std::string>{"north"});

    const AllocationListResult tabs = parseAllocationList("label\tcapcode\nbox 1\t7\n", "t.csv");
    ASSERT_TRUE(tabs.ok());
    EXPECT_EQ(tabs.list.entries[0].label, "box 1");
    EXPECT_EQ(capcodesOf(tabs.list), std::vector<std::uint64_t>{7});
}

TEST(AllocationList, EveryBadLineIsNamedAndNothingIsKept)
{
    const struct {
        std::string_view body;  // lines after the header "capcode,customer"
        const char* expected;   // every error, joined by " | "
    } cases[] = {
        {"abc,x\n", "l.csv:2: \"abc\" is not a capcode"},
        {"12a4,x\n", "l.csv:2: \"12a4\" is not a capcode"},
        {"0,x\n", "l.csv:2: capcode 0 is out of range (1 to 2031614, or 2101249 to 4291000000)"},
        {"4291000001,x\n", "l.csv:2: capcode 4291000001 is out of range (1 to 2031614, or 2101249 to 4291000000)"},
        {"2050000,x\n", "l.csv:2: capcode 2050000 is out of range: 2031615 to 2101248 is no pager's capcode"},
        {"1500010-1500000,x\n", "l.csv:2: the range 1500010-1500000 runs backwards"},
        {"1500000,x\n1400000,y\n1499999-1500002,z\n",
         "l.csv:4: capcode 1500000 is listed twice (also on line 2)"},
        {"1-3,x\n2-5,y\n", "l.csv:3: capcode 2 is listed twice (also on line 2) with 1 more of this range"},
        {"B1500000,x\n", "l.csv:2: the type letter B is not one this pager takes (a short capcode is A)"},
        {"A2101249,x\n", "l.csv:2: the type letter A marks a short capcode, and 2101249 is long"},
        {"1930000-1933313,x\n", "l.csv:2: capcode 1933313 is one of the addresses FLEX keeps for itself "
                                "(1933313 to 2031614); --allow-special-addresses takes them"},
        {"2031000-2101300,x\n", "l.csv:2: the range 2031000-2101300 runs through 2031615 to 2101248, which is no "
                                "pager's capcode"},
        {"5,x,extra\n", "l.csv:2: more fields than the header line names (3 for 2)"},
        {",x\n", "l.csv:2: no capcode"},
        {"5,\"open\n6,y\n", "l.csv:2: a quote opened here is never closed"},
        {"5,\"a\"b\n", "l.csv:2: text after a closing quote"},
        {"5,\xC3\x28\n", "l.csv:2: not UTF-8 text"},
        {std::string_view("5,a\0b\n", 6), "l.csv:2: a NUL character in a field"},
        {"abc,x\n7,y\n0,z\n", "l.csv:2: \"abc\" is not a capcode | l.csv:4: capcode 0 is out of range (1 to 2031614, "
                              "or 2101249 to 4291000000)"},
        {"# nothing but a comment\n", "l.csv: the list holds no capcode"},
    };
    for (const auto& c : cases) {
        const AllocationListResult r = parseAllocationList("capcode,customer\n" + std::string(c.body), "l.csv");
        std::string joined;
        for (const std::string& e : r.errors)
            joined += (joined.empty() ? "" : " | ") + e;
        EXPECT_EQ(joined, c.expected) << c.body;
        EXPECT_TRUE(r.list.entries.empty()) << c.body;
    }
}

TEST(AllocationList, HeaderFaultsLimitsAndSpecialAddresses)
{
    EXPECT_EQ(parseAllocationList("customer,order\nx,y\n", "h.csv").errors,
              std::vector<std::string>{"h.csv:1: no column named capcode in the header line"});
    EXPECT_EQ(parseAllocationList("capcode,Capcode\n5,6\n", "h.csv").errors,
              std::vector<std::string>{"h.csv:1: the column capcode is named twice"});
    EXPECT_EQ(parseAllocationList("", "h.csv").errors,
              std::vector<std::string>{"h.csv:1: no header line (a list needs a column named capcode)"});

    AllocationListOptions small;
    small.maxCapcodes = 10;
    EXPECT_EQ(parseAllocationList("capcode\n1-8\n9-11\n", "big.csv", small).errors,
              std::vector<std::string>{"big.csv:3: the list would hold more than 10 capcodes"});

    AllocationListOptions special;
    special.allowSpecialAddresses = true;
    const AllocationListResult r = parseAllocationList("capcode\n2029568-2029570\n", "s.csv", special);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(capcodesOf(r.list), (std::vector<std::uint64_t>{2029568, 2029569, 2029570}));
}

TEST(AllocationList, DescribesCapcodesAsRuns)
{
    EXPECT_EQ(describeCapcodes({1500002, 1500000, 1500001, 1500007, 1500007}), "1500000-1500002, 1500007");
    EXPECT_EQ(describeCapcodes({1, 3, 5, 7}, 2), "1, 3, ... (4 in all)");
}
