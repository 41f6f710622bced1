// The band selector, the frequency field and the synthesizer panel.
#include "support/form1_fixture.h"

#include "ui/frequency_panel.h"
#include "table/builtin_tables.h"

#include <QComboBox>
#include <QLabel>

using namespace px316t;
using px316t::testing::Form1Fixture;

namespace {

class Frequency : public Form1Fixture {
protected:
    FrequencyPanel& panel() { return form->frequency(); }
    std::uint32_t storedFrequency() { return readBigEndian32(table(), 0xF4); }
    bool synthesizerIs(BandPresetId id)
    {
        const auto& p = bandPreset(id);
        return std::equal(p.synthesizer.begin(), p.synthesizer.end(), table().begin())
            && std::equal(p.frequencies.begin(), p.frequencies.begin() + 4, table().begin() + 0xF0);
    }
    void enterFrequency(const QString& text) { enter(panel().txtFreq, text); }
};

} // namespace

TEST_F(Frequency, ChoosingABandLoadsItsPresetAndShowsIt)
{
    panel().cboDft->setCurrentIndex(1);
    EXPECT_TRUE(synthesizerIs(BandPresetId::C));
    EXPECT_EQ(panel().txtFreq->text(), "4540000");
    EXPECT_EQ(panel().lblPLLN->text(), "10BE0");
    EXPECT_EQ(panel().lblPLLR->text(), "1801");
    EXPECT_EQ(panel().lblINCD->text(), "4");
    EXPECT_EQ(panel().lblCHANNEL->text(), "25KHz");
    EXPECT_EQ(panel().lblBfreq->text(), "4500000");
}

TEST_F(Frequency, BandLimitsAreInclusive)
{
    panel().cboDft->setCurrentIndex(1);
    for (const char* accepted : {"4000000", "4990000"}) {
        enterFrequency(accepted);
        EXPECT_TRUE(messages.messages.empty()) << accepted;
        EXPECT_EQ(storedFrequency(), QString(accepted).toUInt());
        EXPECT_TRUE(synthesizerIs(BandPresetId::C));
    }
    for (const char* refused : {"3999999", "4990001"}) {
        messages.clear();
        const auto before = table();
        enterFrequency(refused);
        ASSERT_EQ(messages.messages.size(), 1u) << refused;
        EXPECT_EQ(messages.messages[0].text, "Frequency setting error(4000000 < = Frequency < =4990000 )");
        EXPECT_EQ(messages.messages[0].icon, MessageBoxes::Icon::Warning);
        EXPECT_TRUE(form->document().flags().EntryRejected);
        EXPECT_TRUE(panel().txtFreq->hasFocus());
        EXPECT_EQ(table(), before) << "nothing stored";
        form->document().flags().EntryRejected = false;
    }
}

TEST_F(Frequency, TopBandRaster)
{
    enterFrequency("9310125");
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(storedFrequency(), 9310125u);
    for (const char* offRaster : {"9310000", "9320000"}) {
        messages.clear();
        enterFrequency(offRaster);
        ASSERT_EQ(messages.texts(), QStringList{"Channel Spacing Error!"}) << offRaster;
        EXPECT_EQ(messages.messages[0].icon, MessageBoxes::Icon::Warning);
        EXPECT_EQ(storedFrequency(), 9310125u);
        form->document().flags().EntryRejected = false;
    }
}

TEST_F(Frequency, RasterPicksThePresetOfTheLowBands)
{
    panel().cboDft->setCurrentIndex(0);
    enterFrequency("1300000");
    EXPECT_TRUE(synthesizerIs(BandPresetId::A));
    enterFrequency("1530125");
    EXPECT_TRUE(synthesizerIs(BandPresetId::B));
    EXPECT_EQ(panel().lblPLLN->text(), "9084");
    enterFrequency("1530100");
    EXPECT_TRUE(synthesizerIs(BandPresetId::A));
    EXPECT_EQ(storedFrequency(), 1530100u);

    panel().cboDft->setCurrentIndex(1);
    enterFrequency("4500125");
    EXPECT_TRUE(synthesizerIs(BandPresetId::D));
    EXPECT_EQ(storedFrequency(), 4500125u) << "the preset's own frequency is not copied";
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(Frequency, TextThatIsNotANumberAndEmptyField)
{
    typeInto(panel().txtFreq, "93x");
    EXPECT_EQ(messages.texts(), QStringList{"Please insert a decimal numeric!"});
    EXPECT_EQ(panel().txtFreq->text(), "9310125");
    leaveField();

    form->document().flags().EntryRejected = true;
    panel().txtFreq->setFocus(Qt::MouseFocusReason);
    EXPECT_TRUE(panel().txtFreq->text().isEmpty());
    leaveField();
    EXPECT_FALSE(form->document().flags().EntryRejected) << "leaving an empty field clears the flag";
    EXPECT_EQ(panel().txtFreq->text(), "9310125");
    EXPECT_EQ(storedFrequency(), 9310125u);
}

TEST_F(Frequency, ZeroChannelSpacingRefusesEveryTopBandEntry)
{
    table()[0x0E] = 0;
    form->init_ctl();
    EXPECT_EQ(panel().lblCHANNEL->text(), "0KHz");
    enterFrequency("9300125");   // on the 25 kHz raster, but the spacing cannot be checked
    EXPECT_EQ(messages.texts(), QStringList{"Channel Spacing Error!"});
    EXPECT_EQ(storedFrequency(), 9310125u);
}

TEST_F(Frequency, FrequenciesBeyondTheSignedRangeAreShownAsStored)
{
    writeBigEndian32(table(), 0xF0, 0xFFFFFFF0u);
    writeBigEndian32(table(), 0xF4, 0x80000000u);
    form->init_ctl();
    EXPECT_EQ(panel().lblBfreq->text(), "4294967280");
    EXPECT_EQ(panel().txtFreq->text(), "2147483648");
    EXPECT_EQ(baseFrequencyHz(form->document().image()), 429496728000LL);
    enterFrequency("9310125");   // cannot lie on a raster from that base
    EXPECT_EQ(messages.texts(), QStringList{"Channel Spacing Error!"});
}
