#include "ui/option_controls.h"

#include "editor/pager_document.h"
#include "ui/binding/check_binding.h"
#include "ui/binding/choice_binding.h"
#include "ui/binding/slider_binding.h"
#include "ui/control_list.h"
#include "ui/ct_eb_slider.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QSignalBlocker>

#include <string>

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
    // Every setting is a field of the catalogue: the control takes its tag and
    // list entries from there, and shows and stores through it.
    auto check = [&](QWidget* frame, int index, int row, const char* caption, const char* field) {
        chk[index] = factory.checkBox(frame, QStringLiteral("chkCtl"), QString::fromLatin1(caption),
                                      rowRect(row, kCaptionLeft, 3960), catalogTag(field));
        new CheckBinding(chk[index], ctx_.document, field);
        return chk[index];
    };
    auto captioned = [&](QWidget* frame, int row, const QString& name, const char* caption) {
        return factory.label(frame, name, QString::fromLatin1(caption), rowRect(row, kCaptionLeft, 2260).translated(0, 30));
    };
    auto combo = [&](QWidget* frame, int row, const QString& name, const char* field, int width = 1740) {
        QComboBox* box = factory.comboBox(frame, name, catalogItems(field), rowRect(row, kComboLeft, width, 300),
                                          catalogTag(field));
        new ChoiceBinding(box, ctx_.document, field);
        return box;
    };

    fraAlerts = factory.frame(page, QStringLiteral("fraAlerts"), QStringLiteral("Alerts"), QRect(120, 60, 4380, 3000));
    check(fraAlerts, 2, 0, "Counter Out Enable", "counter_out_enable");
    check(fraAlerts, 4, 1, "Alert and Vibrate", "alert_and_vibrate");
    check(fraAlerts, 26, 2, "Alert Cadence Enable", "alert_cadence_enable")
        ->setToolTip(QStringLiteral("Alert cadence for first 4 capcode as POCSAG 4 tone alerts ."));
    captioned(fraAlerts, 3, QStringLiteral("Label16"), "Personal Alert Length");
    cboPersonAlert = combo(fraAlerts, 3, QStringLiteral("cboPersonAlert"), "personal_alert_length");
    check(fraAlerts, 6, 4, "Lowcell Alert Control", "lowcell_alert_control");
    check(fraAlerts, 7, 5, "Out-of Service Control", "out_of_service_control");
    captioned(fraAlerts, 6, QStringLiteral("Label17"), "Music Type Select");
    cbo[3] = combo(fraAlerts, 6, QStringLiteral("cboCtl"), "music_type_select",
                   1880);   // wide enough for its longest entry, within the frame
    captioned(fraAlerts, 7, QStringLiteral("Label18"), "Reminder Duartion Control");
    cbo[4] = combo(fraAlerts, 7, QStringLiteral("cboCtl"), "reminder_duartion_control");

    fraManualWrite = factory.frame(page, QStringLiteral("fraManualWrite"), QStringLiteral("Manual Write"),
                                   QRect(120, 3120, 4380, 2000));
    check(fraManualWrite, 9, 0, "Manual Write Enable", "manual_write_enable");
    check(fraManualWrite, 3, 1, "Frequency Modification Enable", "frequency_modification_enable");
    check(fraManualWrite, 27, 2, "Password Modification Enable ", "password_modification_enable");
    check(fraManualWrite, 28, 3, "Password Required", "password_required");

    fraStatus = factory.frame(page, QStringLiteral("fraStatus"), QStringLiteral("Status"), QRect(4560, 60, 4260, 3420));
    check(fraStatus, 5, 0, "Air Program Enable", "air_program_enable");
    check(fraStatus, 1, 1, "Discard Error Message", "discard_error_message");
    captioned(fraStatus, 2, QStringLiteral("Label19"), "Read Time Out");
    cbo[1] = combo(fraStatus, 2, QStringLiteral("cboCtl"), "read_time_out");
    captioned(fraStatus, 3, QStringLiteral("Label20"), "Numeric Display Mode");
    cbo[5] = combo(fraStatus, 3, QStringLiteral("cboCtl"), "numeric_display_mode");
    captioned(fraStatus, 4, QStringLiteral("Label21"), "Paging Display Mode");
    cbo[0] = combo(fraStatus, 4, QStringLiteral("cboCtl"), "paging_display_mode");
    check(fraStatus, 8, 5, "Direct Show Lamp On", "direct_show_lamp_on");
    captioned(fraStatus, 6, QStringLiteral("Label22"), "Sequential Lockout");
    cboSLC = combo(fraStatus, 6, QStringLiteral("cboSLC"), "sequential_lockout");
    check(fraStatus, 0, 7, "Display Source Enable", "display_source_enable");
    captioned(fraStatus, 8, QStringLiteral("Label23"), "Screen Contrast");
    Slider1 = new ctlEBSlider(fraStatus);
    Slider1->setToolTip(QStringLiteral("Screen contrast level."));
    factory.placeWithoutFont(Slider1, fraStatus, QStringLiteral("Slider1"), rowRect(8, 1740, 1155, 300));
    new SliderBinding(Slider1, ctx_.document, "screen_contrast");
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
    cboLng = combo(fraPrompts, 1, QStringLiteral("cboLng"), "prompt_language");
    captioned(fraPrompts, 2, QStringLiteral("Label26"), "Logo Font");
    cbologo = combo(fraPrompts, 2, QStringLiteral("cbologo"), "logo_font");
    captioned(fraPrompts, 3, QStringLiteral("Label27"), "Date Display Method")
        ->setToolTip(QStringLiteral("If DD/MM is selected,the date format is day and month.If  MM/DD is selected,"
                                    "the date format is month and day."));
    cbo[6] = combo(fraPrompts, 3, QStringLiteral("cboCtl"), "date_display_method");

    // The bindings store the slider's changes; the label and the word "Screen" follow.
    connect(Slider1, &ctlEBSlider::Changed, this, [this] { Slider1_Changed(Slider1->Value()); });
}

// ---- refresh steps ---------------------------------------------------------

void OptionControls::showSequentialLockout() { FieldBinding::of(cboSLC)->show(); }

void OptionControls::showLogoFont() { FieldBinding::of(cbologo)->show(); }

void OptionControls::showLanguage()
{
    const QSignalBlocker block(cboLng);
    FieldBinding::of(cboLng)->show();
}

void OptionControls::showContrast()
{
    auto* binding = static_cast<SliderBinding*>(FieldBinding::of(Slider1));
    binding->show();
    setTextColour(lblContrast, greyLevel(5 * binding->shownLevel()));
    lblValue->setText(QString::number(Slider1->Value()));
}

void OptionControls::showPersonalAlert() { FieldBinding::of(cboPersonAlert)->show(); }

void OptionControls::applyDisplayModeRule()
{
    QCheckBox* lamp = ctx_.arrays.chkCtl[8];
    lamp->setVisible(ctx_.arrays.cboCtl[0]->currentIndex() == 1);
}

// ---- handlers --------------------------------------------------------------

void OptionControls::Slider1_Changed(int value)
{
    setTextColour(lblContrast, greyLevel(80 - 10 * value));
    lblValue->setText(QString::number(value));
}

} // namespace px316t
