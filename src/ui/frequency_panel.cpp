#include "ui/frequency_panel.h"

#include "editor/pager_document.h"
#include "ui/binding/choice_binding.h"
#include "ui/binding/label_binding.h"
#include "ui/binding/text_binding.h"
#include "ui/control_list.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

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
    // Choosing a band loads its preset, operating frequency included; the
    // document then has the whole window shown again.
    new ChoiceBinding(cboDft, ctx_.document, "band");
    // Only the number is checked while typing; band and raster when the field is left.
    TextBinding::Rules typed;
    typed.emptiedOnEntry = true;
    typed.tracksRejection = true;
    typed.keyRelease = TextBinding::Rules::KeyRelease::Check;
    typed.leave = TextBinding::Rules::Leave::Store;
    new TextBinding(txtFreq, ctx_.document, "frequency", ctx_.messages, ctx_.picTabBack, std::move(typed));
    for (const auto& [label, field] : {std::pair{lblBfreq, "base_frequency"}, std::pair{lblPLLN, "pll.n"},
                                       std::pair{lblPLLR, "pll.r"}, std::pair{lblINCD, "pll.incd"},
                                       std::pair{lblCHANNEL, "channel_spacing"}, std::pair{lblFrame, "frame_mask"}})
        new LabelBinding(label, ctx_.document, field);
    // An accepted frequency may have loaded the preset of its raster.
    listening_ = ctx_.document.listen([this](DocumentChange change) {
        if (change == DocumentChange::Frequency)
            read_pll();
    });
}

void FrequencyPanel::read_freq()
{
    FieldBinding::of(txtFreq)->show();
    read_pll();
}

void FrequencyPanel::read_pll()
{
    for (QLabel* label : {lblBfreq, lblINCD, lblPLLR, lblCHANNEL, lblPLLN})
        FieldBinding::of(label)->show();
}

void FrequencyPanel::selectBandFromImage()
{
    presetSuppressed_ = true;
    FieldBinding::of(cboDft)->show();
    presetSuppressed_ = false;
}

void FrequencyPanel::selectBand(Band band) { cboDft->setCurrentIndex(static_cast<int>(band)); }

} // namespace px316t
