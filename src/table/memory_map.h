#pragma once
// The pager's configuration memory by name: every byte, byte range and bit field
// that the editor interprets. Bytes not named here are kept as they arrived.
// Multi-byte values are big-endian; a bit field never crosses a byte.
#include "table/pager_table.h"

#include <cstdint>

namespace px316t::map {

struct ByteRange {
    int first;
    int count;
    constexpr int at(int i) const { return first + i; }
    constexpr int last() const { return first + count - 1; }
    constexpr bool contains(int address) const { return address >= first && address <= last(); }
};

// `inverted`: the setting is on when the field holds 0.
struct BitField {
    int byte;
    int firstBit;
    int width = 1;
    bool inverted = false;
};

// ---- synthesizer and band block (copied from a band preset) ----------------
inline constexpr ByteRange SynthesizerBlock{0x00, 16};
inline constexpr ByteRange PllN{0x05, 3};
inline constexpr ByteRange PllR{0x0A, 2};
inline constexpr int Incd = 0x0D;
inline constexpr int ChannelSpacingKHz = 0x0E;

// ---- option bit fields -------------------------------------------------------
inline constexpr int PriorityBits = 0x34;   // capcodes 1..8; 0x35 for 9..16, stored inverted
inline constexpr BitField FrequencyModificationEnable{0x36, 0, 1, true};
inline constexpr BitField PasswordRequired{0x36, 1};
inline constexpr BitField PasswordModificationEnable{0x36, 2};
inline constexpr BitField AlertAndVibrate{0x36, 3, 1, true};
inline constexpr BitField AlertCadenceEnable{0x36, 4, 1, true};
inline constexpr BitField DirectShowLampOn{0x36, 6, 1, true};
inline constexpr int TypeBits = 0x38;       // capcodes 1..8; 0x37 for 9..16, 1 = "Mail drop"
inline constexpr BitField ReadTimeOut{0x39, 0, 2};
inline constexpr BitField CounterOutEnable{0x39, 4, 1, true};
inline constexpr BitField LowcellAlertControl{0x39, 6};
inline constexpr BitField DisplaySourceEnable{0x39, 7};
inline constexpr BitField PromptLanguageCopy{0x3A, 0, 4};
inline constexpr BitField DateDisplayMethod{0x3B, 3};
inline constexpr BitField PagingDisplayMode{0x3B, 4};
inline constexpr BitField MailAlert{0x3B, 6};
inline constexpr BitField SequentialLockoutPeriod{0x3C, 0, 2};
inline constexpr BitField SequentialLockoutOn{0x3C, 3};
inline constexpr BitField ReminderDuartionControl{0x3C, 6, 2};
inline constexpr BitField DiscardErrorMessage{0x3D, 0};
inline constexpr BitField NumericDisplayMode{0x3D, 2};
inline constexpr BitField OutOfServiceControl{0x3D, 3};
inline constexpr BitField ManualWriteEnable{0x3D, 4, 1, true};
inline constexpr BitField MusicTypeSelect{0x3D, 5};
inline constexpr BitField AirProgramEnable{0x3D, 6};
inline constexpr BitField AllPairsLong{0x3D, 7};   // written by the capcode layout
inline constexpr BitField PromptLanguage{0x3E, 0, 4};
inline constexpr BitField LastCapcodeSlot{0x3E, 4, 4};
inline constexpr BitField LogoFont{0x3F, 0, 4};
inline constexpr int EnableBits = 0x73;     // capcodes 1..8; 0x72 for 9..16

// The bits of capcode k (0..15) in the three families of sixteen.
constexpr BitField capcodeEnable(int k) { return {EnableBits - k / 8, k % 8}; }
constexpr BitField capcodeType(int k) { return {TypeBits - k / 8, k % 8}; }
constexpr BitField capcodePriority(int k) { return {PriorityBits + k / 8, k % 8, 1, true}; }

// ---- frame records and capcode slots ------------------------------------------
inline constexpr ByteRange FrameRecords{0x90, 32};
inline constexpr int FrameRecordSize = 4;
inline constexpr int FrameRecordCount = 8;
inline constexpr int FrameMaskHigh = 0x92;   // frames 8..15
inline constexpr int FrameMaskLow = 0x93;    // frames 0..7
inline constexpr ByteRange CapcodeSlots{0xB0, 64};
inline constexpr int CapcodeSlotSize = 4;
inline constexpr int CapcodeSlotCount = 16;
// Slot k: an identifier byte that is never written, then the 21-bit word whose
// first byte carries the long-word flag in bit 6.
constexpr ByteRange capcodeSlot(int k) { return {CapcodeSlots.first + CapcodeSlotSize * k, CapcodeSlotSize}; }
constexpr BitField longWordFlag(int k) { return {capcodeSlot(k).at(1), 6}; }

// ---- frequencies, in units of 100 Hz -------------------------------------------
inline constexpr ByteRange BaseFrequency{0xF0, 4};
inline constexpr ByteRange OperatingFrequency{0xF4, 4};

// ---- prompts and the trailer ------------------------------------------------------
inline constexpr ByteRange PromptRecords{0x100, 580};   // 29 records of 20 bytes; record 0 is the logo
inline constexpr int ScreenContrast = 0x369;
inline constexpr ByteRange Password{0x36C, 4};          // one decimal digit a byte, units first
inline constexpr ByteRange MailDropAlertLengths{0x373, 16};
constexpr int mailDropAlertLength(int k) { return MailDropAlertLengths.at(k); }
inline constexpr int PersonalAlertLength = 0x383;

// Reads and writes a field as it is stored (`inverted` is the caller's to apply).
inline std::uint8_t read(const PagerTable& table, BitField f)
{
    return GetBits(table, static_cast<std::int16_t>(f.byte), static_cast<std::uint8_t>(f.firstBit),
                   static_cast<std::uint8_t>(f.width));
}

inline void write(PagerTable& table, BitField f, int value)
{
    PutBits(table, static_cast<std::int16_t>(f.byte), static_cast<std::uint8_t>(f.firstBit),
            static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(f.width));
}

// A one-bit setting as on or off, `inverted` applied.
inline bool isOn(const PagerTable& table, BitField f) { return (read(table, f) != 0) != f.inverted; }
inline void setOn(PagerTable& table, BitField f, bool on) { write(table, f, on != f.inverted ? 1 : 0); }

} // namespace px316t::map
