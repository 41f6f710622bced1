// The catalogue's own description of its fields, from which the manual's field
// list is made.
#include "editor/field_catalog.h"
#include "editor/pager_document.h"
#include "table/builtin_tables.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace px316t {
namespace {

TEST(FieldCatalogDoc, GroupsCoverEveryNameOnceWithItsNumbers)
{
    const auto& entries = fieldCatalog().entries();
    const auto groups = fieldNameGroups(entries);
    std::map<std::string, int> named;
    for (const FieldNameGroup& g : groups) {
        if (g.numbers.empty()) {
            ++named[g.pattern];
            continue;
        }
        const auto at = g.pattern.find('N');
        ASSERT_NE(at, std::string::npos) << g.pattern;
        for (int n : g.numbers)
            ++named[g.pattern.substr(0, at) + std::to_string(n) + g.pattern.substr(at + 1)];
    }
    ASSERT_EQ(named.size(), entries.size());
    for (const FieldEntry& e : entries)
        EXPECT_EQ(named[e.name], 1) << e.name;

    std::map<std::string, std::pair<int, int>> spans;
    for (const FieldNameGroup& g : groups)
        if (!g.numbers.empty())
            spans[g.pattern] = {g.numbers.front(), g.numbers.back()};
    EXPECT_EQ(spans["capcode.N"], std::make_pair(1, 16));
    EXPECT_EQ(spans["capcode.N.type"], std::make_pair(2, 16));
    EXPECT_EQ(spans["pair.N.length"], std::make_pair(1, 8));
    EXPECT_EQ(spans["prompt.N"], std::make_pair(1, 28));
}

TEST(FieldCatalogDoc, EverySettableFieldSaysItsValuesAndTakesEveryListedChoice)
{
    for (const FieldEntry& e : fieldCatalog().entries()) {
        EXPECT_EQ(e.values.empty(), !e.set) << e.name << ": a shown-only field has no values, others do";
        // A plain list ("a, b, c"): each entry is a value set takes.
        if (!e.set || e.values.find(", ") == std::string::npos || e.values.find_first_of("():") != std::string::npos)
            continue;
        std::istringstream list(e.values);
        for (std::string item; std::getline(list, item, ',');) {
            item.erase(0, item.find_first_not_of(' '));
            PagerDocument s(makeDefaultPagerTable());
            EXPECT_NE(e.set(s, item).outcome, SetOutcome::BadValue) << e.name << "=" << item;
        }
    }
}

} // namespace
} // namespace px316t
