#include "ui/prompts_panel.h"

#include "ui/field_events.h"
#include "ui/option_controls.h"
#include "ui/control_list.h"
#include "ui/field_binding.h"

#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>


namespace px316t {
namespace {

// Page "Prompts Edit": two columns of 14 rows.
constexpr int kRowsPerColumn = 14;
constexpr int kFirstRowTop = 180;
constexpr int kRowPitch = 372;
constexpr int kBoxWidth = 2340;
constexpr int kBoxHeight = 285;
struct Column { int captionLeft; int captionWidth; int boxLeft; };
// A gap of four pixels between each caption and its box.
constexpr Column kColumns[] = {{90, 1860, 2010}, {4410, 2070, 6540}};
constexpr int kButtonsTop = kFirstRowTop + kRowsPerColumn * kRowPitch + 30;

const char* const kCaptions[PromptRecordCount] = {
    "Power Up Logo",
    "NO PAGES ------->", "UP OR ESCAPE --->", "MESSAGE LOCK --->", "MESSAGE UNLOCK ->",
    "MESSAGE ERASE -->", "MESSAGE ERASE ALL", "MOVE TO MEMO --->", "SET SCROLL ----->",
    "SET TIME ------->", "SET ALARM ------>", "SET ALERT ------>", "PAGER OFF ------>",
    "TONY ONLY ------>", "SLEEP ---------->",
    "SILENT ----------->", "PAGER OFF ? ------>", "MESSAGE ERASE ? -->", "MESSAGE ERASE ALL ?",
    "TIME  SET -------->", "ALARM  SET ------->", "SCROLL SET ------->", "AUTO SLEEP SET --->",
    "ON     OFF SET --->", "MESSAGE AREA ----->", "MAIL DROP AREA --->", "SILENT THEN BEEP ->",
    "ZOOM IN ---------->", "ZOOM OUT --------->",
};

std::string boxText(const QLineEdit* box)
{
    // Composed forms first, so that a letter typed with a separate accent is one
    // character of the code page rather than two.
    return box->text().normalized(QString::NormalizationForm_C).toStdString();
}

// What the box stores: control pictures become the bytes they show.
std::string storedText(const QLineEdit* box) { return withoutControlPictures(boxText(box)); }

} // namespace

PromptsPanel::PromptsPanel(EditorContext& context, ControlFactory& factory, QWidget* promptsPage,
                           OptionControls& options)
    : QObject(promptsPage), ctx_(context), options_(options)
{
    const QFont fixedPitch(QStringLiteral("Courier New"), 9);
    QFont logoBold = fixedPitch;
    logoBold.setBold(true);
    const QFont captionFont = factory.defaultFont();

    auto makeBox = [&](QWidget* parent, int n, const QRect& twips, const QFont& font) {
        // Created in its own font, so that the design font size in its tag (which
        // window scaling starts from) is the font's.
        const QFont pageFont = factory.defaultFont();
        factory.setDefaultFont(font);
        QLineEdit* box = factory.textBox(parent, QStringLiteral("txtPrompt"), 0, twips);
        factory.setDefaultFont(pageFont);
        limitTypedLength(box, n == LogoPrompt ? logoMaxLength(logoFont_) : PromptBoxMaxLength, pastedPromptText);
        new FieldEvents(box, {
            [this, n] { txtPrompt_GotFocus(n); },
            [this, n](QKeyEvent* e) { return txtPrompt_KeyPress(n, e); },
            {},
            [this, n] { txtPrompt_LostFocus(n); },
        });
        txtPrompt[n] = box;
        bindCatalogField(box, n == LogoPrompt ? "prompt.logo" : "prompt." + std::to_string(n));
    };

    // The logo and its alignment buttons in the frame "Prompts".
    QGroupBox* frame = options_.fraPrompts;
    lblPrompt[LogoPrompt] = factory.label(frame, QStringLiteral("lblPrompt"), QString::fromLatin1(kCaptions[0]),
                                          QRect(180, 330, 1500, 255), captionFont);
    lblPrompt[LogoPrompt]->setToolTip(QStringLiteral("Power up prompt."));
    // Designed as wide as 16 characters of its bold 9-point font (108 twips each),
    // the width "Large Font" gives it, which window scaling starts from.
    makeBox(frame, LogoPrompt, QRect(1740, 300, 16 * 108, kBoxHeight), logoBold);
    lblLogo = factory.label(frame, QStringLiteral("lblLogo"), QString(), QRect(1740, 0, 1800, 255), logoBold);
    lblLogo->setVisible(false);
    lblAlign = factory.label(frame, QStringLiteral("lblAlign"), QStringLiteral("Align:"),
                             QRect(1740, 1650, 600, 255), captionFont);
    const struct { std::array<QPushButton*, 2>* set; const char* name; const char* caption; const char* tip; }
        small[] = {{&optLeft, "optLeft", "L", "Align Left"},
                   {&optCenter, "optCenter", "C", "Align Center"},
                   {&optRight, "optRight", "R", "Align Right"}};
    for (int k = 0; k < 3; ++k) {
        QPushButton* button = factory.button(frame, QString::fromLatin1(small[k].name),
                                             QString::fromLatin1(small[k].caption),
                                             QRect(2400 + 330 * k, 1620, 300, kBoxHeight));
        button->setToolTip(QString::fromLatin1(small[k].tip));
        (*small[k].set)[1] = button;
    }

    // The 28 menu prompts on the page "Prompts Edit".
    for (int n = 1; n <= LastPrompt; ++n) {
        const Column& column = kColumns[(n - 1) / kRowsPerColumn];
        const int top = kFirstRowTop + ((n - 1) % kRowsPerColumn) * kRowPitch;
        lblPrompt[n] = factory.label(promptsPage, QStringLiteral("lblPrompt"), QString::fromLatin1(kCaptions[n]),
                                     QRect(column.captionLeft, top + 30, column.captionWidth, 255), fixedPitch);
        makeBox(promptsPage, n, QRect(column.boxLeft, top, kBoxWidth, kBoxHeight), fixedPitch);
    }
    const struct { QPushButton** slot; const char* name; const char* caption; } large[] = {
        {&optLeft[0], "optLeft", "Left"}, {&optCenter[0], "optCenter", "Center"},
        {&optRight[0], "optRight", "Right"}, {&optDefault, "optDefault", "Default"}};
    for (int k = 0; k < 4; ++k)
        *large[k].slot = factory.button(promptsPage, QString::fromLatin1(large[k].name),
                                        QString::fromLatin1(large[k].caption),
                                        QRect(4980 + 960 * k, kButtonsTop, 900, 330));

    for (int i = 0; i < 2; ++i) {
        connect(optLeft[i], &QPushButton::clicked, this, [this, i] { optLeft_Click(i); });
        connect(optCenter[i], &QPushButton::clicked, this, [this, i] { optCenter_Click(i); });
        connect(optRight[i], &QPushButton::clicked, this, [this, i] { optRight_Click(i); });
    }
    connect(optDefault, &QPushButton::clicked, this, [this] { optDefault_Click(0); });
    // The option controls store the language and the font first; these follow.
    connect(options_.cboLng, &QComboBox::currentIndexChanged, this, [this] { cboLng_Click(); });
    connect(options_.cbologo, &QComboBox::currentIndexChanged, this, [this] { cbologo_Click(); });
}

int PromptsPanel::maxLength(int index) const
{
    return index == LogoPrompt ? logoMaxLength(logoFont_) : PromptBoxMaxLength;
}

void PromptsPanel::showText(int index, const QString& text) { setFieldText(txtPrompt[index], text); }

void PromptsPanel::read_prompt()
{
    for (int n = 0; n <= LastPrompt; ++n)
        showText(n, QString::fromStdString(withControlPictures(readPromptText(ctx_.table, n))));
}

void PromptsPanel::txtPrompt_GotFocus(int index) { currentPrompt_ = index; }

bool PromptsPanel::txtPrompt_KeyPress(int index, QKeyEvent* event)
{
    // Every other key reaches the box as typed: no filter, no case change; a
    // character beyond the box's length is not taken.
    if (!isEnterKey(event))
        return typesBeyond(txtPrompt[index], event, maxLength(index));
    ctx_.picTabBack->setFocus(Qt::OtherFocusReason);
    return true;
}

void PromptsPanel::txtPrompt_LostFocus(int index)
{
    commitPromptText(ctx_.table, index, storedText(txtPrompt[index]));
    read_prompt();
}

void PromptsPanel::align(int index, PromptAlignment alignment)
{
    if (index == 1)
        currentPrompt_ = LogoPrompt;
    QLineEdit* box = txtPrompt[currentPrompt_];
    // Only the box changes; the record follows when the box is left.
    showText(currentPrompt_, QString::fromStdString(alignPromptText(boxText(box), alignment,
                                                                    maxLength(currentPrompt_))));
    box->setFocus(Qt::OtherFocusReason);
}

void PromptsPanel::optLeft_Click(int index) { align(index, PromptAlignment::Left); }
void PromptsPanel::optCenter_Click(int index) { align(index, PromptAlignment::Center); }
void PromptsPanel::optRight_Click(int index) { align(index, PromptAlignment::Right); }

void PromptsPanel::optDefault_Click(int)
{
    restoreDefaultPrompt(ctx_.table, currentPrompt_);
    read_prompt();
    txtPrompt[currentPrompt_]->setFocus(Qt::OtherFocusReason);
}

void PromptsPanel::cboLng_Click()
{
    // The set itself was loaded by the language combo's own handler.
    read_prompt();
}

void PromptsPanel::cbologo_Click()
{
    const int entry = options_.cbologo->currentIndex();
    if (entry < 0)
        return;
    logoFont_ = entry == 0 ? LogoFont::Large : LogoFont::Small;
    QLineEdit* logo = txtPrompt[LogoPrompt];
    QFont font = logo->font();
    font.setBold(logoFont_ == LogoFont::Large);
    logo->setFont(font);
    // The text stays as it is, even when it is longer than the new limit.
    setTypedLengthLimit(logo, logoMaxLength(logoFont_));
    fitLogoBox();
}

void PromptsPanel::fitLogoBox()
{
    QLineEdit* logo = txtPrompt[LogoPrompt];
    lblLogo->setFont(logo->font());
    const QString measure(logoBoxWidthChars(logoFont_), QLatin1Char(' '));
    lblLogo->setText(measure);
    // The label sizes itself to its caption in the box's font; spaces count in full.
    lblLogo->resize(lblLogo->fontMetrics().horizontalAdvance(measure), lblLogo->height());
    logo->resize(lblLogo->width(), logo->height());
}

} // namespace px316t
