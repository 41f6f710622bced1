// Scaling of the main window from the tag geometry, the tab pages, the background
// and its mouse rule.
#include "support/form1_fixture.h"

#include "ui/capcode_list.h"
#include "ui/option_controls.h"
#include "ui/ct_eb_slider.h"
#include "ui/form_resize.h"
#include "ui/hand_cursor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QScrollBar>
#include <QPushButton>
#include <QRandomGenerator>

#include <map>

using namespace px316t;
using px316t::testing::Form1Fixture;

namespace {

struct ControlState {
    QRect geometry;
    double points;
    bool hidden;
    bool operator==(const ControlState&) const = default;
};

class Scaling : public Form1Fixture {
protected:
    QWidget* client() { return form->centralWidget(); }

    // Resizes the window so that its inner area gets `size` pixels.
    void resizeClient(QSize size)
    {
        form->resize(form->size() + (size - client()->size()));
        QCoreApplication::processEvents();
        ASSERT_EQ(client()->size(), size) << form->size().width() << "x" << form->size().height() << " min "
                                          << form->minimumSize().width() << "x" << form->minimumSize().height();
    }

    std::vector<QWidget*> widgets()
    {
        std::vector<QWidget*> out;
        for (QObject* c : form->controls().all())
            if (auto* w = qobject_cast<QWidget*>(c))
                out.push_back(w);
        return out;
    }

    std::map<QWidget*, ControlState> snapshot()
    {
        std::map<QWidget*, ControlState> states;
        for (QWidget* w : widgets())
            states[w] = {w->geometry(), w->font().pointSizeF(), w->isHidden()};
        return states;
    }

    QSize designClient() { return twipsToPixels(QRect(0, 0, 9510, 6675)).size(); }

    // The controls whose place, size, font or visibility differ from `before`.
    QStringList changedSince(const std::map<QWidget*, ControlState>& before)
    {
        QStringList changed;
        for (const auto& [w, state] : snapshot()) {
            const ControlState& old = before.at(w);
            if (!(state == old))
                changed << QStringLiteral("%1 (%2,%3 %4x%5 -> %6,%7 %8x%9)")
                               .arg(w->objectName()).arg(old.geometry.x()).arg(old.geometry.y())
                               .arg(old.geometry.width()).arg(old.geometry.height()).arg(state.geometry.x())
                               .arg(state.geometry.y()).arg(state.geometry.width()).arg(state.geometry.height());
        }
        return changed;
    }
};

} // namespace

TEST(TagGeometry, NumbersUpToTheFirstMissingHash)
{
    const TagGeometry full = tagGeometry("&H73,0,1,chk,#132#120#1836#204#8.25#");
    EXPECT_EQ(full.left, 132);
    EXPECT_EQ(full.height, 204);
    EXPECT_EQ(full.fontSize, 8.25);
    const TagGeometry noFont = tagGeometry(",#10#20#30#40#");
    EXPECT_EQ(noFont.height, 40);
    EXPECT_EQ(noFont.fontSize, 0);
    const TagGeometry cut = tagGeometry(",#10#20#30");
    EXPECT_EQ(cut.top, 20);
    EXPECT_EQ(cut.width, 0) << "its closing # is missing";
    EXPECT_EQ(tagGeometry("&H73,0,1,chk").left, 0);
    EXPECT_EQ(tagGeometry(",#x#5#").left, 0);
    EXPECT_EQ(tagGeometry(",#x#5#").top, 5);
}

TEST_F(Scaling, DoubleSizeDoublesEveryPlaceSizeAndFont)
{
    const auto before = snapshot();
    resizeClient(designClient() * 2);
    int combos = 0;
    for (QWidget* w : widgets()) {
        const TagGeometry design = tagGeometry(controlTag(w));
        const QRect twips = currentTwips(w);
        const std::string name = w->objectName().toStdString();
        EXPECT_EQ(twips.left(), 2 * design.left) << name;
        EXPECT_EQ(twips.width(), 2 * design.width) << name;
        // The box behind a capcode field stays 50 twips above the field at any scale.
        if (w->objectName() != "Text1") {
            EXPECT_EQ(twips.top(), 2 * design.top) << name;
        }
        if (design.fontSize > 0) {
            EXPECT_EQ(w->font().pointSizeF(), 2 * design.fontSize) << name;
        }
        if (auto* combo = qobject_cast<QComboBox*>(w)) {
            ++combos;
            EXPECT_EQ(w->height(), combo->sizeHint().height()) << "a combo box is as high as its font";
            EXPECT_GT(w->height(), before.at(w).geometry.height()) << name;
        } else {
            EXPECT_EQ(twips.height(), 2 * design.height) << name;
            EXPECT_NEAR(w->geometry().x(), 2 * before.at(w).geometry.x(), 1) << name;
            EXPECT_NEAR(w->height(), 2 * before.at(w).geometry.height(), 2) << name;
        }
    }
    EXPECT_GT(combos, 30);
    // The capcode list was laid out again at the new pitch.
    const CapcodeList& list = form->capcodes();
    EXPECT_EQ(currentTwips(list.Label1[15]).top() - currentTwips(list.Label1[14]).top(), 2 * 384);
    EXPECT_EQ(list.VScroll1->maximum(), 2 * 16 * 384 - 2 * 3060 - 10);
    for (int k = 0; k < CapcodeList::Rows; ++k)
        EXPECT_EQ(currentTwips(list.Text1[k]).top(), currentTwips(list.txtAddr[k]).top() - 50) << k;
}

TEST_F(Scaling, WidthAloneKeepsHeightsAndFonts)
{
    const auto before = snapshot();
    resizeClient(QSize(designClient().width() * 2, designClient().height()));
    for (QWidget* w : widgets()) {
        const std::string name = w->objectName().toStdString();
        EXPECT_EQ(w->geometry().y(), before.at(w).geometry.y()) << name;
        EXPECT_EQ(w->height(), before.at(w).geometry.height()) << name;
        EXPECT_EQ(w->font().pointSizeF(), before.at(w).points) << name;
        EXPECT_NEAR(w->geometry().x(), 2 * before.at(w).geometry.x(), 1) << name;
    }
}

TEST_F(Scaling, NothingAccumulatesOverManyResizes)
{
    // A scrolled list and a long pair, so that the capcode layout has work to do.
    form->capcodes().cboCapLen[1]->setCurrentIndex(1);
    form->capcodes().VScroll1->setValue(500);
    resizeClient(designClient());
    const auto before = snapshot();
    QRandomGenerator random(12);
    // The inner area itself: the window keeps a minimum size, a minimised one
    // may still report any size.
    for (int i = 0; i < 100; ++i) {
        client()->resize(QSize(random.bounded(1, 2000), random.bounded(1, 1500)));
        QCoreApplication::processEvents();
    }
    client()->resize(designClient());
    EXPECT_EQ(changedSince(before), QStringList());
    EXPECT_EQ(form->capcodes().Picture2->y(), twipsToPixels(-form->capcodes().VScroll1->value()))
        << "the list stands where its scroll bar says";
}

TEST_F(Scaling, ZeroSizeSkipsFontsAndTheNextResizeRestores)
{
    const auto before = snapshot();
    // The inner area itself, as a minimised window may report it.
    for (QSize tiny : {QSize(0, 0), QSize(1, 1), QSize(0, 400)}) {
        client()->resize(tiny);
        EXPECT_LE(currentTwips(form->picSet).width(), 15) << "the pages shrink with the window";
        for (QWidget* w : widgets())
            EXPECT_GT(w->font().pointSizeF(), 0) << w->objectName().toStdString();
        client()->resize(designClient());
        EXPECT_EQ(changedSince(before), QStringList()) << tiny.width() << "x" << tiny.height();
    }
}

TEST_F(Scaling, ADamagedTagMovesItsControlToZeroAndLosesNothing)
{
    QWidget* victim = form->capcodes().chkMailAlert;
    const QString tag = controlTag(victim);
    setControlTag(victim, tag.left(tag.indexOf('#') + 1) + "240#60#");   // width, height, font missing
    const bool hidden = victim->isHidden();
    const auto before = snapshot();
    resizeClient(designClient() * 2);
    EXPECT_EQ(currentTwips(victim), QRect(480, 120, 0, 0));
    EXPECT_EQ(victim->isHidden(), hidden);
    setControlTag(victim, tag);
    resizeClient(designClient());
    EXPECT_EQ(changedSince(before), QStringList());
}

TEST_F(Scaling, TheFocusedFieldStaysFocusedAndUncommittedThroughAResize)
{
    QLineEdit* field = form->capcodes().txtAddr[0];
    typeInto(field, "2031615");   // in the reserved gap: leaving the field would refuse it
    messages.clear();
    resizeClient(designClient() * 3 / 2);
    EXPECT_TRUE(field->hasFocus());
    EXPECT_EQ(field->text(), "2031615");
    EXPECT_TRUE(messages.texts().isEmpty());
}

TEST_F(Scaling, ContrastSliderWorksAtAnyScale)
{
    resizeClient(designClient() * 2);
    form->EMoptStatus->click();
    ctlEBSlider* slider = form->options().Slider1;
    EXPECT_EQ(slider->thumbRect().width(), 150) << "the thumb keeps its length";
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() - 1, slider->height() / 2));
    EXPECT_EQ(table()[0x369], 8);
    EXPECT_EQ(slider->thumbRect().left() + 150, slider->trackWidth());
}

// ---- tab pages and background --------------------------------------------------

TEST_F(Form1Fixture, TabsHideTheirButtonAndBringTheirPageForward)
{
    struct Tab { QPushButton* button; QWidget* page; };
    const Tab tabs[] = {{form->EMoptStatus, form->picSet2}, {form->EMoptPrompts, form->picSet5},
                        {form->EMoptCode, form->picSet}};
    for (const Tab& tab : tabs) {
        form->picTabBack->lower();   // whatever the order was, the switch restores it
        QTest::mouseClick(tab.button, Qt::LeftButton);
        for (const Tab& other : tabs)
            EXPECT_EQ(other.button->isHidden(), other.button == tab.button) << other.button->objectName().toStdString();
        EXPECT_EQ(form->picTabBack->parentWidget()->children().last(), form->picTabBack);
        const auto pages = form->picTabBack->children();
        for (const Tab& other : tabs)
            if (other.page != tab.page) {
                EXPECT_GT(pages.indexOf(tab.page), pages.indexOf(other.page));
            }
        EXPECT_TRUE(tab.page->hasFocus());
        EXPECT_EQ(tab.button->cursor().hotSpot(), QPoint(12, 1));
        EXPECT_EQ(tab.button->cursor().pixmap().size(), QSize(32, 32));
    }
}

TEST_F(Form1Fixture, MovingOverTheBackgroundReportsABadCapcodeAtOnce)
{
    QLineEdit* field = form->capcodes().txtAddr[0];
    typeInto(field, "2031615");
    ASSERT_TRUE(messages.texts().isEmpty());
    // Above the tabs nothing covers the background.
    QTest::mouseMove(form->picTabBack, twipsToPixels(QRect(100, 30, 15, 15)).topLeft());
    EXPECT_EQ(messages.texts(), QStringList{"Invalid Capcode!"});
    EXPECT_TRUE(form->document().flags().EntryRejected);
}

TEST_F(Scaling, TextureCoversTheWholeBackgroundAtAnySize)
{
    resizeClient(QSize(1268, 928));
    const QImage back = form->picTabBack->grab().toImage();
    const QList<int> greys = {197, 205, 213, 222};
    for (QPoint corner : {QPoint(back.width() - 1, back.height() - 1), QPoint(back.width() - 1, 1)}) {
        const QColor c = back.pixelColor(corner);
        EXPECT_TRUE(c.red() == c.green() && c.green() == c.blue() && greys.contains(c.red()))
            << corner.x() << "," << corner.y() << " " << c.name().toStdString();
    }
}

TEST_F(Scaling, TheWindowDoesNotShrinkBelowItsDesignSize)
{
    const auto before = snapshot();
    form->resize(200, 150);
    QCoreApplication::processEvents();
    EXPECT_EQ(client()->size(), designClient()) << "smaller, the controls would run into each other";
    EXPECT_EQ(changedSince(before), QStringList());
}
