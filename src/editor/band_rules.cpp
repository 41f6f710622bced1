#include "editor/band_rules.h"

#include "editor/numeric_text.h"
#include "table/memory_map.h"

#include <cmath>
#include <string>

namespace px316t {
namespace {


// |difference| beyond this cannot be a sensible frequency in Hz and would leave
// the exact range of int64 after rounding.
constexpr double WidestDifferenceHz = 9.0e15;

std::int64_t bandEdge(std::string_view text, std::size_t offset)
{
    std::int64_t value = 0;
    for (char c : text.substr(offset, 3))
        value = value * 10 + (c - '0');
    return value * 10000;
}

// Whether (frequencyHz - originHz), rounded, is a whole number of steps.
bool onRaster(double frequencyHz, double originHz, std::int64_t stepHz)
{
    const double difference = roundHalfEven(frequencyHz - originHz);
    if (!(std::fabs(difference) <= WidestDifferenceHz) || stepHz <= 0)
        return false;
    return static_cast<std::int64_t>(difference) % stepHz == 0;
}

} // namespace

std::string_view bandText(Band band)
{
    switch (band) {
    case Band::VHF:
        return "130-180MHz";
    case Band::UHF:
        return "400-499MHz";
    case Band::Top:
        break;
    }
    return "928-932MHz";
}

BandLimits bandLimits(Band band)
{
    const std::string_view text = bandText(band);
    return {bandEdge(text, 0), bandEdge(text, 4)};
}

std::string bandErrorMessage(Band band)
{
    const std::string_view text = bandText(band);
    std::string message = "Frequency setting error(";
    message += text.substr(0, 3);
    message += "0000 < = Frequency < =";
    message += text.substr(4, 3);
    message += "0000 )";
    return message;
}

bool frequencyInBand(Band band, double fieldValue)
{
    const double f = roundHalfEven(fieldValue);
    const BandLimits limits = bandLimits(band);
    return f >= double(limits.low) && f <= double(limits.high);
}

BandPresetId presetForBand(Band band)
{
    switch (band) {
    case Band::VHF:
        return BandPresetId::A;
    case Band::UHF:
        return BandPresetId::C;
    case Band::Top:
        break;
    }
    return BandPresetId::E;
}

std::optional<Band> bandFromImage(const PagerTable& table)
{
    switch (table[0xF1] >> 4) {
    case 1:
        return Band::VHF;
    case 4:
        return Band::UHF;
    case 8:
        return Band::Top;
    default:
        return std::nullopt;
    }
}

void applyBandPreset(PagerTable& table, BandPresetId preset, bool withOperatingFrequency)
{
    const BandPreset& p = bandPreset(preset);
    for (std::size_t i = 0; i < p.synthesizer.size(); ++i)
        table[i] = p.synthesizer[i];
    const std::size_t frequencyBytes = withOperatingFrequency ? 8 : 4;
    for (std::size_t i = 0; i < frequencyBytes; ++i)
        table[map::BaseFrequency.at(static_cast<int>(i))] = p.frequencies[i];
}

PagerTable startupPagerTable()
{
    PagerTable table = makeDefaultPagerTable();
    applyBandPreset(table, presetForBand(StartupBand), true);
    return table;
}

std::int64_t baseFrequencyHz(const PagerTable& table)
{
    return std::int64_t(readBigEndian32(table, map::BaseFrequency.first)) * 100;
}

RasterResult checkRaster(std::optional<Band> band, double fieldValue, std::int64_t baseFreqHz,
                         double channelSpacingKHz)
{
    const RasterResult refuse{RasterVerdict::Refuse, std::nullopt};
    if (!band)
        return {RasterVerdict::Accept, std::nullopt};
    if (!std::isfinite(fieldValue))
        return refuse;
    const double hz = fieldValue * 100.0;
    switch (*band) {
    case Band::VHF:
        if (onRaster(hz, 137000000.0, 5000))
            return {RasterVerdict::Accept, BandPresetId::A};
        if (onRaster(hz, 137012500.0, 25000))
            return {RasterVerdict::Accept, BandPresetId::B};
        return refuse;
    case Band::UHF:
        if (onRaster(hz, 450000000.0, 5000))
            return {RasterVerdict::Accept, BandPresetId::C};
        if (onRaster(hz, 450012500.0, 25000))
            return {RasterVerdict::Accept, BandPresetId::D};
        return refuse;
    case Band::Top:
        break;
    }
    if (!std::isfinite(channelSpacingKHz))
        return refuse;
    const double spacingHz = roundHalfEven(channelSpacingKHz * 1000.0);
    if (!(spacingHz >= 1.0 && spacingHz <= WidestDifferenceHz))
        return refuse;
    if (onRaster(hz, double(baseFreqHz), static_cast<std::int64_t>(spacingHz)))
        return {RasterVerdict::Accept, std::nullopt};
    return refuse;
}

} // namespace px316t
