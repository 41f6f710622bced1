// Fields set by name as a script sets them: each assignment either stores what
// the field then shows, and what the image keeps once opened again, or the
// whole set is refused.
#include "editor/field_assignments.h"

#include "editor/pager_document.h"
#include "table/builtin_tables.h"
#include "table/memory_map.h"

#include <gtest/gtest.h>

namespace px316t {
namespace {

TEST(FieldAssignments, WhatTheImageCannotKeepIsRefused)
{
    struct Case {
        std::vector<FieldAssignment> set;
        void (*prepare)(PagerTable&);
        AssignmentFailure failure;
        std::size_t index;
        const char* says;
    } cases[] = {
        // A pair is long in the image only with a long capcode in its first row.
        {{{"pair.2.length", "Long"}}, nullptr, AssignmentFailure::NotKept, 0, "2101249 or more in capcode.3"},
        {{{"pair.2.length", "Long"}, {"capcode.3", "5"}}, nullptr, AssignmentFailure::NotKept, 0, "pair.2.length"},
        {{{"pair.2.length", "Long"}, {"capcode.3", "3000000000"}}, nullptr, AssignmentFailure::None, 0, ""},
        // Manual write follows the capcode layout.
        {{{"manual_write_enable", "off"}}, nullptr, AssignmentFailure::NotKept, 0, "capcode layout"},
        {{{"manual_write_enable", "ON"}}, nullptr, AssignmentFailure::None, 0, ""},
        // Rows past the last capcode the pager supports stay off.
        {{{"capcode.8.enable", "on"}, {"capcode.10.enable", "on"}},
         [](PagerTable& t) { map::write(t, map::LastCapcodeSlot, 7); }, AssignmentFailure::NotKept, 1,
         "capcode.10 is past the last capcode this pager supports (capcode.8)"},
        // An image whose band is none of the three is checked against the band shown.
        {{{"frequency", "12"}}, [](PagerTable& t) { t[0xF1] = 0x30; }, AssignmentFailure::Refused, 0,
         "Frequency setting error(9280000 < = Frequency < =9320000 )"},
        {{{"read_time_out", "20 sec"}, {"capcode.2", "12x"}}, nullptr, AssignmentFailure::Refused, 1,
         "Please insert a numeric!"},
        {{{"capcode.2", "7"}, {"frame_mask", "0000"}}, nullptr, AssignmentFailure::ShownOnly, 1, ""},
        {{{"no_such_field", "1"}}, nullptr, AssignmentFailure::UnknownField, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.set.front().name + "=" + c.set.front().value);
        PagerTable image = startupPagerTable();
        if (c.prepare)
            c.prepare(image);
        PagerDocument document(image);
        const AssignmentsResult r = applyAssignments(document, c.set);
        EXPECT_EQ(r.failure, c.failure) << r.message;
        EXPECT_EQ(r.index, c.index);
        EXPECT_NE(r.message.find(c.says), std::string::npos) << r.message;
        if (!r.ok())
            continue;
        // What is stored is what a fresh look at the image shows.
        const PagerDocument reopened(document.image());
        for (const FieldAssignment& a : c.set)
            EXPECT_EQ(reopened.show(a.name), document.show(a.name)) << a.name;
    }
}

TEST(FieldAssignments, AValueShownAlreadyStoresNothing)
{
    // A prompt's own value rewrote its attribute byte and leading-space code.
    PagerTable image = startupPagerTable();
    image[0x204] = 0x00;
    const PagerDocument opened(image);
    PagerDocument document(opened);
    const AssignmentsResult r =
        applyAssignments(document, {{"prompt.logo", opened.show("prompt.logo")}, {"prompt.13", opened.show("prompt.13")}});
    EXPECT_TRUE(r.ok()) << r.message;
    EXPECT_FALSE(r.changed);
    EXPECT_EQ(document.image(), opened.image());
}

} // namespace
} // namespace px316t
