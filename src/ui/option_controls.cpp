#include "ui/option_controls.h"

#include "editor/prompt_rules.h"
#include "table/builtin_tables.h"
#include "table/field_tag.h"
#include "ui/control_list.h"
#include "ui/ct_eb_slider.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QSignalBlocker>

namespace px316t {
namespace {

constexpr int kFirstRow = 300;
constexpr int kRowPitch = 330;
constexpr int kCaptionLeft = 180;
constexpr int kComboLeft = 2460;

QRect rowRect(int row, int left, int width, int height = 255)
{
    return QRect(left, kFirstRow + row * kRowPitch, width, height);
}

QColor greyLevel(int level) { return QColor(level, level, level); }

void setTextColour(QLabel* label, const QColor& colour)
{
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
}

} // namespace

OptionControls::OptionControls(EditorContext& context, ControlFactory& factory, QWidget* page)
    : QObject(page), ctx_(context)
{
    auto& chk = ctx_.arrays.chkCtl;
    auto& cbo = ctx_.arrays.cboCtl;
    auto check = [&](QWidget* frame, int index, int row, const char* caption, const char* tag) {
        chk[index] = factory.checkBox(frame, QStringLiteral("chkCtl"), QString::fromLatin1(caption),
                                      rowRect(row, kCaptionLeft, 3960), QString::fromLatin1(tag));
        return chk[index];
    };
    auto captioned = [&](QWidget* frame, int row, const QString& name, const char* caption) {
        return factory.label(frame, name, QString::fromLatin1(caption), rowRect(row, kCaptionLeft, 2260).translated(0, 30));
    };
    auto combo = [&](QWidget* frame, int row, const QString& name, const QStringList& items, const char* tag = "",
                     int width = 1740) {
        return factory.comboBox(frame, name, items, rowRect(row, kComboLeft, width, 300), QString::fromLatin1(tag));
    };

    fraAlerts = factory.frame(page, QStringLiteral("fraAlerts"), QStringLiteral("Alerts"), QRect(120, 60, 4380, 3000));
    check(fraAlerts, 2, 0, "Counter Out Enable", "&H39,4,1,chkN");
    check(fraAlerts, 4, 1, "Alert and Vibrate", "&H36,3,1,chkN");
    check(fraAlerts, 26, 2, "Alert Cadence Enable", "&H36,4,1,chkN")
        ->setToolTip(QStringLiteral("Alert cadence for first 4 capcode as POCSAG 4 tone alerts ."));
    captioned(fraAlerts, 3, QStringLiteral("Label16"), "Personal Alert Length");
    cboPersonAlert = combo(fraAlerts, 3, QStringLiteral("cboPersonAlert"),
                           {QStringLiteral("continuous"), QStringLiteral("2 second"), QStringLiteral("8 second"),
                            QStringLiteral("16 second"), QStringLiteral("32 second")});
    check(fraAlerts, 6, 4, "Lowcell Alert Control", "&H39,6,1,chk");
    check(fraAlerts, 7, 5, "Out-of Service Control", "&H3D,3,1,chk");
    captioned(fraAlerts, 6, QStringLiteral("Label17"), "Music Type Select");
    cbo[3] = combo(fraAlerts, 6, QStringLiteral("cboCtl"),
                   {QStringLiteral("Taiwan Music"), QStringLiteral("World Wild Music ")}, "&H3D,5,1,cbo",
                   1880);   // wide enough for its longest entry, within the frame
    captioned(fraAlerts, 7, QStringLiteral("Label18"), "Reminder Duartion Control");
    cbo[4] = combo(fraAlerts, 7, QStringLiteral("cboCtl"),
                   {QStringLiteral("Disable"), QStringLiteral("2 minutes"), QStringLiteral("10 minutes"),
                    QStringLiteral("60 minutes")}, "&H3C,6,2,cbo");

    fraManualWrite = factory.frame(page, QStringLiteral("fraManualWrite"), QStringLiteral("Manual Write"),
                                   QRect(120, 3120, 4380, 2000));
    check(fraManualWrite, 9, 0, "Manual Write Enable", "&H3D,4,1,chkN");
    check(fraManualWrite, 3, 1, "Frequency Modification Enable", "&H36,0,1,chkN");
    check(fraManualWrite, 27, 2, "Password Modification Enable ", "&H36,2,1,chk");
    check(fraManualWrite, 28, 3, "Password Required", "&H36,1,1,chk");

    fraStatus = factory.frame(page, QStringLiteral("fraStatus"), QStringLiteral("Status"), QRect(4560, 60, 4260, 3420));
    check(fraStatus, 5, 0, "Air Program Enable", "&H3D,6,1,chk");
    check(fraStatus, 1, 1, "Discard Error Message", "&H3D,0,1,chk");
    captioned(fraStatus, 2, QStringLiteral("Label19"), "Read Time Out");
    cbo[1] = combo(fraStatus, 2, QStringLiteral("cboCtl"),
                   {QStringLiteral("8 sec"), QStringLiteral("14 sec"), QStringLiteral("20 sec"), QStringLiteral("30 sec")},
                   "&H39,0,2,cbo");
    captioned(fraStatus, 3, QStringLiteral("Label20"), "Numeric Display Mode");
    cbo[5] = combo(fraStatus, 3, QStringLiteral("cboCtl"), {QStringLiteral("Standard"), QStringLiteral("OEC(china)")},
                   "&H3D,2,1,cbo");
    captioned(fraStatus, 4, QStringLiteral("Label21"), "Paging Display Mode");
    cbo[0] = combo(fraStatus, 4, QStringLiteral("cboCtl"), {QStringLiteral("Page Count"), QStringLiteral("Direct")},
                   "&H3B,4,1,cbo");
    check(fraStatus, 8, 5, "Direct Show Lamp On", "&H36,6,1,chkN");
    captioned(fraStatus, 6, QStringLiteral("Label22"), "Sequential Lockout");
    cboSLC = combo(fraStatus, 6, QStringLiteral("cboSLC"),
                   {QStringLiteral("disable"), QStringLiteral("30 seconds"), QStringLiteral("60 seconds"),
                    QStringLiteral("120 seconds"), QStringLiteral("175 seconds")});
    check(fraStatus, 0, 7, "Display Source Enable", "&H39,7,1,chk");
    captioned(fraStatus, 8, QStringLiteral("Label23"), "Screen Contrast");
    Slider1 = new ctlEBSlider;
    Slider1->setToolTip(QStringLiteral("Screen contrast level."));
    factory.placeWithoutFont(Slider1, fraStatus, QStringLiteral("Slider1"), rowRect(8, 1740, 1155, 300));
    // The window's saved settings of its slider, loaded once it has its size.
    Slider1->ReadProperties({{QStringLiteral("Min"), 1}, {QStringLiteral("Max"), 8}, {QStringLiteral("Value"), 4},
                             {QStringLiteral("SliderWidth"), 150}});
    lblValue = factory.label(fraStatus, QStringLiteral("lblValue"), QStringLiteral("4"), rowRect(8, 2960, 300));
    lblValue->setAutoFillBackground(true);
    QPalette yellow = lblValue->palette();
    yellow.setColor(QPalette::Window, QColor(255, 255, 192));
    lblValue->setPalette(yellow);
    QFont arialBold(QStringLiteral("Arial"), 9);
    arialBold.setBold(true);
    lblContrast = factory.label(fraStatus, QStringLiteral("lblContrast"), QStringLiteral("Screen"),
                                rowRect(8, 3330, 840), arialBold);
    lblContrast->setAutoFillBackground(true);

    fraPrompts = factory.frame(page, QStringLiteral("fraPrompts"), QStringLiteral("Prompts"), QRect(4560, 3540, 4260, 2160));
    captioned(fraPrompts, 1, QStringLiteral("Label24"), "Prompt Language Type");
    cboLng = combo(fraPrompts, 1, QStringLiteral("cboLng"),
                   {QStringLiteral("English"), QStringLiteral("Spainish"), QStringLiteral("French"),
                    QStringLiteral("Portuguese")});
    captioned(fraPrompts, 2, QStringLiteral("Label26"), "Logo Font");
    cbologo = combo(fraPrompts, 2, QStringLiteral("cbologo"), {QStringLiteral("Large Font"), QStringLiteral("Small Font")},
                    "&H3F,0,4,Lng");
    captioned(fraPrompts, 3, QStringLiteral("Label27"), "Date Display Method")
        ->setToolTip(QStringLiteral("If DD/MM is selected,the date format is day and month.If  MM/DD is selected,"
                                    "the date format is month and day."));
    cbo[6] = combo(fraPrompts, 3, QStringLiteral("cboCtl"), {QStringLiteral("dd-mm-yy"), QStringLiteral("mm-dd-yy")},
                   "&H3B,3,1,cbo");

    connect(cboPersonAlert, &QComboBox::currentIndexChanged, this, [this] { cboPersonAlert_Click(); });
    connect(cboSLC, &QComboBox::currentIndexChanged, this, [this] { cboSLC_Click(); });
    connect(cboLng, &QComboBox::currentIndexChanged, this, [this] { cboLng_Click(); });
    connect(cbologo, &QComboBox::currentIndexChanged, this, [this] { cbologo_Click(); });
    connect(Slider1, &ctlEBSlider::Changed, this, [this] { Slider1_Changed(Slider1->Value()); });
}

// ---- refresh steps ---------------------------------------------------------

void OptionControls::showSequentialLockout()
{
    if (GetBits(ctx_.table, 0x3C, 3, 1) != 0)
        cboSLC->setCurrentIndex(GetBits(ctx_.table, 0x3C, 0, 2) + 1);
    else
        cboSLC->setCurrentIndex(0);
}

void OptionControls::showLogoFont()
{
    const auto tag = parseFieldTag(controlTag(cbologo).toStdString());
    if (!tag)
        return;
    const std::uint8_t v = GetBits(ctx_.table, tag->byteIndex, tag->firstBit, tag->width);
    if (v == 0)
        cbologo->setCurrentIndex(0);
    else if (v == 2)
        cbologo->setCurrentIndex(1);
}

void OptionControls::showLanguage()
{
    int entry = -1;
    switch (GetBits(ctx_.table, 0x3E, 0, 4)) {
    case 2: entry = 0; break;
    case 5: entry = 1; break;
    case 6: entry = 2; break;
    case 7: entry = 3; break;
    default: return;   // other codes leave the selection as it is
    }
    const QSignalBlocker block(cboLng);
    cboLng->setCurrentIndex(entry);
}

void OptionControls::showContrast()
{
    int v = ctx_.table[0x369];
    if (v > 8)
        v = 4;
    contrast_ = v;
    {
        // Only the operator's moves store a contrast; showing the image never
        // rewrites it, so the slider's change report is held back here.
        const QSignalBlocker quiet(Slider1);
        Slider1->setValue(v);
    }
    setTextColour(lblContrast, greyLevel(5 * v));
    lblValue->setText(QString::number(Slider1->Value()));
}

void OptionControls::showPersonalAlert()
{
    switch (ctx_.table[0x383]) {
    case 0: cboPersonAlert->setCurrentIndex(0); break;
    case 2: cboPersonAlert->setCurrentIndex(1); break;
    case 8: cboPersonAlert->setCurrentIndex(2); break;
    case 16: cboPersonAlert->setCurrentIndex(3); break;
    case 32: cboPersonAlert->setCurrentIndex(4); break;
    default: break;
    }
}

void OptionControls::applyDisplayModeRule()
{
    QCheckBox* lamp = ctx_.arrays.chkCtl[8];
    lamp->setVisible(ctx_.arrays.cboCtl[0]->currentIndex() == 1);
}

// ---- handlers --------------------------------------------------------------

void OptionControls::cboPersonAlert_Click()
{
    constexpr std::uint8_t lengths[] = {0, 2, 8, 16, 32};
    const int p = cboPersonAlert->currentIndex();
    if (p >= 0 && p < 5)
        ctx_.table[0x383] = lengths[p];
}

void OptionControls::cboSLC_Click()
{
    const int p = cboSLC->currentIndex();
    if (p == 0) {
        PutBits(ctx_.table, 0x3C, 3, 0, 1);
    } else if (p >= 1 && p <= 4) {
        PutBits(ctx_.table, 0x3C, 3, 1, 1);
        PutBits(ctx_.table, 0x3C, 0, static_cast<std::uint8_t>(p - 1), 2);
    }
}

void OptionControls::cboLng_Click()
{
    const int entry = cboLng->currentIndex();
    if (entry < 0 || entry > 3)
        return;
    loadPromptLanguage(ctx_.table, static_cast<PromptLanguage>(entry));
}

void OptionControls::cbologo_Click()
{
    const auto tag = parseFieldTag(controlTag(cbologo).toStdString());
    const int entry = cbologo->currentIndex();
    if (!tag || entry < 0)
        return;
    PutBits(ctx_.table, tag->byteIndex, tag->firstBit, entry == 0 ? 0 : 2, tag->width);
}

void OptionControls::Slider1_Changed(int value)
{
    ctx_.table[0x369] = static_cast<std::uint8_t>(value);
    contrast_ = value;
    setTextColour(lblContrast, greyLevel(80 - 10 * value));
    lblValue->setText(QString::number(value));
}

} // namespace px316t
