#pragma once
// The three frequency bands, their limits, channel rasters and presets.
// Frequencies in the image are in units of 100 Hz.
#include "table/builtin_tables.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace px316t {

enum class Band { VHF = 0, UHF = 1, Top = 2 };     // list positions of the band selector

// "130-180MHz", "400-499MHz", "928-932MHz".
std::string_view bandText(Band band);

struct BandLimits {
    std::int64_t low;    // characters 1..3 of the band text x 10000
    std::int64_t high;   // characters 5..7 of the band text x 10000
};
BandLimits bandLimits(Band band);

// "Frequency setting error(9280000 < = Frequency < =9320000 )" for the top band.
std::string bandErrorMessage(Band band);

// The band check of a typed frequency: the field value rounded half to even lies
// within the band's limits, both inclusive.
bool frequencyInBand(Band band, double fieldValue);

// Preset loaded when a band is chosen: A, C or E.
BandPresetId presetForBand(Band band);

// The band that byte 0xF1's high nibble names (1, 4, 8), or nothing.
std::optional<Band> bandFromImage(const PagerTable& table);

// The band the window selects at start-up, which loads its preset.
inline constexpr Band StartupBand = Band::Top;

// The image a freshly started window holds: the default image with the preset
// of the start-up band and its default frequency. Every new image starts here.
PagerTable startupPagerTable();

// Copies a preset's synthesizer block to 0x00..0x0F and its base frequency to
// 0xF0..0xF3; with `withOperatingFrequency` also its default frequency to 0xF4..0xF7.
void applyBandPreset(PagerTable& table, BandPresetId preset, bool withOperatingFrequency);

// The base frequency of the image in Hz (bytes 0xF0..0xF3 x 100); 64 bits wide, so
// every stored value fits.
std::int64_t baseFrequencyHz(const PagerTable& table);

enum class RasterVerdict { Accept, Refuse };
struct RasterResult {
    RasterVerdict verdict;
    std::optional<BandPresetId> preset;   // preset to copy on acceptance, if any
};

// Channel raster check of a typed frequency (field value, in units of 100 Hz) in
// the selected band (nothing selected: accepted without check). The top band uses
// the base frequency (Hz) and channel spacing (kHz) of the last refresh; a spacing
// that rounds to less than 1 Hz (a spacing byte of 0) cannot be checked and is
// refused. Wide arithmetic: any stored base frequency is handled without overflow.
RasterResult checkRaster(std::optional<Band> band, double fieldValue, std::int64_t baseFreqHz,
                         double channelSpacingKHz);

} // namespace px316t
