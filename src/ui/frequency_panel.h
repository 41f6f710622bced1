#pragma once
// The "Frequency" group (band selector and frequency field) and the synthesizer
// panel that shows the values the pager's synthesizer is loaded with.
#include "editor/band_rules.h"
#include "ui/editor_context.h"

#include <QObject>

#include <cstdint>
#include <optional>

class QComboBox;
class QGroupBox;
class QKeyEvent;
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

    void read_BaseFreq();
    void read_freq();
    void read_pll();
    // The band selector follows byte 0xF1 of a loaded or read image without
    // loading a preset.
    void selectBandFromImage();
    // Selects a band as the operator would, loading its preset.
    void selectBand(Band band);
    std::optional<Band> selectedBand() const;

    std::int64_t BaseFreqHz() const { return baseFreqHz_; }
    double ChannelSpacingKHz() const { return channelSpacingKHz_; }
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
    void cboDft_Click();
    void txtFreq_GotFocus();
    bool txtFreq_KeyPress(QKeyEvent* event);
    void txtFreq_KeyUp();
    void txtFreq_LostFocus();
    // The key-release check; false when the text was refused (message shown).
    bool checkTypedFrequency();
    void refuse(const QString& message);

    EditorContext& ctx_;
    std::int64_t baseFreqHz_ = 0;        // Hz; wide, so that any stored value fits
    double channelSpacingKHz_ = 0;
    bool presetSuppressed_ = false;
    QString checkedText_;
};

} // namespace px316t
