#include "ui/frequency_panel.h"

#include "ui/field_events.h"
#include "editor/numeric_text.h"
#include "ui/control_list.h"
#include "ui/dialogs.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

namespace px316t {
namespace {

QString hexText(std::uint32_t value) { return QString::number(value, 16).toUpper(); }

} // namespace

FrequencyPanel::FrequencyPanel(EditorContext& context, ControlFactory& factory, QWidget* frequencyFrame,
                               QWidget* page, const QRect& pllRect)
    : QObject(page), ctx_(context)
{
    cboDft = factory.comboBox(frequencyFrame, QStringLiteral("cboDft"),
                              {QString::fromLatin1(bandText(Band::VHF).data(), bandText(Band::VHF).size()),
                               QString::fromLatin1(bandText(Band::UHF).data(), bandText(Band::UHF).size()),
                               QString::fromLatin1(bandText(Band::Top).data(), bandText(Band::Top).size())},
                              QRect(240, 240, 1800, 315));
    txtFreq = factory.textBox(frequencyFrame, QStringLiteral("txtFreq"), 7, QRect(2280, 255, 1050, 285));
    lblHz = factory.label(frequencyFrame, QStringLiteral("Label3"), QStringLiteral("00Hz"), QRect(3345, 285, 600, 240));

    picPLL = factory.pictureBox(page, QStringLiteral("picPLL"), pllRect);
    picPLL->setFocusPolicy(Qt::NoFocus);
    picPLL->setAutoFillBackground(true);
    struct Caption { const char* caption; const char* name; QLabel** value; QPoint at; };
    const Caption captions[] = {
        {"BFreq:", "lblBfreq", &lblBfreq, {120, 120}},
        {"PLL-N:", "lblPLLN", &lblPLLN, {3000, 120}},
        {"PLL-R:", "lblPLLR", &lblPLLR, {5880, 120}},
        {"INCD:", "lblINCD", &lblINCD, {120, 480}},
        {"Channel:", "lblCHANNEL", &lblCHANNEL, {3000, 480}},
        {"Frame:", "lblFrame", &lblFrame, {5880, 480}},
    };
    int captionIndex = 4;
    for (const Caption& c : captions) {
        factory.label(picPLL, QStringLiteral("Label%1").arg(captionIndex++), QString::fromLatin1(c.caption),
                      QRect(c.at.x(), c.at.y(), 1080, 255));
        *c.value = factory.label(picPLL, QString::fromLatin1(c.name), QString(),
                                 QRect(c.at.x() + 1100, c.at.y(), 1600, 255));
    }
    lblFrame->setText(QStringLiteral("0000"));

    connect(cboDft, &QComboBox::currentIndexChanged, this, [this] { cboDft_Click(); });
    new FieldEvents(txtFreq, {
        [this] { txtFreq_GotFocus(); },
        [this](QKeyEvent* e) { return txtFreq_KeyPress(e); },
        [this](QKeyEvent*) { txtFreq_KeyUp(); },
        [this] { txtFreq_LostFocus(); },
    });
}

std::optional<Band> FrequencyPanel::selectedBand() const
{
    const int index = cboDft->currentIndex();
    if (index < 0 || index > 2)
        return std::nullopt;
    return static_cast<Band>(index);
}

void FrequencyPanel::read_BaseFreq()
{
    baseFreqHz_ = baseFrequencyHz(ctx_.table);
}

void FrequencyPanel::read_freq()
{
    txtFreq->clear();
    setFieldText(txtFreq, QString::number(readBigEndian32(ctx_.table, 0xF4)));
    checkedText_ = txtFreq->text();
    read_pll();
}

void FrequencyPanel::read_pll()
{
    read_BaseFreq();
    const PagerTable& t = ctx_.table;
    lblBfreq->setText(QString::number(baseFreqHz_ / 100));
    lblINCD->setText(hexText(t[0x0D]));
    lblPLLR->setText(hexText(t[0x0A] * 256u + t[0x0B]));
    channelSpacingKHz_ = t[0x0E];
    lblCHANNEL->setText(QString::number(t[0x0E]) + QStringLiteral("KHz"));
    lblPLLN->setText(hexText((t[0x05] * 256u + t[0x06]) * 256u + t[0x07]));
}

void FrequencyPanel::selectBandFromImage()
{
    presetSuppressed_ = true;
    if (const auto band = bandFromImage(ctx_.table))
        cboDft->setCurrentIndex(static_cast<int>(*band));
    presetSuppressed_ = false;   // still set when the selection did not change
}

void FrequencyPanel::selectBand(Band band) { cboDft->setCurrentIndex(static_cast<int>(band)); }

void FrequencyPanel::cboDft_Click()
{
    if (presetSuppressed_) {
        presetSuppressed_ = false;
        return;
    }
    const auto band = selectedBand();
    if (!band)
        return;
    applyBandPreset(ctx_.table, presetForBand(*band), true);
    if (ctx_.init_ctl)
        ctx_.init_ctl();
}

void FrequencyPanel::txtFreq_GotFocus()
{
    setFieldText(txtFreq, QString());
    checkedText_.clear();
}

bool FrequencyPanel::txtFreq_KeyPress(QKeyEvent* event) { return entryKeyPress(ctx_, event); }

bool FrequencyPanel::checkTypedFrequency()
{
    const QString text = txtFreq->text();
    if (!text.isEmpty() && !parseNumber(text.toStdString())) {
        ctx_.messages.message(QStringLiteral("Please insert a decimal numeric!"), MessageBoxes::Icon::Warning);
        read_freq();
        txtFreq->setFocus(Qt::OtherFocusReason);
        return false;
    }
    checkedText_ = text;
    return true;
}

void FrequencyPanel::txtFreq_KeyUp() { checkTypedFrequency(); }

void FrequencyPanel::refuse(const QString& message)
{
    ctx_.messages.message(message, MessageBoxes::Icon::Warning);
    ctx_.flags.EntryRejected = true;
    txtFreq->setFocus(Qt::OtherFocusReason);
}

void FrequencyPanel::txtFreq_LostFocus()
{
    // Text that arrived without a key release (pasted with the mouse) is checked first.
    if (txtFreq->text() != checkedText_ && !checkTypedFrequency()) {
        ctx_.flags.EntryRejected = true;
        return;
    }
    const QString text = txtFreq->text();
    if (text.isEmpty()) {
        ctx_.flags.EntryRejected = false;
        read_freq();
        return;
    }
    const auto value = parseNumber(text.toStdString());
    if (!value)
        return;   // cannot happen: the check above refused it
    const auto band = selectedBand();
    const double f = roundHalfEven(*value);
    if (band && !frequencyInBand(*band, *value)) {
        refuse(QString::fromStdString(bandErrorMessage(*band)));
        return;
    }
    const RasterResult raster = checkRaster(band, *value, baseFreqHz_, channelSpacingKHz_);
    if (raster.verdict == RasterVerdict::Refuse) {
        refuse(QStringLiteral("Channel Spacing Error!"));
        return;
    }
    if (raster.preset)
        applyBandPreset(ctx_.table, *raster.preset, false);
    // Inside a band the number always fits the 32-bit field; without a band it is
    // kept to the field's range rather than wrapped.
    const double stored = std::clamp(f, 0.0, 4294967295.0);
    writeBigEndian32(ctx_.table, 0xF4, static_cast<std::uint32_t>(stored));
    read_freq();
}

} // namespace px316t
