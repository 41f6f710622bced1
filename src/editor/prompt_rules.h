#pragma once
// The 29 prompt records of the pager image (the power-up logo and the 28 menu
// prompts) as the editor shows and stores them, the prompt language and the logo
// font. Texts are UTF-8; the pager stores one Windows-1252 byte per character.
#include "table/builtin_tables.h"
#include "table/pager_table.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace px316t {

// Record 0 is the power-up logo, records 1..28 the menu prompts.
constexpr int LogoPrompt = 0;
constexpr int LastPrompt = PromptRecordCount - 1;
// A record has room for 18 characters after its two header bytes.
constexpr int PromptMaxChars = PromptRecordSize - 2;
// The leading-space code has four bits; codes above 15 do not exist.
constexpr int PromptMaxLeadingSpaces = 14;
// What a prompt box accepts from the keyboard.
constexpr int PromptBoxMaxLength = 20;

// Index in the image of byte 0 of record n (0..28).
constexpr int promptRecordOffset(int n) { return PromptRegionStart + PromptRecordSize * n; }

// ---- characters ------------------------------------------------------------

// Each byte becomes one character. The five bytes Windows-1252 leaves unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters of the same
// number, so that every byte survives a round trip.
std::string windows1252ToUtf8(std::span<const std::uint8_t> bytes);
// Each character becomes exactly one byte; a character the code page does not
// have, and every byte of malformed UTF-8, becomes '?'.
std::vector<std::uint8_t> utf8ToWindows1252(std::string_view text);
// Number of characters (code points; a malformed byte counts as one).
int characterCount(std::string_view text);

// The text in Unicode's composed form (NFC), as the window stores a typed text:
// "e" followed by a combining acute accent becomes the one character U+00E9,
// which the code page has. Malformed UTF-8 bytes become U+FFFD.
std::string composedText(std::string_view text);
// The first character of `text` the code page has no byte for, as UTF-8 (a
// malformed byte gives U+FFFD); nothing when every character fits.
std::optional<std::string> characterOutsideCodePage(std::string_view text);
// The first character of `text` named so that a message shows it: "U+0085"
// for one that shows nothing or looks like another (controls, spaces,
// format characters, combining marks), "\u263A (U+263A)" for the others.
std::string characterName(std::string_view text);

// ---- text as one line ------------------------------------------------------

// A text on one printable line, so that a listing of NAME=VALUE lines cannot
// be misread: a backslash becomes "\\", line feed, carriage return and tab
// "\n", "\r", "\t", and every other character that shows nothing or
// something else (control characters, the code page's unassigned bytes, the
// no-break space and the soft hyphen) "\xHH" with its code point U+00HH, which
// is also its byte in the code page. Everything else stays as it is.
std::string escapedText(std::string_view text);
// The reverse of escapedText; nothing for a backslash that starts no escape.
std::optional<std::string> unescapedText(std::string_view text);

// ---- records ---------------------------------------------------------------

// The prompt as shown: (leading-space code - 1) spaces, then its characters. A
// stored length above the record's room shows the room only.
std::string readPromptText(const PagerTable& table, int n);

// Stores a box's text into record n: leading spaces as the leading-space code
// (at most 14), the text without leading and trailing spaces, cut to its first
// 18 characters. The attribute nibble and the bytes after the stored characters
// keep what they held; nothing outside the record's 20 bytes changes. An index
// outside 0..28 changes nothing.
void commitPromptText(PagerTable& table, int n, std::string_view text);

// Copies record n of the built-in English set over record n.
void restoreDefaultPrompt(PagerTable& table, int n);

// ---- the prompt boxes ---------------------------------------------------------

// A byte below 0x20 in a record is shown in a box as its control picture
// (U+2400 + byte), so that the technician sees it instead of a blank; the
// picture turns back into the byte when the box is stored, so a record left
// unedited is stored unchanged.
std::string withControlPictures(std::string_view text);
std::string withoutControlPictures(std::string_view text);

// What a paste (or any insertion) into a prompt box keeps: its first line, and
// of that no character below 0x20 and no control picture (U+2400 .. U+2421).
std::string pastedPromptText(std::string_view text);

// ---- alignment -------------------------------------------------------------

enum class PromptAlignment { Left, Center, Right };

// The text without leading and trailing spaces, padded on the left to sit at the
// left, in the middle or at the right of a box of `maxLength` characters. A text
// longer than the box gets no padding.
std::string alignPromptText(std::string_view text, PromptAlignment alignment, int maxLength);

// ---- language and logo font -------------------------------------------------

// The set shown for a stored language code (low nibble of 0x3E); nothing for
// codes that name no set.
std::optional<PromptLanguage> promptLanguageFromCode(std::uint8_t code);
std::optional<PromptLanguage> storedPromptLanguage(const PagerTable& table);

// Writes the language code into bytes 0x3A and 0x3E and copies the whole set
// (all 29 records) over the prompt region.
void loadPromptLanguage(PagerTable& table, PromptLanguage language);

enum class LogoFont { Large = 0, Small = 2 };   // values stored in the low nibble of 0x3F

// Characters the logo box takes from the keyboard with that font.
constexpr int logoMaxLength(LogoFont font) { return font == LogoFont::Large ? 15 : 20; }
// The logo box is as wide as this many characters of its font.
constexpr int logoBoxWidthChars(LogoFont font) { return logoMaxLength(font) + 1; }

} // namespace px316t
