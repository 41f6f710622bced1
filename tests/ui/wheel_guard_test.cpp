// The mouse wheel never changes a setting whose control does not have the focus;
// over the capcode list it scrolls the list.
#include "support/form1_fixture.h"

#include "ui/capcode_list.h"
#include "ui/frequency_panel.h"
#include "ui/wheel_guard.h"

#include <QComboBox>
#include <QScrollBar>
#include <QWheelEvent>

using namespace px316t;
using px316t::testing::Form1Fixture;

namespace {

void turnWheel(QWidget* widget, int notches)
{
    const QPointF inside(widget->width() / 2.0, widget->height() / 2.0);
    QWheelEvent wheel(inside, widget->mapToGlobal(inside), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &wheel);
}

} // namespace

TEST_F(Form1Fixture, WheelWithoutTheFocusChangesNoSetting)
{
    form->capcodes().cboCapLen[0]->setCurrentIndex(1);
    enter(form->capcodes().txtAddr[0], "3000000000");
    form->picTabBack->setFocus(Qt::MouseFocusReason);
    const PagerTable before = table();
    int guarded = 0;
    for (QWidget* w : form->findChildren<QWidget*>()) {
        if (!changesOnWheel(w) || !w->isEnabled())
            continue;
        ++guarded;
        for (int notches : {1, -1, -3})
            turnWheel(w, notches);
    }
    EXPECT_GT(guarded, 50);
    EXPECT_EQ(table(), before);
    EXPECT_EQ(form->capcodes().cboCapLen[0]->currentIndex(), 1);

    // With the focus the combo box takes the wheel as usual.
    QComboBox* band = form->frequency().cboDft;
    band->setFocus(Qt::MouseFocusReason);
    const int shown = band->currentIndex();
    turnWheel(band, shown == 0 ? -1 : 1);
    EXPECT_NE(band->currentIndex(), shown);
}

TEST_F(Form1Fixture, WheelOverTheCapcodeRowsScrollsTheList)
{
    CapcodeList& list = form->capcodes();
    ASSERT_GT(list.VScroll1->maximum(), 0);
    ASSERT_EQ(list.VScroll1->value(), 0);
    turnWheel(list.txtAddr[2], -1);
    const int afterOne = list.VScroll1->value();
    EXPECT_GT(afterOne, 0);
    turnWheel(list.cboCapLen[1], -1);   // a combo on a row scrolls too, and keeps its choice
    EXPECT_GT(list.VScroll1->value(), afterOne);
    EXPECT_EQ(list.cboCapLen[1]->currentIndex(), 0);
    for (int i = 0; i < 10; ++i)
        turnWheel(list.Picture2, 1);
    EXPECT_EQ(list.VScroll1->value(), 0);
}
