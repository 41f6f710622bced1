// The refresh from the image and the generic write-back of bound controls.
#include "support/form1_fixture.h"

#include "ui/capcode_list.h"
#include "ui/option_controls.h"
#include "table/field_tag.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include "ui/ct_eb_slider.h"

using namespace px316t;
using px316t::testing::Form1Fixture;

namespace {
class Binding : public Form1Fixture {
protected:
    QCheckBox* chk(int i) { return form->arrays().chkCtl[i]; }
    QComboBox* cbo(int i) { return form->arrays().cboCtl[i]; }
    OptionControls& options() { return form->options(); }
};
} // namespace

TEST_F(Binding, SixtyEightControlsAreBound)
{
    int bound = 0;
    for (QObject* c : form->controls().all())
        bound += parseFieldTag(controlTag(c).toStdString()).has_value() ? 1 : 0;
    EXPECT_EQ(bound, 68);
}

TEST_F(Binding, DefaultImageShowsItsOptions)
{
    EXPECT_TRUE(chk(9)->isChecked()) << "Manual Write Enable: bit 4 of 0x3D is 0, kind chkN";
    EXPECT_FALSE(chk(0)->isChecked()) << "Display Source Enable: bit 7 of 0x39 is 0, kind chk";
    EXPECT_TRUE(chk(2)->isChecked());
    EXPECT_TRUE(chk(28)->isChecked());
    EXPECT_EQ(cbo(3)->currentText(), "World Wild Music ");
    EXPECT_EQ(cbo(4)->currentText(), "2 minutes");
    EXPECT_EQ(cbo(6)->currentText(), "mm-dd-yy");
    EXPECT_EQ(options().cboPersonAlert->currentText(), "8 second");
    EXPECT_EQ(options().cboSLC->currentText(), "disable");
    EXPECT_EQ(options().cboLng->currentText(), "English");
    EXPECT_EQ(options().cbologo->currentText(), "Large Font");
    EXPECT_EQ(options().Slider1->Value(), 4);
    EXPECT_EQ(options().lblValue->text(), "4");
    EXPECT_TRUE(chk(10)->isChecked());
    EXPECT_FALSE(chk(11)->isChecked());
    EXPECT_EQ(cbo(8)->currentText(), "Mail drop");
}

TEST_F(Binding, RefreshShowsTheImageWithoutRewritingIt)
{
    table()[0x369] = 9;
    PutBits(table(), 0x3C, 6, 3, 2);
    form->init_ctl();
    EXPECT_EQ(options().Slider1->Value(), 4);
    EXPECT_EQ(table()[0x369], 9) << "the refresh shows 4 but keeps the stored byte";
    EXPECT_EQ(options().lblContrast->palette().color(QPalette::WindowText), QColor(20, 20, 20));
    EXPECT_EQ(cbo(4)->currentText(), "60 minutes");
}

TEST_F(Binding, LogoFontValuesOutsideTheListLeaveTheSelection)
{
    PutBits(table(), 0x3F, 0, 2, 4);
    form->init_ctl();
    EXPECT_EQ(options().cbologo->currentText(), "Small Font");
    for (std::uint8_t v : {1, 3}) {
        PutBits(table(), 0x3F, 0, v, 4);
        form->init_ctl();
        EXPECT_EQ(options().cbologo->currentText(), "Small Font");
        EXPECT_EQ(GetBits(table(), 0x3F, 0, 4), v);
    }
}

TEST_F(Binding, LanguageSelectionOnlyShowsTheCode)
{
    // A loaded image with French code but its own prompts: the prompts stay.
    PutBits(table(), 0x3E, 0, 6, 4);
    table()[0x100 + 2] = 'Z';
    form->init_ctl();
    EXPECT_EQ(options().cboLng->currentText(), "French");
    EXPECT_EQ(table()[0x102], 'Z');
}

TEST_F(Binding, ChangesWriteTheirFields)
{
    chk(4)->setChecked(true);   // chkN: ticked writes 0
    EXPECT_EQ(GetBits(table(), 0x36, 3, 1), 0);
    chk(0)->setChecked(true);   // chk: ticked writes 1
    EXPECT_EQ(GetBits(table(), 0x39, 7, 1), 1);
    cbo(1)->setCurrentIndex(3);
    EXPECT_EQ(GetBits(table(), 0x39, 0, 2), 3);
    options().cboSLC->setCurrentIndex(3);
    EXPECT_EQ(table()[0x3C], 0x4A);
    options().cboSLC->setCurrentIndex(0);
    EXPECT_EQ(table()[0x3C], 0x42);
    options().cboPersonAlert->setCurrentIndex(4);
    EXPECT_EQ(table()[0x383], 0x20);
    cbo(0)->setCurrentIndex(1);
    EXPECT_FALSE(chk(8)->isHidden()) << "Direct shows Direct Show Lamp On";
    cbo(0)->setCurrentIndex(0);
    EXPECT_TRUE(chk(8)->isHidden());
}

TEST_F(Binding, WriteModeLocksEveryOptionAndHidesTheSlider)
{
    form->WriteOpt->setChecked(true);
    for (QObject* c : form->controls().all()) {
        const QString name = c->objectName();
        if (name.startsWith("chk") || name.startsWith("cbo") || name.startsWith("txt") || name.startsWith("opt")) {
            EXPECT_FALSE(qobject_cast<QWidget*>(c)->isEnabled()) << name.toStdString();
        }
    }
    EXPECT_TRUE(options().Slider1->isHidden());
    EXPECT_TRUE(form->ModifyOpt->isEnabled());
    form->ModifyOpt->setChecked(true);
    EXPECT_FALSE(options().Slider1->isHidden());
    EXPECT_TRUE(form->optAuto1->isEnabled());
    EXPECT_TRUE(chk(9)->isEnabled());
}
