// The program's Pager menu end to end: the main window with its real serial
// layer and clock, the board emulator program on a pseudo-terminal.
#include "support/form1_fixture.h"
#include "support/link_emulator_process.h"

#include "ui/capcode_list.h"
#include "ui/frequency_panel.h"
#include "ui/form2.h"

#include <QComboBox>

using namespace px316t;

namespace {

class PagerMenuEndToEnd : public px316t::testing::Form1Fixture {
protected:
    void SetUp() override
    {
        emulator = std::make_unique<px316t::testing::EmulatorProcess>(
            QStringLiteral(PX316T_BOARD_EMULATOR), dir.path(), QStringList{"--com", "2", "--fast"});
        ASSERT_TRUE(emulator->ready) << emulator->output.join('\n').toStdString();
        start(LinkKind::USB);
    }
    void TearDown() override { emulator.reset(); }

    std::unique_ptr<px316t::testing::EmulatorProcess> emulator;
};

} // namespace

TEST_F(PagerMenuEndToEnd, WriteThenReadThenVerifyAModifiedImage)
{
    ASSERT_EQ(form->linkState().BoardPort, 2);
    form->frequency().cboDft->setCurrentIndex(1);
    enter(form->capcodes().txtAddr[5], "1357");
    const PagerTable written = table();

    form->WriteOpt->setChecked(true);
    form->mnuEB_Click();
    ASSERT_EQ(messages.texts(), QStringList{"Verify Success!"});

    // Forget the image on screen, then read the pager back.
    form->ModifyOpt->setChecked(true);
    form->frequency().cboDft->setCurrentIndex(2);
    enter(form->capcodes().txtAddr[5], "2468");
    messages.clear();
    form->mnuEntire_Click();
    ASSERT_EQ(messages.texts(), QStringList{"Read success!"});
    EXPECT_EQ(table(), written);
    EXPECT_EQ(form->frequency().cboDft->currentText(), "400-499MHz");
    EXPECT_EQ(form->capcodes().txtAddr[5]->text(), "0001357");

    messages.clear();
    form->mnuEB1_Click();
    EXPECT_EQ(messages.texts(), QStringList{"Verify Success!"});
}
