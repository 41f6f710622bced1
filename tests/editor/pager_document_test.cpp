// The pager document: the rules of arrival, the capcode, pair and frame rules,
// the entry being typed, the production run's image and the announcements.
#include "editor/pager_document.h"

#include "editor/capcode_codec.h"
#include "editor/frame_mask.h"
#include "editor/messages.h"
#include "table/builtin_tables.h"
#include "table/memory_map.h"

#include <gtest/gtest.h>

#include <vector>

namespace px316t {
namespace {

// A long capcode's words stored in slots k and k + 1 with the long-word flag,
// whatever pair they fall in.
void storeLongWords(PagerTable& t, int k, double capcode)
{
    const auto words = encodeLongCapcode(capcode);
    ASSERT_TRUE(words);
    storeCapcodeWord(t, k, words->first, true);
    storeCapcodeWord(t, k + 1, words->second, true);
}

std::uint16_t storedMask(const PagerTable& t) { return readFrameMask(t); }

TEST(PagerDocumentArrival, RebuildsWhatTheImageDerivesAndNothingElse)
{
    struct Case {
        const char* what;
        void (*damage)(PagerTable&);
        void (*expect)(const PagerTable&);
    } cases[] = {
        {"stale frame mask", [](PagerTable& t) { writeFrameMask(t, 0); },
         [](const PagerTable& t) { EXPECT_EQ(storedMask(t), 0x0100); }},
        {"stale long-pair mirror",
         [](PagerTable& t) {
             storeLongWords(t, 2, 3000000000.0);
             setCapcodeEnabled(t, 2, true);
             map::write(t, map::capcodeType(2), 1);
             map::write(t, map::capcodeType(3), 0);
             t[map::mailDropAlertLength(2)] = 16;
         },
         [](const PagerTable& t) {
             EXPECT_TRUE(capcodeEnabled(t, 3));
             EXPECT_EQ(map::read(t, map::capcodeType(3)), 1);
             EXPECT_EQ(t[map::mailDropAlertLength(3)], 16);
             EXPECT_EQ(map::read(t, map::ManualWriteEnable), 1) << "mixed pairs: manual write off";
         }},
        {"enabled rows past the last usable slot",
         [](PagerTable& t) {
             map::write(t, map::LastCapcodeSlot, 7);
             setCapcodeEnabled(t, 12, true);
         },
         [](const PagerTable& t) { EXPECT_FALSE(capcodeEnabled(t, 12)); }},
        // The slider shows 4 above 8 and 1 for 0: the pager gets what is shown.
        {"contrast above 8", [](PagerTable& t) { t[map::ScreenContrast] = 134; },
         [](const PagerTable& t) { EXPECT_EQ(t[map::ScreenContrast], 4); }},
        {"contrast 0", [](PagerTable& t) { t[map::ScreenContrast] = 0; },
         [](const PagerTable& t) { EXPECT_EQ(t[map::ScreenContrast], 1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PagerTable damaged = startupPagerTable();
        c.damage(damaged);
        const PagerDocument document(damaged);
        c.expect(document.image());
        EXPECT_EQ(storedMask(document.image()), document.frameMask());
        // Arriving again changes nothing.
        const PagerDocument again(document.image());
        EXPECT_EQ(again.image(), document.image());
    }
}

// A lone long-word flag on an odd slot: the row shows the long capcode of that
// slot and the next, and the slot it takes is skipped by the display and by the
// frame mask, wherever the mask is made.
TEST(PagerDocumentFrames, OneFrameMaskWhereverItIsMade)
{
    PagerTable t = startupPagerTable();
    storeLongWords(t, 1, 3000000000.0);   // frame 0; slot 2 is taken
    for (int k : {0, 1, 2})
        setCapcodeEnabled(t, k, true);
    PagerDocument document(t);
    EXPECT_EQ(document.shownCapcodeText(1), "3000000000");
    EXPECT_EQ(document.shownCapcodeText(2), "");
    EXPECT_EQ(document.frameMask(), 0x0101);
    EXPECT_EQ(storedMask(document.image()), 0x0101);
    EXPECT_EQ(storedMask(document.imageWithFirstCapcode(1234568)), 0x0101) << "1234568 stays in frame 8";
    ASSERT_EQ(document.set("capcode.2.enable", "off").outcome, SetOutcome::Changed);
    EXPECT_EQ(storedMask(document.image()), 0x0100) << "row 1, and row 4 enabled with its long first slot";
}

TEST(PagerDocumentCapcodes, ShownTextFollowsTheRowsForm)
{
    PagerTable t = startupPagerTable();
    PagerDocument document(t);
    document.storeCapcode(0, 1234);
    EXPECT_EQ(document.shownCapcodeText(0), "0001234");
    document.setPairLength(0, true);   // a short word under a "Long" selector
    EXPECT_EQ(document.shownCapcodeText(0), "0000001234");
    storeCapcodeWord(document.table(), 4, 100, false);   // below the 32768 offset
    EXPECT_EQ(document.shownCapcodeText(4), "-0032668");
    EXPECT_EQ(document.firstCapcode(), 1234u);
}

TEST(PagerDocumentCapcodes, PairLengthChangesKeepTheRowsAndFollowTheLayout)
{
    PagerDocument document;
    document.setPairLength(1, true);
    ASSERT_EQ(document.set("capcode.3", "3000000000").outcome, SetOutcome::Changed);
    EXPECT_TRUE(hasLongWordFlag(document.image(), 2));
    EXPECT_EQ(map::read(document.image(), map::ManualWriteEnable), 1);
    EXPECT_FALSE(document.manualWriteSelectable());
    // Back to short: a long number becomes 1234567 in both rows.
    document.setPairLength(1, false);
    EXPECT_EQ(document.shownCapcodeText(2), "1234567");
    EXPECT_EQ(document.shownCapcodeText(3), "1234567");
    EXPECT_FALSE(hasLongWordFlag(document.image(), 3));
    EXPECT_EQ(map::read(document.image(), map::ManualWriteEnable), 0);
    // The length a pair has already stores nothing.
    const PagerTable before = document.image();
    document.setPairLength(1, false);
    EXPECT_EQ(document.image(), before);
}

TEST(PagerDocumentEntry, TypedPrefixesAreStoredAndARefusalPutsBackWhatTheFieldHeld)
{
    PagerDocument document;
    const PagerTable start = document.image();
    document.enterCapcode(0);
    for (const char* prefix : {"2", "20", "203"})
        EXPECT_FALSE(document.typeCapcode(0, prefix));
    EXPECT_EQ(document.shownCapcodeText(0), "0000203");
    // 2031615 passes the key-release check but lies in the reserved gap:
    // nothing stored, refused on leaving.
    EXPECT_FALSE(document.typeCapcode(0, "2031615"));
    EXPECT_TRUE(document.flags().CapcodeInvalid);
    EXPECT_EQ(document.leaveCapcode(0, false), std::string(messages::InvalidCapcode));
    EXPECT_TRUE(document.flags().EntryRejected);
    EXPECT_EQ(document.image(), start);

    document.enterCapcode(0);
    EXPECT_FALSE(document.typeCapcode(0, "77"));
    EXPECT_EQ(document.typeCapcode(0, "77x"), std::string(messages::NotNumeric));
    EXPECT_EQ(document.image(), start);
    EXPECT_EQ(document.typeCapcode(0, "0"), messages::capcodeOutOfRange(2031615));
}

TEST(PagerDocumentRun, TheRunImageRaisesRowOneInItsFormWithItsFrame)
{
    PagerDocument document;
    document.storeCapcode(0, 15);   // frame 0
    document.refreshFrames();
    const PagerTable raised = document.imageWithFirstCapcode(16);
    const PagerDocument pager(raised);
    EXPECT_EQ(pager.firstCapcode(), 16u);
    EXPECT_EQ(storedMask(raised), 1u << 1);
    EXPECT_EQ(document.imageWithFirstCapcode(15), document.image()) << "its own capcode: the image itself";

    document.setPairLength(0, true);
    ASSERT_EQ(document.set("capcode.1", "3000000000").outcome, SetOutcome::Changed);
    const PagerTable longRaised = document.imageWithFirstCapcode(3000000001);
    EXPECT_EQ(PagerDocument(longRaised).shownCapcodeText(0), "3000000001");
    EXPECT_TRUE(hasLongWordFlag(longRaised, 1));
}

TEST(PagerDocumentListeners, EachChangeIsAnnouncedOnce)
{
    PagerDocument document;
    std::vector<DocumentChange> heard;
    const auto listening = document.listen([&](DocumentChange change) { heard.push_back(change); });
    document.arrive(makeDefaultPagerTable());
    document.setPairLength(2, true);
    document.set("capcode.2.enable", "on");
    document.set("band", "400-499MHz");
    document.set("band", "400-499MHz");   // the band shown already
    document.set("prompt_language", "French");
    document.showFirstCapcode(1234568);
    const std::vector<DocumentChange> expected = {DocumentChange::Image,  DocumentChange::PairLengths,
                                                  DocumentChange::Frames, DocumentChange::Image,
                                                  DocumentChange::Prompts, DocumentChange::Capcodes};
    EXPECT_EQ(heard, expected);

    // A view that goes stops listening with its subscription.
    int heardByGone = 0;
    {
        const auto gone = document.listen([&](DocumentChange) { ++heardByGone; });
        document.refreshFrames();
    }
    document.refreshFrames();
    EXPECT_EQ(heardByGone, 1);
}

} // namespace
} // namespace px316t
