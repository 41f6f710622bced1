#include "ui/prompts_panel.h"

#include "editor/pager_document.h"
#include "ui/binding/text_binding.h"
#include "ui/control_list.h"
#include "ui/field_events.h"
#include "ui/option_controls.h"

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

// What a box stores: composed, and control pictures become the bytes they show.
std::string storedText(const QString& text)
{
    return withoutControlPictures(text.normalized(QString::NormalizationForm_C).toStdString());
}

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
        // Every key reaches the box as typed (no filter, no case change) up to
        // its length; leaving it stores the text as it stands.
        TextBinding::Rules typed;
        typed.entered = [this, n] { currentPrompt_ = n; };
        typed.maxLength = [this, n] { return maxLength(n); };
        typed.leave = TextBinding::Rules::Leave::Commit;
        typed.toBox = [](const std::string& text) { return QString::fromStdString(withControlPictures(text)); };
        typed.fromBox = storedText;
        txtPrompt[n] = box;
        new TextBinding(box, ctx_.document, n == LogoPrompt ? "prompt.logo" : "prompt." + std::to_string(n),
                        ctx_.messages, ctx_.picTabBack, std::move(typed));
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
    // The logo box follows the font the option controls store.
    connect(options_.cbologo, &QComboBox::currentIndexChanged, this, [this] { cbologo_Click(); });
    // A language's set, a stored box or a default: the boxes show the records again.
    listening_ = ctx_.document.listen([this](DocumentChange change) {
        if (change == DocumentChange::Prompts)
            read_prompt();
    });
}

int PromptsPanel::maxLength(int index) const
{
    return index == LogoPrompt ? logoMaxLength(logoFont_) : PromptBoxMaxLength;
}

void PromptsPanel::showText(int index, const QString& text) { setFieldText(txtPrompt[index], text); }

void PromptsPanel::read_prompt()
{
    for (QLineEdit* box : txtPrompt)
        FieldBinding::of(box)->show();
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
    static_cast<TextBinding*>(FieldBinding::of(txtPrompt[currentPrompt_]))->restoreDefault();
    txtPrompt[currentPrompt_]->setFocus(Qt::OtherFocusReason);
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
