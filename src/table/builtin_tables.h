#pragma once
// The factory data carried inside the program: the default pager image, the four
// prompt sets, the band presets and the fixed strings of the USB board protocol.
// All of it is read-only.
#include "table/pager_table.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace px316t {

using Bytes = std::vector<std::uint8_t>;

constexpr int ConfigBlockSize = 256;   // lands at 0x000
constexpr int PromptBlockSize = 580;   // lands at 0x100: 29 records of 20 bytes
constexpr int TrailerBlockSize = 76;   // lands at 0x344
constexpr int PromptRegionStart = 0x100;
constexpr int TrailerStart = 0x344;
constexpr int PromptRecordSize = 20;
constexpr int PromptRecordCount = 29;

enum class PromptLanguage { English = 0, Spanish = 1, French = 2, Portuguese = 3 };

const std::array<std::uint8_t, ConfigBlockSize>& DefaultConfigBlock();
const std::array<std::uint8_t, TrailerBlockSize>& DefaultTrailerBlock();
const std::array<std::uint8_t, PromptBlockSize>& PromptSet(PromptLanguage language);

// The language code the pager stores for each prompt set (2, 5, 6, 7).
std::uint8_t promptLanguageCode(PromptLanguage language);

// One band preset: the synthesizer block copied to 0x000..0x00F and the frequency
// pair (base frequency, default operating frequency) copied to 0x0F0..0x0F7.
struct BandPreset {
    std::array<std::uint8_t, 16> synthesizer;
    std::array<std::uint8_t, 8> frequencies;
};
enum class BandPresetId { A = 0, B, C, D, E };
const BandPreset& bandPreset(BandPresetId id);

// Maker tag that opens every frame of the USB board.
constexpr std::string_view MakerTag = "Quorvalent";

const Bytes& ReadCommandHead();     // tag "3R" 03
const Bytes& WriteCommandHead();    // tag "3S"
const Bytes& WriteAck();            // tag "3S" 01 06 00 8D
const Bytes& SettingCommandHead();  // tag "5S" 02 73
const Bytes& SettingAck();          // tag "5S" 01 06 00 8F
const Bytes& QueryCommand();        // tag "5R" 03 00 00 00 00 8A
const Bytes& QueryReplyHead();      // tag "5R" 02

// The factory pager image: configuration block, English prompt set, trailer.
PagerTable makeDefaultPagerTable();

} // namespace px316t
