// The prompt boxes on the page "Prompts Edit" and the logo in the frame "Prompts".
#include "support/form1_fixture.h"

#include "ui/option_controls.h"
#include "table/builtin_tables.h"
#include "ui/prompts_panel.h"
#include "ui/capcode_list.h"
#include "table/table_file.h"

#include <QClipboard>
#include <QComboBox>
#include <QImage>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

using namespace px316t;
using px316t::testing::Form1Fixture;

namespace {

class Prompts : public Form1Fixture {
protected:
    PromptsPanel& panel() { return form->prompts(); }
    QLineEdit* box(int n) { return panel().txtPrompt[n]; }
    // Focus into the box, select what it shows and type over it.
    void typeOver(int n, const QString& text)
    {
        box(n)->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(box(n), Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            QTest::keyClick(box(n), Qt::Key_Delete);
        // Key by key, with characters that have no key of their own too.
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(box(n), &press);
            QApplication::sendEvent(box(n), &release);
        }
    }
    std::vector<std::uint8_t> record(int n)
    {
        const int at = PromptRegionStart + PromptRecordSize * n;
        return {table().begin() + at, table().begin() + at + PromptRecordSize};
    }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
};

} // namespace

TEST_F(Prompts, DefaultImageShowsEveryRecordInAFixedPitchFont)
{
    EXPECT_EQ(box(0)->text(), "    QUORVA  ");   // the set's own trailing spaces show
    EXPECT_EQ(box(9)->text(), "      SET TIME");
    EXPECT_EQ(box(13)->text(), "TONE ONLY");
    EXPECT_EQ(box(23)->text(), "      START    END");
    const QFontInfo info(box(20)->font());
    EXPECT_TRUE(info.fixedPitch()) << info.family().toStdString();
    // Window scaling starts from the design font size kept in the tag.
    EXPECT_TRUE(controlTag(box(20)).endsWith("#9#")) << controlTag(box(20)).toStdString();
    EXPECT_TRUE(controlTag(box(0)).endsWith("#9#"));
    // Two columns of 14; the boxes of a column share their left edge.
    EXPECT_EQ(box(1)->x(), box(14)->x());
    EXPECT_EQ(box(15)->x(), box(28)->x());
    EXPECT_EQ(box(15)->y(), box(1)->y());
    EXPECT_GT(box(15)->x(), panel().lblPrompt[14]->geometry().right());
}

TEST_F(Prompts, LeavingABoxStoresItsText)
{
    typeOver(2, "  HELLO  ");
    leaveField();
    EXPECT_EQ(record(2)[0], 0x43) << "attribute nibble kept, two leading spaces";
    EXPECT_EQ(record(2)[1], 5);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(record(2).data()) + 2, 5), "HELLO");
    EXPECT_EQ(box(2)->text(), "  HELLO");

    typeOver(3, "   ");
    QTest::keyClick(box(3), Qt::Key_Return);   // Enter leaves the box for the background
    EXPECT_TRUE(form->picTabBack->hasFocus());
    EXPECT_EQ(record(3)[0] & 0x0F, 4);
    EXPECT_EQ(record(3)[1], 0);
    EXPECT_EQ(box(3)->text(), "   ");
}

TEST_F(Prompts, AlignmentButtonsPadTheBoxAndTheCommitCapsTheSpaces)
{
    form->EMoptPrompts_Click();
    typeOver(5, "ABCD");
    click(panel().optCenter[0]);
    EXPECT_EQ(box(5)->text(), QString(8, ' ') + "ABCD");
    EXPECT_TRUE(box(5)->hasFocus());
    click(panel().optRight[0]);
    EXPECT_EQ(box(5)->text(), QString(16, ' ') + "ABCD");
    leaveField();
    EXPECT_EQ(record(5)[0] & 0x0F, 15);
    EXPECT_EQ(box(5)->text(), QString(14, ' ') + "ABCD");
    click(panel().optLeft[0]);
    EXPECT_EQ(box(5)->text(), "ABCD");

    form->WriteOpt->setChecked(true);
    EXPECT_FALSE(box(0)->isEnabled());
    EXPECT_FALSE(panel().optRight[1]->isEnabled());
}

TEST_F(Prompts, PageButtonsBeforeAnyFocusActOnTheLogo)
{
    form->EMoptPrompts_Click();
    const auto before = record(1);
    click(panel().optRight[0]);   // Large Font: room for 15
    EXPECT_EQ(box(0)->text(), QString(9, ' ') + "QUORVA");
    leaveField();
    EXPECT_EQ(record(0)[0] & 0x0F, 10);
    EXPECT_EQ(record(1), before);
    // The frame's buttons always act on the logo.
    typeOver(7, "X");
    click(panel().optLeft[1]);
    EXPECT_EQ(panel().CurrentPrompt(), 0);
    EXPECT_EQ(box(0)->text(), "QUORVA");
}

TEST_F(Prompts, LanguageLoadsItsSetAndDefaultRestoresEnglish)
{
    form->options().cboLng->setCurrentIndex(3);   // Portuguese
    EXPECT_EQ(table()[0x3A] & 0x0F, 7);
    EXPECT_EQ(table()[0x3E] & 0x0F, 7);
    const auto& portuguese = PromptSet(PromptLanguage::Portuguese);
    EXPECT_TRUE(std::equal(portuguese.begin(), portuguese.end(), table().begin() + PromptRegionStart));
    EXPECT_EQ(box(0)->text(), "    QUORVA");
    EXPECT_EQ(box(1)->text(), "   SEM MENSAGEMS");

    form->options().cboLng->setCurrentIndex(2);   // French
    form->EMoptPrompts_Click();
    typeOver(5, "MINE");
    click(panel().optDefault);
    const auto& english = PromptSet(PromptLanguage::English);
    EXPECT_TRUE(std::equal(english.begin() + 100, english.begin() + 120, record(5).begin()));
    EXPECT_EQ(box(5)->text(), "   MESSAGE DELETE");
    EXPECT_TRUE(box(5)->hasFocus());
    EXPECT_EQ(box(6)->text(), "    EFFACER TOUT");
}

TEST_F(Prompts, LogoFontResizesTheBoxWithoutShorteningALongLogo)
{
    QComboBox* font = form->options().cbologo;
    auto widthOfSpaces = [&](int n) { return QFontMetrics(box(0)->font()).horizontalAdvance(QString(n, ' ')); };
    font->setCurrentIndex(1);
    EXPECT_EQ(table()[0x3F] & 0x0F, 2);
    EXPECT_FALSE(box(0)->font().bold());
    EXPECT_EQ(box(0)->width(), widthOfSpaces(21));
    EXPECT_EQ(panel().maxLength(0), 20);

    typeOver(0, "ABCDEFGHIJKLMNOPQ");
    leaveField();
    font->setCurrentIndex(0);
    EXPECT_EQ(table()[0x3F] & 0x0F, 0);
    EXPECT_EQ(box(0)->width(), widthOfSpaces(16));
    EXPECT_TRUE(box(0)->font().bold());
    EXPECT_EQ(box(0)->text(), "ABCDEFGHIJKLMNOPQ");
    // Typing cannot make it longer; the stored logo stays whole.
    box(0)->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(box(0), Qt::Key_End);
    QTest::keyClicks(box(0), "XY");
    EXPECT_EQ(box(0)->text(), "ABCDEFGHIJKLMNOPQ");
    leaveField();
    EXPECT_EQ(form->prompts().txtPrompt[0]->text(), "ABCDEFGHIJKLMNOPQ");
    EXPECT_EQ(record(0)[1], 17);
    // A menu prompt takes 20 characters from the keyboard and stores 18.
    typeOver(28, "ABCDEFGHIJKLMNOPQRSTUV");
    EXPECT_EQ(box(28)->text(), "ABCDEFGHIJKLMNOPQRST");
}

TEST_F(Prompts, AnyPastedTextChangesOnlyItsRecord)
{
    const QString texts[] = {
        QString(20, QChar(0x4E2D)),                          // 20 characters of another script
        QStringLiteral("\t\x01\x7F" "A"),                     // control characters: a paste drops them
        QString(QChar(0xD800)) + QStringLiteral("B"),         // a lone surrogate
        QString(), QStringLiteral("      "),
        QStringLiteral("\u20AC\u0160\u0178 e\u0301"),         // Windows-1252 letters, a separate accent
    };
    const std::vector<std::vector<std::uint8_t>> stored = {
        std::vector<std::uint8_t>(18, '?'), {0x7F, 'A'}, {'?', 'B'}, {}, {},
        {0x80, 0x8A, 0x9F, ' ', 0xE9},
    };
    for (std::size_t k = 0; k < std::size(texts); ++k) {
        const PagerTable before = table();
        box(28)->setFocus(Qt::MouseFocusReason);
        box(28)->selectAll();
        box(28)->insert(texts[k]);
        leaveField();
        const int at = PromptRegionStart + PromptRecordSize * 28;
        EXPECT_EQ(record(28)[1], stored[k].size()) << k;
        EXPECT_TRUE(std::equal(stored[k].begin(), stored[k].end(), table().begin() + at + 2)) << k;
        for (int i = 0; i < PagerTableSize; ++i) {
            if (i < at || i >= at + PromptRecordSize) {
                ASSERT_EQ(table()[i], before[i]) << "byte " << i << ", text " << k;
            }
        }
    }
}

TEST_F(Prompts, TypedPromptSurvivesSavingAndLoading)
{
    const QString typed = QStringLiteral(" \u00C4L\u20ACRTE");
    typeOver(11, typed);
    files.paths = {dir.path() + QStringLiteral("/p.tbl"), dir.path() + QStringLiteral("/p.tbl")};
    form->mnuSBTF_Click();
    form->options().cboLng->setCurrentIndex(1);
    form->mnuLBFF_Click();
    EXPECT_EQ(box(11)->text(), typed);
    EXPECT_EQ(record(11)[4], 0x80);
}

TEST_F(Prompts, APasteKeepsItsFirstLineAndStoredControlBytesShowAndComeBack)
{
    // What Ctrl+V brings into a box whose text is selected, and what it shows.
    struct Paste { QString clipboard; QString shown; };
    const Paste pastes[] = {
        {QStringLiteral("AB\nCD\r\n"), QStringLiteral("AB")},
        {QStringLiteral("A\tB\x01" "C\rD"), QStringLiteral("ABC")},
        {QStringLiteral("\r\nXY"), QString()},
        // The pictures of control characters are refused like the characters.
        {QStringLiteral("A\u2400B\u240D\u2420\u2421C"), QStringLiteral("ABC")},
    };
    for (const Paste& p : pastes) {
        box(5)->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(box(5), Qt::Key_A, Qt::ControlModifier);
        QGuiApplication::clipboard()->setText(p.clipboard);
        QTest::keyClick(box(5), Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(box(5)->text(), p.shown);
        leaveField();
        EXPECT_EQ(box(5)->text(), p.shown);
        const QByteArray stored(reinterpret_cast<const char*>(record(5).data()) + 2, record(5)[1]);
        EXPECT_EQ(stored, p.shown.toLatin1());
    }
    // Into the middle of a text, the first line of the paste goes where the cursor is.
    typeOver(6, "XY");
    QTest::keyClick(box(6), Qt::Key_Left);
    QGuiApplication::clipboard()->setText(QStringLiteral("12\n34"));
    QTest::keyClick(box(6), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(box(6)->text(), "X12Y");

    // A file whose prompt holds 0x00, 0x09 and 0x0A shows them and saves them back.
    PagerTable image = table();
    const int at = PromptRegionStart + PromptRecordSize * 7;
    const std::uint8_t prompt[] = {0x01, 6, 'A', 0x00, 0x09, 'B', 0x0A, 0x1F};
    std::copy(std::begin(prompt), std::end(prompt), image.begin() + at);
    const QString in = dir.path() + QStringLiteral("/controls.tbl"), out = dir.path() + QStringLiteral("/out.tbl");
    std::error_code ec;
    ASSERT_EQ(writeTableFile(in.toStdString(), image, ec), TableFileError::None);
    files.paths = {in, out};
    form->mnuLBFF_Click();
    EXPECT_EQ(box(7)->text(), QStringLiteral("A\u2400\u2409B\u240A\u241F"));
    box(7)->setFocus(Qt::MouseFocusReason);   // entered and left unedited
    leaveField();
    form->mnuSBTF_Click();
    QFile a(in), b(out);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());
}

// Each control character a record may hold is drawn its own way in a prompt
// box: the pictures of NUL, tab, line feed and carriage return, DEL and the
// C1 controls of the code page's unassigned bytes.
TEST_F(Prompts, EveryControlByteDrawsDistinguishably)
{
    const std::uint8_t bytes[] = {0x00, 0x09, 0x0A, 0x0D, 0x7F, 0x81, 0x8D, 0x8F, 0x90, 0x9D, ' '};
    const int at = PromptRegionStart + PromptRecordSize * 3;
    std::vector<QImage> drawn;
    for (const std::uint8_t b : bytes) {
        PagerTable image = table();
        const std::uint8_t prompt[] = {0x01, 3, 'A', b, 'B'};
        std::copy(std::begin(prompt), std::end(prompt), image.begin() + at);
        form->document().arrive(image);
        QImage picture(box(3)->size(), QImage::Format_RGB32);
        box(3)->render(&picture);
        for (std::size_t k = 0; k < drawn.size(); ++k)
            EXPECT_NE(picture, drawn[k]) << "byte " << int(b) << " looks like byte " << int(bytes[k]);
        drawn.push_back(picture);
    }
}

TEST_F(Prompts, TheLengthLimitRefusesGrowthAndNeverCutsWhatTheBoxHeld)
{
    // An 18-character logo typed under "Small Font", then "Large Font": deleting
    // it and undoing brings all of it back.
    QComboBox* font = form->options().cbologo;
    font->setCurrentIndex(1);
    typeOver(0, "ABCDEFGHIJKLMNOPQR");
    font->setCurrentIndex(0);
    QTest::keyClick(box(0), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box(0), Qt::Key_Delete);
    QTest::keyClick(box(0), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box(0)->text(), "ABCDEFGHIJKLMNOPQR");
    leaveField();
    EXPECT_EQ(record(0)[1], 18);

    // A paste that would make a text too long is refused whole, never cut.
    struct Paste { QLineEdit* field; QString text; };
    const Paste pastes[] = {{box(3), QString(21, 'Z')}, {form->capcodes().txtAddr[2], QStringLiteral("12345678901")}};
    for (const Paste& p : pastes) {
        p.field->setFocus(Qt::MouseFocusReason);
        const QString before = p.field->text();
        QGuiApplication::clipboard()->setText(p.text);
        QTest::keyClick(p.field, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(p.field->text(), before) << p.text.toStdString();
        leaveField();
    }

    // The logo box keeps the width of its font across a window resize.
    font->setCurrentIndex(1);
    const int smallWidth = box(0)->width();
    QWidget* client = form->centralWidget();
    const QSize design = client->size();
    for (const QSize size : {design * 2, design}) {
        form->resize(form->size() + (size - client->size()));
        QCoreApplication::processEvents();
        EXPECT_NEAR(box(0)->width(), smallWidth * size.width() / design.width(), 3);
    }
    EXPECT_EQ(box(0)->width(), smallWidth);
}
