// The main window after start-up: title, message line, default image, tags,
// menus, the About box, pages and the Space key.
#include "support/form1_fixture.h"

#include "ui/capcode_list.h"
#include "ui/frequency_panel.h"
#include "table/builtin_tables.h"
#include "ui/frm_about.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QImage>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>

#include <set>

using namespace px316t;
using px316t::testing::Form1Fixture;


TEST_F(Form1Fixture, UsbBuildTitleAndMessageLine)
{
    EXPECT_EQ(form->windowTitle(), "Quorvalent USB PX316T V5.02");
    EXPECT_FALSE(form->lblMsg->isHidden());
    EXPECT_EQ(form->lblMsg->text(), "Message:");
}

TEST_F(Form1Fixture, ParallelPortBuildTitleHidesTheMessageLine)
{
    start(LinkKind::LPT);
    EXPECT_EQ(form->windowTitle(), "Quorvalent PX316T V5.02");
    EXPECT_TRUE(form->lblMsg->isHidden());
}

TEST_F(Form1Fixture, DefaultImageIsTheBuiltInBlocksWithTheTopBandPreset)
{
    const PagerTable& t = table();
    const auto& preset = bandPreset(BandPresetId::E);
    for (int i = 0; i < 256; ++i) {
        std::uint8_t expected = DefaultConfigBlock()[i];
        if (i < 16)
            expected = preset.synthesizer[i];
        else if (i >= 0xF0 && i < 0xF8)
            expected = preset.frequencies[i - 0xF0];
        ASSERT_EQ(t[i], expected) << "byte " << i;
    }
    EXPECT_EQ(t[0x0D], 0x04);
    const auto& english = PromptSet(PromptLanguage::English);
    for (int i = 0; i < PromptBlockSize; ++i)
        ASSERT_EQ(t[0x100 + i], english[i]);
    for (int i = 0; i < TrailerBlockSize; ++i)
        ASSERT_EQ(t[0x344 + i], DefaultTrailerBlock()[i]);
    EXPECT_EQ(form->frequency().cboDft->currentText(), "928-932MHz");
    EXPECT_FALSE(form->document().flags().EntryRejected);
    EXPECT_FALSE(form->document().flags().CapcodeInvalid);
}

TEST_F(Form1Fixture, GeometrySuffixOnEveryTag)
{
    // A bound check box with a font: field tag, then left, top, width, height, font size.
    QCheckBox* enable = form->arrays().chkCtl[10];
    EXPECT_EQ(controlTag(enable), "&H73,0,1,chk,#2280#55#600#255#9#");
    // A control with a fractional font size keeps the fraction.
    EXPECT_EQ(controlTag(form->lblMsg), ",#276#6300#8940#255#8.25#");
    // A scroll bar has a position but no font.
    EXPECT_EQ(controlTag(form->capcodes().VScroll1), ",#8300#300#255#3060#");
    // Menu items have no position at all.
    EXPECT_EQ(controlTag(form->mnuLBFF), ",#");
    EXPECT_EQ(controlTag(form->mnudash), ",#");
    for (QObject* c : form->controls().all())
        EXPECT_TRUE(controlTag(c).contains(",#")) << c->objectName().toStdString();
}

TEST(GeometrySuffix, EveryPartOnlyWhereTheControlHasIt)
{
    EXPECT_EQ(geometrySuffix(QRect(0, 0, 100, 50), 8.25), ",#0#0#100#50#8.25#");
    EXPECT_EQ(geometrySuffix(QRect(132, 120, 1836, 204), 9.0), ",#132#120#1836#204#9#");
    EXPECT_EQ(geometrySuffix(QRect(10, 20, 30, 40), std::nullopt), ",#10#20#30#40#");
    EXPECT_EQ(geometrySuffix(std::nullopt, std::nullopt), ",#");
}

TEST_F(Form1Fixture, MenusWithCaptionsAndShortcuts)
{
    // A caption as it reads: its mnemonic marker is not part of it.
    auto caption = [](const QAction* action) { return QString(action->text()).remove(QLatin1Char('&')); };
    const auto menus = form->menuBar()->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(caption(menus[0]), "File");
    EXPECT_EQ(caption(menus[1]), "Pager");
    EXPECT_EQ(caption(menus[2]), "Help");

    const auto file = form->mnuFile->actions();
    ASSERT_EQ(file.size(), 5);
    EXPECT_EQ(caption(file[0]), "Open");
    EXPECT_EQ(file[0]->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(caption(file[1]), "Save");
    EXPECT_EQ(file[1]->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(caption(file[2]), "Production Record...");
    EXPECT_TRUE(file[3]->isSeparator());
    EXPECT_EQ(caption(file[4]), "Exit");
    EXPECT_EQ(file[4]->shortcut(), QKeySequence("Ctrl+E"));

    const auto pager = form->mnuPager->actions();
    ASSERT_EQ(pager.size(), 3);
    EXPECT_EQ(caption(pager[0]), "Read");
    EXPECT_EQ(pager[0]->shortcut(), QKeySequence(Qt::Key_F3));
    EXPECT_EQ(caption(pager[1]), "Write");
    EXPECT_EQ(pager[1]->shortcut(), QKeySequence(Qt::Key_F4));
    EXPECT_EQ(caption(pager[2]), "Verfy");
    EXPECT_EQ(pager[2]->shortcut(), QKeySequence(Qt::Key_F9));

    const auto help = form->mnuHelp->actions();
    ASSERT_EQ(help.size(), 1);
    EXPECT_EQ(caption(help[0]), "About");
    EXPECT_TRUE(help[0]->shortcut().isEmpty());
}

// Alt and a menu's letter open the menu, and a letter chooses an item in it,
// so that every command (the production record and the About box too) is
// reached without a mouse.
TEST_F(Form1Fixture, TheMenusOpenFromTheKeyboard)
{
    int recordShown = 0;
    form->onProductionRecordWindow = [&](QDialog&) { ++recordShown; };
    QTest::keyClick(form.get(), Qt::Key_F, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->mnuFile->isVisible(); }, 2000));
    QTest::keyClick(form->mnuFile, Qt::Key_P);
    EXPECT_TRUE(QTest::qWaitFor([&] { return recordShown == 1; }, 2000));
    EXPECT_FALSE(form->mnuFile->isVisible());

    // The About box is modal: it is closed from a timer once it is up.
    QString shown;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            shown = box->objectName();
            box->close();
        }
    });
    closer.start(20);
    QTest::keyClick(form.get(), Qt::Key_H, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->mnuHelp->isVisible(); }, 2000));
    QTest::keyClick(form->mnuHelp, Qt::Key_A);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !shown.isEmpty(); }, 2000));
    EXPECT_EQ(shown, "frmAbout");
}

// The mode buttons are Tab stops: the one that holds the focus shows it.
TEST_F(Form1Fixture, TheModeButtonsShowTheFocus)
{
    for (QRadioButton* mode : {form->ModifyOpt, form->WriteOpt}) {
        form->picTabBack->setFocus(Qt::MouseFocusReason);
        const QImage without = mode->grab().toImage();
        mode->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(mode->hasFocus());
        EXPECT_NE(mode->grab().toImage(), without) << mode->objectName().toStdString();
    }
}

TEST(AboutBox, TitleByLinkKindAndFixedTexts)
{
    EXPECT_EQ(aboutTitle(LinkKind::USB), "PX316T(USB) Pager Programmer");
    EXPECT_EQ(aboutTitle(LinkKind::LPT), "PX316T Pager Programmer");
    frmAbout about(LinkKind::USB);
    EXPECT_EQ(about.windowTitle(), "About ");
    EXPECT_EQ(about.lblTitle->text(), "PX316T(USB) Pager Programmer");
    EXPECT_EQ(about.lblVersion->text(), "Version 5.02(2010.02.25)");
    EXPECT_TRUE(about.cmdOK->isDefault());
}

TEST(AboutBox, EnterAndEscBothClose)
{
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        frmAbout about(LinkKind::USB);
        about.show();
        QApplication::setActiveWindow(&about);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
        QTest::keyClick(&about, key);
        EXPECT_FALSE(about.isVisible()) << key;
    }
}

TEST_F(Form1Fixture, StartsOnTheFirstPageInModifyMode)
{
    EXPECT_TRUE(form->EMoptCode->isHidden());
    EXPECT_FALSE(form->EMoptStatus->isHidden());
    EXPECT_TRUE(form->ModifyOpt->isChecked());
    EXPECT_EQ(form->picSet->geometry(), form->picSet2->geometry());
    EXPECT_EQ(designRect(form->picSet), QRect(276, 456, 8940, 5796));
    EXPECT_EQ(form->DesignScaleWidth(), 9510);
    EXPECT_EQ(form->DesignScaleHeight(), 6675);
    EXPECT_EQ(form->centralWidget()->size(), twipsToPixels(QRect(0, 0, 9510, 6675)).size());
}

TEST_F(Form1Fixture, TabButtonsSwitchPages)
{
    form->EMoptStatus->click();
    EXPECT_TRUE(form->EMoptStatus->isHidden());
    EXPECT_FALSE(form->EMoptCode->isHidden());
    EXPECT_FALSE(form->EMoptPrompts->isHidden());
    // The page in front is the last child of the background.
    const auto children = form->picTabBack->children();
    EXPECT_GT(children.indexOf(form->picSet2), children.indexOf(form->picSet));
    EXPECT_GT(children.indexOf(form->picSet2), children.indexOf(form->picSet5));
}

namespace {
// Whether the technician sees all of `w`: shown, and cut off by none of the
// widgets it lies in (the capcode list's viewport among them).
bool whollyOnScreen(QWidget* w, QWidget* client)
{
    if (!w->isVisible())
        return false;
    QRect r = w->rect();
    for (QWidget* p = w; p != client; p = p->parentWidget()) {
        r.translate(p->pos());
        if (!p->parentWidget()->rect().contains(r))
            return false;
    }
    return true;
}
} // namespace

TEST_F(Form1Fixture, PageKeysAndTabReachOnlyControlsOnScreen)
{
    auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    };
    QWidget* const pages[] = {form->picSet, form->picSet2, form->picSet5};
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    struct PageKey { Qt::Key key; Qt::KeyboardModifiers modifiers; int page; };
    const PageKey pageKeys[] = {
        {Qt::Key_Tab, ctrl, 1}, {Qt::Key_PageDown, ctrl, 2}, {Qt::Key_Tab, ctrl, 0},
        {Qt::Key_Backtab, ctrl | Qt::ShiftModifier, 2}, {Qt::Key_PageUp, ctrl, 1}, {Qt::Key_PageUp, ctrl, 0},
    };
    for (const PageKey& k : pageKeys) {
        press(k.key, k.modifiers);
        for (int p = 0; p < 3; ++p)
            EXPECT_EQ(pages[p]->isVisible(), p == k.page) << k.key << " page " << p;
        EXPECT_TRUE(pages[k.page]->hasFocus());
    }

    // From each page, Tab and Shift+Tab go round the window's controls.
    std::set<QWidget*> reached;
    for (int p = 0; p < 3; ++p) {
        for (const Qt::KeyboardModifiers direction : {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier)}) {
            for (int round = 0; round < 3; ++round)
                press(Qt::Key_PageDown, ctrl);
            ASSERT_TRUE(pages[p]->hasFocus());
            QWidget* first = nullptr;
            int steps = 0;
            for (; steps < 300; ++steps) {
                press(direction ? Qt::Key_Backtab : Qt::Key_Tab, direction);
                QWidget* now = QApplication::focusWidget();
                ASSERT_NE(now, nullptr);
                EXPECT_TRUE(whollyOnScreen(now, form->centralWidget()))
                    << now->objectName().toStdString() << " page " << p << " step " << steps;
                for (QWidget* other : pages)
                    EXPECT_TRUE(other == pages[p] || !other->isAncestorOf(now)) << "a control of a page behind";
                reached.insert(now);
                if (now == first)
                    break;
                if (!first)
                    first = now;
            }
            EXPECT_LT(steps, 300) << "the focus goes round";
        }
        press(Qt::Key_PageDown, ctrl);
    }
    // The list scrolled to the rows below its view, and only to rows that take entries.
    const CapcodeList& list = form->capcodes();
    for (int k = 0; k < CapcodeList::Rows; ++k)
        EXPECT_EQ(reached.count(list.txtAddr[k]), list.txtAddr[k]->isEnabled() ? 1u : 0u) << k;
    EXPECT_TRUE(list.txtAddr[15]->isEnabled()) << "rows below the list's view were reached";
    EXPECT_TRUE(messages.texts().isEmpty());

    // A page key commits the field being edited; a refused entry keeps its page in front.
    QLineEdit* field = list.txtAddr[0];
    field->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(field, "2031615");
    press(Qt::Key_Tab, ctrl);
    EXPECT_EQ(messages.texts(), QStringList{"Invalid Capcode!"});
    EXPECT_TRUE(field->hasFocus());
    EXPECT_TRUE(form->picSet->isVisible());
    EXPECT_FALSE(form->picSet2->isVisible());
}

TEST_F(Form1Fixture, SpaceInWriteModeRunsTheWriteCommand)
{
    std::vector<int> commands;
    form->onProgrammingWindow = [&](Form2&) { commands.push_back(form->commandState().PagerCommand); };
    QLineEdit* field = form->frequency().txtFreq;

    // Modify mode: the space goes to the focused field.
    typeInto(field, "93");
    QTest::keyClick(field, Qt::Key_Space);
    EXPECT_TRUE(commands.empty());
    EXPECT_EQ(field->text(), "93 ");
    form->picTabBack->setFocus(Qt::MouseFocusReason);
    messages.clear();

    form->WriteOpt->setChecked(true);
    QTest::keyClick(form->picTabBack, Qt::Key_Space);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0], PagerWrite);
}

TEST_F(Form1Fixture, ExitAndClosingEndTheProgramAtOnce)
{
    form->mnuExit->trigger();
    EXPECT_EQ(programEnds, 1);
    form->close();
    EXPECT_EQ(programEnds, 2);
    EXPECT_TRUE(messages.questions.isEmpty());
}
