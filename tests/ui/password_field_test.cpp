// The password box of the frame "Manual Write".
#include "support/form1_fixture.h"

#include "ui/password_field.h"

#include <QClipboard>

using namespace px316t;
using px316t::testing::Form1Fixture;

namespace {

class Password : public Form1Fixture {
protected:
    QLineEdit* box() { return form->password().txtPass; }
    std::array<std::uint8_t, 4> digits() { return {table()[0x36F], table()[0x36E], table()[0x36D], table()[0x36C]}; }
    // Into the freshly entered (emptied) box.
    void paste(const QString& text)
    {
        leaveField();
        box()->setFocus(Qt::MouseFocusReason);
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(box(), Qt::Key_V, Qt::ControlModifier);
    }
    void expectRefused(const char* message, const PagerTable& before)
    {
        ASSERT_EQ(messages.texts(), QStringList{message});
        EXPECT_EQ(messages.messages[0].icon, MessageBoxes::Icon::Warning);
        EXPECT_EQ(table(), before);
        EXPECT_TRUE(box()->hasFocus());
        messages.clear();
    }
};

} // namespace

TEST_F(Password, TypedDigitsAreStoredAsTheyGrowAndShownPaddedAfterwards)
{
    typeInto(box(), "7");
    EXPECT_EQ(digits(), (std::array<std::uint8_t, 4>{0, 0, 0, 7}));
    QTest::keyClicks(box(), "5");
    leaveField();
    EXPECT_EQ(box()->text(), "0075");
    // A fifth typed character does not reach the box.
    typeInto(box(), "98765");
    EXPECT_EQ(box()->text(), "9876");
    EXPECT_EQ(digits(), (std::array<std::uint8_t, 4>{9, 8, 7, 6}));
    EXPECT_TRUE(messages.messages.empty());
    // Entering and leaving without typing shows the stored password again.
    leaveField();
    box()->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(box()->text(), "");
    QTest::keyClick(box(), Qt::Key_Return);
    EXPECT_TRUE(form->picTabBack->hasFocus());
    EXPECT_EQ(box()->text(), "9876");

    table()[0x36E] = 12;
    form->init_ctl();
    EXPECT_EQ(box()->text(), "91276");
    form->WriteOpt->setChecked(true);
    EXPECT_FALSE(box()->isEnabled());
}

TEST_F(Password, RefusalsLeaveTheStoredPassword)
{
    enter(box(), "1234");
    const PagerTable before = table();
    typeInto(box(), "-");
    expectRefused("Please insert a decimal numeric!", before);
    // After a refusal the box shows the stored password and keeps the focus.
    EXPECT_EQ(box()->text(), "1234");
    paste(QStringLiteral("12345"));
    expectRefused("Please insert a number between 0000 to 9999", before);
    paste(QStringLiteral("1e3"));
    expectRefused("Please insert a decimal numeric!", before);
    leaveField();
    EXPECT_EQ(box()->text(), "1234");
}

TEST_F(Password, TheEnterThatClosesARefusalChecksNothing)
{
    table()[0x36F] = 0xFF;   // a stored password the box shows with six characters
    form->init_ctl();
    typeInto(box(), "-");
    ASSERT_EQ(messages.texts(), QStringList{"Please insert a decimal numeric!"});
    EXPECT_EQ(box()->text().size(), 6);
    // The message box closed on Enter's press; the release reaches the box, which
    // has the focus again. It is not the box's key, every time.
    for (int i = 0; i < 3; ++i) {
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QApplication::sendEvent(box(), &release);
    }
    EXPECT_EQ(messages.texts().size(), 1);
    // A key the box received is checked as always.
    QTest::keyClick(box(), Qt::Key_Backspace);
    EXPECT_EQ(messages.texts().size(), 2);
}
