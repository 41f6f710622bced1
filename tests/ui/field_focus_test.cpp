// Entering and leaving fields follows the focus moving between the window's
// controls, whatever the reason the platform gives for it.
#include "support/form1_fixture.h"

#include "editor/capcode_codec.h"
#include "ui/capcode_list.h"
#include "ui/frequency_panel.h"
#include "ui/password_field.h"
#include "ui/prompts_panel.h"

#include <QComboBox>
#include <QMimeData>
#include <QPushButton>
#include <QWindow>

using namespace px316t;
using px316t::testing::Form1Fixture;

namespace {

// A message box that takes the focus away to a window of its own and gives it
// back when it closes, as a real modal box does.
class FocusTakingMessages final : public MessageBoxes {
public:
    void message(const QString& text, Icon) override
    {
        texts << text;
        QWidget* previous = QApplication::activeWindow();
        QLineEdit box;
        box.show();
        QApplication::setActiveWindow(&box);
        box.setFocus(Qt::ActiveWindowFocusReason);
        box.close();
        if (previous)
            QApplication::setActiveWindow(previous);
    }
    bool askYesNo(const QString&) override { return false; }
    QStringList texts;
};

class FieldFocus : public Form1Fixture {
protected:
    // The click that activates the window lands in `field`: the platform first
    // makes it the window's focus child and then activates the window, so the
    // field receives the focus for the activation's reason.
    void clickIntoInactiveWindow(QWidget* field)
    {
        QWidget other;
        other.show();
        QApplication::setActiveWindow(&other);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
        field->setFocus(Qt::MouseFocusReason);
        ASSERT_FALSE(field->hasFocus());
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        ASSERT_TRUE(field->hasFocus());
    }
};

class FieldFocusWithRealBoxes : public FieldFocus {
protected:
    void customize(ApplicationOptions& services) override { services.messages = &boxes; }
    FocusTakingMessages boxes;
};

} // namespace

TEST_F(FieldFocus, FieldEnteredByTheWindowsActivationIsCheckedWhenLeft)
{
    QLineEdit* capcode = form->capcodes().txtAddr[0];
    clickIntoInactiveWindow(capcode);
    QTest::keyClicks(capcode, "2031615");
    form->picTabBack->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(messages.texts(), QStringList{"Invalid Capcode!"});
    EXPECT_TRUE(form->document().flags().EntryRejected);

    messages.clear();
    form->document().flags().EntryRejected = false;
    form->frequency().cboDft->setCurrentIndex(1);   // 400-499MHz
    QLineEdit* frequency = form->frequency().txtFreq;
    const auto before = table();
    clickIntoInactiveWindow(frequency);
    QTest::keyClicks(frequency, "3999999");
    QTest::keyClick(frequency, Qt::Key_Tab);
    EXPECT_EQ(messages.texts(), QStringList{"Frequency setting error(4000000 < = Frequency < =4990000 )"});
    EXPECT_TRUE(form->document().flags().EntryRejected);
    EXPECT_EQ(table(), before);
}

TEST_F(FieldFocusWithRealBoxes, MessageFromLeavingAFieldDoesNotRunTheLeavingAgain)
{
    boxes.texts.clear();   // the start-up report
    QLineEdit* capcode = form->capcodes().txtAddr[1];
    capcode->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(capcode, "2031615");
    form->picTabBack->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(boxes.texts, QStringList{"Invalid Capcode!"});
    EXPECT_TRUE(capcode->hasFocus()) << "the focus returns to the field";

    // A refused frequency: the box takes the focus away and gives it back.
    form->picTabBack->setFocus(Qt::MouseFocusReason);
    boxes.texts.clear();
    QLineEdit* frequency = form->frequency().txtFreq;
    frequency->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(frequency, "1");
    form->picTabBack->setFocus(Qt::MouseFocusReason);
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith("Frequency setting error"));
    EXPECT_TRUE(frequency->hasFocus());
}

TEST_F(FieldFocus, ADropChangesNoBoxAndTheImageStaysWhatTheScreenShows)
{
    // Text dragged onto a box that was never entered, delivered through the
    // window as the platform delivers a drag.
    auto drop = [this](QWidget* target, const QString& text) {
        QMimeData data;
        data.setText(text);
        const QPoint at = target->mapTo(form.get(), target->rect().center());
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form->windowHandle(), &enter);
        QDragMoveEvent move(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form->windowHandle(), &move);
        QDropEvent dropped(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form->windowHandle(), &dropped);
    };
    struct Case { const char* kind; QPushButton* tab; QLineEdit* box; const char* text; };
    const Case cases[] = {
        {"capcode", form->EMoptCode, form->capcodes().txtAddr[1], "98765"},
        {"frequency", form->EMoptCode, form->frequency().txtFreq, "4"},
        {"prompt", form->EMoptPrompts, form->prompts().txtPrompt[1], "DROPPED"},
        {"logo", form->EMoptStatus, form->prompts().txtPrompt[0], "DROPPED"},
        {"password", form->EMoptStatus, form->password().txtPass, "9876"},
    };
    for (const Case& c : cases) {
        QTest::mouseClick(c.tab, Qt::LeftButton);
        const PagerTable before = table();
        const QString shown = c.box->text();
        drop(c.box, QString::fromLatin1(c.text));
        EXPECT_EQ(c.box->text(), shown) << c.kind;
        leaveField();
        EXPECT_EQ(table(), before) << c.kind;
        EXPECT_EQ(c.box->text(), shown) << c.kind;
    }
    EXPECT_TRUE(messages.texts().isEmpty());
    // The drag reaches a box that takes drops: the refusal above is the boxes' own.
    QLineEdit* taker = form->password().txtPass;
    taker->setAcceptDrops(true);
    drop(taker, QStringLiteral("9876"));
    EXPECT_TRUE(taker->text().contains("9876"));
}
