#include "ui/frequency_panel.h"

#include "ui/field_events.h"
#include "editor/numeric_text.h"
#include "ui/control_list.h"
#include "ui/dialogs.h"
#include "ui/field_binding.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>
#include <utility>

namespace px316t {
FrequencyPanel::FrequencyPanel(EditorContext& context, ControlFactory& factory, QWidget* frequencyFrame,
                               QWidget* page, const QRect& pllRect)
    : QObject(page), ctx_(context)
{
    cboDft = factory.comboBox(frequencyFrame, QStringLiteral("cboDft"), catalogItems("band"),
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
    bindCatalogField(cboDft, "band");
    bindCatalogField(txtFreq, "frequency");
    for (const auto& [label, field] : {std::pair{lblBfreq, "base_frequency"}, std::pair{lblPLLN, "pll.n"},
                                       std::pair{lblPLLR, "pll.r"}, std::pair{lblINCD, "pll.incd"},
                                       std::pair{lblCHANNEL, "channel_spacing"}, std::pair{lblFrame, "frame_mask"}})
        bindCatalogField(label, field);

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
    setFieldText(txtFreq, QString::fromStdString(shownField(ctx_, "frequency")));
    checkedText_ = txtFreq->text();
    read_pll();
}

void FrequencyPanel::read_pll()
{
    read_BaseFreq();
    auto shown = [this](const char* name) { return QString::fromStdString(shownField(ctx_, name)); };
    lblBfreq->setText(shown("base_frequency"));
    lblINCD->setText(shown("pll.incd"));
    lblPLLR->setText(shown("pll.r"));
    channelSpacingKHz_ = ctx_.table[map::ChannelSpacingKHz];
    lblCHANNEL->setText(shown("channel_spacing"));
    lblPLLN->setText(shown("pll.n"));
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
    if (ctx_.showing)
        return;
    if (!selectedBand())
        return;
    // Choosing a band loads its preset, operating frequency included.
    storeField(ctx_, "band", cboDft->currentText().toStdString());
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
        ctx_.messages.message(QString::fromLatin1(NotDecimalMessage), MessageBoxes::Icon::Warning);
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
    // Checked against the band the selector shows and the synthesizer values of
    // the last refresh.
    const SetResult stored =
        storeOperatingFrequency(ctx_.table, *value, selectedBand(), baseFreqHz_, channelSpacingKHz_);
    if (stored.outcome != SetOutcome::Changed) {
        refuse(QString::fromStdString(stored.message));
        return;
    }
    read_freq();
}

} // namespace px316t
