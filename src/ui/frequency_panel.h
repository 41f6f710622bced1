#pragma once
// The "Frequency" group (band selector and frequency field) and the synthesizer
// panel that shows the values the pager's synthesizer is loaded with.
#include "editor/band_rules.h"
#include "editor/pager_document.h"
#include "ui/editor_context.h"

#include <QObject>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace px316t {

class ControlFactory;

class FrequencyPanel : public QObject {
public:
    // `frequencyFrame` is the group "Frequency"; the synthesizer panel is created
    // on `page` at `pllRect` (twips).
    FrequencyPanel(EditorContext& context, ControlFactory& factory, QWidget* frequencyFrame, QWidget* page,
                   const QRect& pllRect);

    // Shows the stored frequency, then the synthesizer panel.
    void read_freq();
    void read_pll();
    // The band selector shows the document's band (which follows byte 0xF1 of
    // a loaded or read image) without loading a preset.
    void selectBandFromImage();
    // Selects a band as the operator would, loading its preset.
    void selectBand(Band band);

    bool PresetSuppressed() const { return presetSuppressed_; }

    QComboBox* cboDft = nullptr;
    QLineEdit* txtFreq = nullptr;
    QLabel* lblHz = nullptr;
    QWidget* picPLL = nullptr;
    QLabel* lblBfreq = nullptr;
    QLabel* lblINCD = nullptr;
    QLabel* lblPLLN = nullptr;
    QLabel* lblPLLR = nullptr;
    QLabel* lblCHANNEL = nullptr;
    QLabel* lblFrame = nullptr;

private:
    EditorContext& ctx_;
    PagerDocument::Subscription listening_;
    bool presetSuppressed_ = false;
};

} // namespace px316t
