// The capcode rows driven as the operator drives them: focus, typing, leaving,
// choosing lengths; every case asserts the image bytes.
#include "support/form1_fixture.h"

#include "editor/capcode_codec.h"
#include "ui/capcode_list.h"
#include "ui/frequency_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QScrollBar>
#include <QToolTip>

using namespace px316t;
using px316t::testing::Form1Fixture;

namespace {

class CapcodeRows : public Form1Fixture {
protected:
    CapcodeList& list() { return form->capcodes(); }
    QLineEdit* field(int k) { return list().txtAddr[k]; }
    QCheckBox* enableBox(int k) { return form->arrays().chkCtl[10 + k]; }
    QCheckBox* priorityBox(int k) { return form->arrays().chkCtl[50 + k]; }
    QComboBox* typeBox(int k) { return form->arrays().cboCtl[7 + k]; }
    void setLong(int pair) { list().cboCapLen[pair]->setCurrentIndex(1); }
    void setShort(int pair) { list().cboCapLen[pair]->setCurrentIndex(0); }
    std::array<std::uint8_t, 3> slotBytes(int slot)
    {
        return {table()[0xB1 + 4 * slot], table()[0xB2 + 4 * slot], table()[0xB3 + 4 * slot]};
    }
    int visibleRows()
    {
        int n = 0;
        for (QLabel* l : list().Label1)
            n += l->isHidden() ? 0 : 1;
        return n;
    }
};

using Bytes3 = std::array<std::uint8_t, 3>;

} // namespace

TEST_F(CapcodeRows, ShortCapcodeTypedAndLeftIsStoredAndShown)
{
    enter(field(2), "1234");
    EXPECT_EQ(slotBytes(2), (Bytes3{0x00, 0x84, 0xD2}));   // 1234 + 32768 = 0x84D2
    EXPECT_EQ(field(2)->text(), "0001234");
    EXPECT_EQ(table()[0xB0 + 8], 0x82) << "the slot identifier is never written";
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(CapcodeRows, WorkedLongValues)
{
    setLong(0);
    enter(field(0), "4291000000");
    EXPECT_EQ(slotBytes(0), (Bytes3{0x5F, 0xE6, 0xC0}));
    EXPECT_EQ(slotBytes(1), (Bytes3{0x5E, 0x7F, 0x47}));
    EXPECT_EQ(field(0)->text(), "4291000000");

    enter(field(0), "3223326721");
    EXPECT_EQ(slotBytes(0), (Bytes3{0x5F, 0x80, 0x01}));
    EXPECT_EQ(slotBytes(1), (Bytes3{0x5E, 0x00, 0x01}));

    enter(field(0), "2101249");
    EXPECT_EQ(slotBytes(0), (Bytes3{0x40, 0x00, 0x01}));
    EXPECT_EQ(slotBytes(1), (Bytes3{0x5F, 0xFF, 0xFE}));
    EXPECT_EQ(field(0)->text(), "0002101249");
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(CapcodeRows, TheLastPrefixesOfALongNumberAreStoredShortOnTheWay)
{
    setLong(1);
    enableBox(2)->setChecked(true);
    typeInto(field(2), "21");
    EXPECT_EQ(slotBytes(2), (Bytes3{0x00, 0x80, 0x15})) << "21 stored as a short word while typing";
    EXPECT_FALSE(GetBits(table(), 0x73, 3, 1)) << "a short number in a Long pair disables its second slot";
    QTest::keyClicks(field(2), "01249");
    EXPECT_TRUE(GetBits(table(), 0x73, 3, 1)) << "the long number carries the enable bit over";
    leaveField();
    EXPECT_EQ(slotBytes(2), (Bytes3{0x40, 0x00, 0x01}));
}

TEST_F(CapcodeRows, ReservedGapPassesTheKeyCheckButIsRefusedOnLeaving)
{
    typeInto(field(0), "2031615");
    EXPECT_TRUE(messages.messages.empty()) << "2031615 is inside the offered range";
    EXPECT_TRUE(form->document().flags().CapcodeInvalid);
    leaveField();
    ASSERT_EQ(messages.texts(), QStringList{"Invalid Capcode!"});
    EXPECT_EQ(messages.messages[0].icon, MessageBoxes::Icon::None);
    EXPECT_TRUE(form->document().flags().EntryRejected);
    EXPECT_FALSE(form->document().flags().CapcodeInvalid);
    EXPECT_TRUE(field(0)->hasFocus());
    EXPECT_TRUE(field(0)->text().isEmpty()) << "the focus came back and emptied the field";
    // 2031614 was stored on the way (the prefixes); the gap value itself never is.
    EXPECT_NE(readCapcodeWord(table(), 0), 2031615u + 32768u);
    leaveField();   // leaving the empty field shows what the image holds
    EXPECT_EQ(field(0)->text().toStdString(), formatCapcode(readCapcodeWord(table(), 0) - 32768, 7));
}

TEST_F(CapcodeRows, FractionsAreStoredRounded)
{
    enter(field(3), "123.6");
    EXPECT_EQ(readCapcodeWord(table(), 3), 124u + 32768u);
    EXPECT_EQ(field(3)->text(), "0000124");
}

TEST_F(CapcodeRows, TextThatIsNotANumberIsRefusedAndTheImageShown)
{
    typeInto(field(4), "12a");
    EXPECT_EQ(messages.texts(), QStringList{"Please insert a numeric!"});
    // "1" and "12" were stored on the way; the refusal puts back the capcode the
    // field held when it was entered.
    EXPECT_EQ(readCapcodeWord(table(), 4), 1234567u + 32768u);
    EXPECT_EQ(field(4)->text(), "1234567") << "the field shows the stored capcode again";
    EXPECT_TRUE(field(4)->hasFocus());
    leaveField();
    EXPECT_EQ(field(4)->text(), "1234567");
}

TEST_F(CapcodeRows, ARefusalPutsBackTheCapcodeHeldWhenTheFieldWasEntered)
{
    // Every prefix typed on the way is stored; the refusal, at a key release or
    // on leaving, brings back the image of the moment the field was entered.
    struct Case { int k; bool longPair; const char* typed; const char* message; };
    const Case cases[] = {
        {1, false, "9999999", "Please insert a number between 1 to 2031615"},
        {3, false, "2031615", "Invalid Capcode!"},
        {4, true, "4291000001", "Please insert a number between 1 to 4291000000"},
        {6, true, "30x", "Please insert a numeric!"},
    };
    for (const Case& c : cases) {
        if (c.longPair)
            setLong(c.k / 2);
        enableBox(c.k)->setChecked(true);
        form->arrays().chkCtl[11 + c.k]->setChecked(true);   // the second slot, which a short entry disables
        const PagerTable before = table();
        const QString shown = field(c.k)->text();
        messages.clear();
        typeInto(field(c.k), QString::fromLatin1(c.typed));
        leaveField();
        ASSERT_EQ(messages.texts(), QStringList{QString::fromLatin1(c.message)}) << c.typed;
        EXPECT_EQ(table(), before) << c.typed;
        leaveField();
        EXPECT_EQ(field(c.k)->text(), shown) << c.typed;
    }
}

TEST_F(CapcodeRows, EveryRefusedTextLeavesTheImageAndShowsIt)
{
    struct Case { const char* text; const char* message; };
    const Case cases[] = {
        {"-5", "Please insert a number between 1 to 2031615"},
        {"0", "Please insert a number between 1 to 2031615"},
        {"2031616", "Please insert a number between 1 to 2031615"},
        {"9999999999", "Please insert a number between 1 to 2031615"},
        {"1e7", "Please insert a number between 1 to 2031615"},
        {"abc", "Please insert a numeric!"},
        {"1,5", "Please insert a numeric!"},
        {"&H10", "Please insert a numeric!"},
        {"+-3", "Please insert a numeric!"},
        {"   ", "Please insert a numeric!"},
        {"1 2", "Please insert a numeric!"},
    };
    for (const Case& c : cases) {
        const auto before = table();
        messages.clear();
        field(5)->setFocus(Qt::MouseFocusReason);
        field(5)->insert(QString::fromLatin1(c.text));   // the whole text at once, as pasted
        leaveField();
        ASSERT_EQ(messages.texts(), QStringList{QString::fromLatin1(c.message)}) << c.text;
        EXPECT_EQ(table(), before) << c.text;
        leaveField();
        EXPECT_EQ(field(5)->text(), "1234567") << c.text;
    }
    setLong(3);
    messages.clear();
    field(6)->setFocus(Qt::MouseFocusReason);
    field(6)->insert("4291000001");
    leaveField();
    EXPECT_EQ(messages.texts(), QStringList{"Please insert a number between 1 to 4291000000"});
    leaveField();
    EXPECT_EQ(field(6)->text(), "0001234567");
}

TEST_F(CapcodeRows, PastedFractionRoundingToZeroIsRefused)
{
    const auto word = readCapcodeWord(table(), 2);
    field(2)->setFocus(Qt::MouseFocusReason);
    field(2)->insert("0.4");
    leaveField();
    EXPECT_EQ(messages.texts(), QStringList{"Please insert a number between 1 to 2031615"});
    EXPECT_TRUE(form->document().flags().EntryRejected) << "a refusal on leaving drops the next command";
    EXPECT_EQ(readCapcodeWord(table(), 2), word);
}

TEST_F(CapcodeRows, HiddenSecondSlotOfALongPairAddsNoFrame)
{
    setLong(0);
    enter(field(0), "3000000000");   // frame 0
    ASSERT_TRUE(GetBits(table(), 0x73, 1, 1)) << "the second slot is enabled with the first";
    EXPECT_EQ(form->frequency().lblFrame->text(), "0001");
}

TEST_F(CapcodeRows, PastedTextIsCheckedWhenTheFieldIsLeft)
{
    const auto word = readCapcodeWord(table(), 1);
    field(1)->setFocus(Qt::MouseFocusReason);
    field(1)->insert("9e99x");   // arrives without a key release, as a mouse paste does
    leaveField();
    EXPECT_EQ(messages.texts().value(0), "Please insert a numeric!");
    EXPECT_EQ(readCapcodeWord(table(), 1), word);
    leaveField();
    EXPECT_EQ(field(1)->text(), "1234567");
}

TEST_F(CapcodeRows, EnterCommitsTheField)
{
    typeInto(field(0), "77");
    QTest::keyClick(field(0), Qt::Key_Return);
    EXPECT_TRUE(form->picTabBack->hasFocus());
    EXPECT_EQ(field(0)->text(), "0000077");
}

TEST_F(CapcodeRows, SwitchingLongToShortResetsBothFields)
{
    setLong(2);
    enter(field(4), "3000000000");
    ASSERT_TRUE(hasLongWordFlag(table(), 4));
    setShort(2);
    EXPECT_EQ(field(4)->text(), "1234567");
    EXPECT_EQ(field(5)->text(), "1234567");
    EXPECT_EQ(readCapcodeWord(table(), 4), 0x135687u);
    EXPECT_EQ(readCapcodeWord(table(), 5), 0x135687u);
    EXPECT_FALSE(hasLongWordFlag(table(), 4));
    EXPECT_FALSE(hasLongWordFlag(table(), 5));
    EXPECT_FALSE(list().txtAddr[5]->isHidden());
}

TEST_F(CapcodeRows, ALongPairHoldingAShortNumberReadsBackShort)
{
    setLong(0);
    EXPECT_EQ(field(0)->text(), "0001234567");
    EXPECT_TRUE(list().txtAddr[1]->isHidden());
    EXPECT_FALSE(hasLongWordFlag(table(), 0)) << "choosing Long alone sets no flag";
    list().read_CapLen();
    EXPECT_EQ(list().cboCapLen[0]->currentIndex(), 0);
    EXPECT_FALSE(list().txtAddr[1]->isHidden());
}

TEST_F(CapcodeRows, AllLongAndOneLongLayouts)
{
    for (int pair = 0; pair < 8; ++pair) {
        setLong(pair);
        enter(field(2 * pair), QString::number(3000000000LL + pair));
    }
    EXPECT_EQ(visibleRows(), 8);
    for (int pair = 0; pair < 8; ++pair)
        EXPECT_EQ(list().Label1[2 * pair]->text(), QStringLiteral("cap #%1").arg(pair + 1, 2, 10, QLatin1Char('0')));
    EXPECT_EQ(GetBits(table(), 0x3D, 7, 1), 1);
    EXPECT_EQ(GetBits(table(), 0x3D, 4, 1), 0);
    EXPECT_TRUE(form->arrays().chkCtl[9]->isEnabled());
    EXPECT_TRUE(form->arrays().chkCtl[9]->isChecked());
    EXPECT_EQ(list().VScroll1->maximum(), 2);

    for (int pair = 1; pair < 8; ++pair)
        setShort(pair);
    EXPECT_EQ(visibleRows(), 15);
    EXPECT_EQ(list().Label1[2]->text(), "cap #02");
    EXPECT_EQ(list().Label1[15]->text(), "cap #15");
    EXPECT_EQ(GetBits(table(), 0x3D, 4, 1), 1) << "a mix turns manual write off";
    EXPECT_FALSE(form->arrays().chkCtl[9]->isEnabled());
    EXPECT_FALSE(form->arrays().chkCtl[9]->isChecked());
}

TEST_F(CapcodeRows, ScrollRangeAtDesignSize)
{
    EXPECT_EQ(list().VScroll1->maximum(), 3074);
    EXPECT_EQ(list().VScroll1->singleStep(), 154);
    EXPECT_EQ(list().VScroll1->pageStep(), 308);
    list().VScroll1->setValue(384);
    EXPECT_EQ(list().Picture2->y(), twipsToPixels(-384));
}

TEST_F(CapcodeRows, MirrorRulesOfALongPair)
{
    setLong(1);
    enter(field(2), "3000000000");
    enableBox(2)->setChecked(true);
    EXPECT_TRUE(GetBits(table(), 0x73, 2, 1));
    EXPECT_TRUE(GetBits(table(), 0x73, 3, 1)) << "enable carried to the second slot";
    enableBox(2)->setChecked(false);
    EXPECT_FALSE(GetBits(table(), 0x73, 2, 1));
    EXPECT_TRUE(GetBits(table(), 0x73, 3, 1)) << "unticking leaves the second slot enabled";

    priorityBox(2)->setChecked(true);
    EXPECT_EQ(GetBits(table(), 0x34, 2, 1), 0);
    EXPECT_EQ(GetBits(table(), 0x34, 3, 1), 0) << "priority mirrored, inverted";
    priorityBox(2)->setChecked(false);
    EXPECT_EQ(GetBits(table(), 0x34, 3, 1), 1);

    typeBox(2)->setCurrentIndex(0);
    EXPECT_EQ(GetBits(table(), 0x38, 2, 1), 0);
    EXPECT_EQ(GetBits(table(), 0x38, 3, 1), 0) << "type mirrored";

    list().chkMailAlert->setChecked(true);
    typeBox(2)->setCurrentIndex(1);
    list().cboMailAlert[2]->setCurrentIndex(2);
    EXPECT_EQ(table()[0x373 + 2], 16);
    EXPECT_EQ(table()[0x373 + 3], 16) << "alert length copied to the second slot";
}

TEST_F(CapcodeRows, MailAlertSwitchShowsAlertsOfMailDropRows)
{
    list().chkMailAlert->setChecked(true);
    EXPECT_EQ(GetBits(table(), 0x3B, 6, 1), 1);
    EXPECT_FALSE(list().cboMailAlert[1]->isHidden());     // capcode 2 is Mail drop
    EXPECT_TRUE(list().cboMailAlert[0]->isHidden());      // row 1 never shows its own
    typeBox(1)->setCurrentIndex(0);
    EXPECT_TRUE(list().cboMailAlert[1]->isHidden());
    list().cboMailAlert[4]->setCurrentIndex(1);
    EXPECT_EQ(table()[0x373 + 4], 1);
    list().chkMailAlert->setChecked(false);
    EXPECT_EQ(GetBits(table(), 0x3B, 6, 1), 0);
    for (int k = 1; k < 16; ++k)
        EXPECT_TRUE(list().cboMailAlert[k]->isHidden());
}

TEST_F(CapcodeRows, FrameMaskFollowsTheEnabledCapcodes)
{
    EXPECT_EQ(form->frequency().lblFrame->text(), "0100");
    for (int j = 0; j < 8; ++j) {
        EXPECT_EQ(table()[0x92 + 4 * j], 0x01);
        EXPECT_EQ(table()[0x93 + 4 * j], 0x00);
    }
    enter(field(0), "16");
    EXPECT_EQ(form->frequency().lblFrame->text(), "0002");
    enter(field(1), "240");
    enableBox(1)->setChecked(true);
    EXPECT_EQ(form->frequency().lblFrame->text(), "8002");
    EXPECT_EQ(table()[0xAE], 0x80);
    EXPECT_EQ(table()[0xAF], 0x02);
    enableBox(1)->setChecked(false);
    EXPECT_EQ(form->frequency().lblFrame->text(), "0002") << "rebuilt from nothing";
}

TEST_F(CapcodeRows, UnsupportedSlotsAreClearedAndGreyedOut)
{
    table()[0x72] = 0xFF;
    PutBits(table(), 0x3E, 4, 7, 4);   // LastCapcode = 7
    form->init_ctl();
    EXPECT_EQ(table()[0x72], 0x00);
    for (int k = 8; k < 16; ++k) {
        EXPECT_FALSE(enableBox(k)->isEnabled());
        EXPECT_FALSE(enableBox(k)->isChecked());
        EXPECT_FALSE(field(k)->isEnabled());
        EXPECT_FALSE(list().Label1[k]->isEnabled());
    }
    EXPECT_TRUE(field(7)->isEnabled());

    form->WriteOpt->setChecked(true);
    EXPECT_FALSE(field(0)->isEnabled());
    EXPECT_FALSE(enableBox(0)->isEnabled());
    EXPECT_FALSE(form->frequency().cboDft->isEnabled());
    EXPECT_TRUE(list().VScroll1->isEnabled()) << "the list can still be scrolled";
    form->ModifyOpt->setChecked(true);
    EXPECT_TRUE(field(0)->isEnabled());
    EXPECT_TRUE(field(7)->isEnabled());
    EXPECT_FALSE(field(8)->isEnabled()) << "rows beyond the last usable slot stay greyed";
}

TEST_F(CapcodeRows, UndecodableLongPairShowsZeroWithoutCrashing)
{
    storeCapcodeWord(table(), 0, 0x00F000, true);   // fits none of the long forms
    storeCapcodeWord(table(), 1, 0x000005, true);
    form->init_ctl();
    list().read_CapLen();
    EXPECT_EQ(field(0)->text(), "0000000000");
    EXPECT_EQ(readCapcodeWord(table(), 0), 0x00F000u) << "a refresh never rewrites a capcode";
}

TEST_F(CapcodeRows, MouseClicksOnTheRowsAndTheModeButtons)
{
    QTest::mouseClick(enableBox(2), Qt::LeftButton);
    EXPECT_TRUE(GetBits(table(), 0x73, 2, 1));
    QTest::mouseClick(priorityBox(2), Qt::LeftButton);
    EXPECT_EQ(GetBits(table(), 0x34, 2, 1), 0);
    QTest::mouseClick(form->WriteOpt, Qt::LeftButton);
    EXPECT_TRUE(form->WriteOpt->isChecked());
    EXPECT_FALSE(enableBox(2)->isEnabled());
    QTest::mouseClick(enableBox(2), Qt::LeftButton);   // locked: nothing changes
    EXPECT_TRUE(GetBits(table(), 0x73, 2, 1));
    QTest::mouseClick(form->ModifyOpt, Qt::LeftButton);
    EXPECT_TRUE(enableBox(2)->isEnabled());
}

// An enabled row's tool tip gives its FLEX place; an address FLEX keeps for
// itself is stored and said once at its field, never in a message box.
TEST_F(CapcodeRows, ToolTipsGiveTheFlexPlaceAndAReservedAddressIsSaidAtItsField)
{
    // 1000100 div 16 = 62506, mod 128 = 42, div 4 mod 4 = 1; 2029570: frame 0, phase 0.
    const struct {
        int k;
        QString typed;
        bool enabled;
        QString place;
        bool warns;
    } rows[] = {{0, "1000100", true, "A1000100 frame 42 phase 1", false}, {1, "1000100", false, "", false},
                {2, "2029570", true, "A2029570 frame 0 phase 0", true}, {3, "2029570", false, "", true}};
    for (const auto& r : rows) {
        enableBox(r.k)->setChecked(r.enabled);
        enter(field(r.k), r.typed);
        const QString tip = field(r.k)->toolTip();
        EXPECT_TRUE(tip.left(r.place.size()) == r.place && tip.contains(" phase ") == r.enabled) << r.k << ": " << tip.toStdString();
        EXPECT_EQ(tip.contains("may never ring"), r.warns) << tip.toStdString();
        EXPECT_EQ(QToolTip::isVisible() && QToolTip::text().contains(r.typed), r.warns) << r.k;
        QToolTip::hideText();
    }
    EXPECT_TRUE(messages.messages.empty());
    enter(field(2), "");   // passing through without a change says nothing more
    EXPECT_FALSE(QToolTip::isVisible());
}
