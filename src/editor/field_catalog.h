#pragma once
// Every setting of the pager image under a stable name, with the value the
// window shows for it and the rules the window applies when it is changed.
// The command line's show, set and diff use these names; the README lists them.
#include "editor/band_rules.h"
#include "table/memory_map.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace px316t {

// An image being edited field by field. The pairs' length selectors are state
// of their own, as in the window: a pair can be switched to "Long" before its
// long capcode is entered.
struct EditSession {
    explicit EditSession(PagerTable& image);
    PagerTable& table;
    std::array<bool, 8> pairLong{};
};

enum class SetOutcome {
    Changed,
    BadValue,   // not a value of this field's kind: `message` says which are
    Refused,    // a value the window refuses: `message` is the window's text
    ReadOnly,   // shown, not set by name (the image derives it)
};

struct SetResult {
    SetOutcome outcome = SetOutcome::Changed;
    std::string message;
};

struct FieldEntry {
    std::string name;
    // The value as the window shows it.
    std::function<std::string(const EditSession&)> show;
    // Empty for a field that is only shown.
    std::function<SetResult(EditSession&, const std::string&)> set;
    // Byte addresses the field lives in, so that diff can report the remaining
    // differences by address.
    std::vector<int> addresses;
    // The values it takes, in words for the help and the manual; empty for a
    // field that is only shown.
    std::string values;
    // A choice's entries in list order, as its selector shows them; empty for
    // any other field.
    std::vector<std::string> items{};
    // The field tag of a setting bound to one bit field ("&H39,4,1,chkN");
    // empty for a field with an encoding of its own.
    std::string tag{};
};

// The lengths a mail-drop alert is stored as, by selector entry ("Beep",
// "1 sec", "16 sec").
inline constexpr std::array<std::uint8_t, 3> MailDropAlertLengths = {0, 1, 16};
bool isMailDropAlertLength(std::uint8_t length);

// The check of a number typed into capcode row k, as made on every key release:
// nothing when it may be stored, otherwise the message that refuses it
// ("Please insert a numeric!", "Please insert a number between 1 to ...").
std::optional<std::string> capcodeEntryRefusal(const std::string& text, bool pairShowsLong);
// A number in the reserved gap between short and long capcodes, refused when
// the row is left.
inline constexpr const char* InvalidCapcodeMessage = "Invalid Capcode!";

// The mail-drop alert length of capcode row k from its selector entry (0..2);
// in a long pair the second slot follows the first.
void storeMailDropAlert(EditSession& s, int k, int entry);

// In a long pair starting at row k, the second slot takes the first slot's type
// and priority bits; nothing for a short pair.
void followLongPairBits(EditSession& s, int k);

// A typed operating frequency (units of 100 Hz) checked against `band` and,
// in the top band, against the raster of `baseFreqHz` and `channelSpacingKHz`;
// an accepted one may load a preset of its raster and is stored. The window
// passes what its selector and synthesizer panel show, the catalogue what the
// image holds.
SetResult storeOperatingFrequency(PagerTable& table, double value, std::optional<Band> band,
                                  std::int64_t baseFreqHz, double channelSpacingKHz);
inline constexpr const char* NotDecimalMessage = "Please insert a decimal numeric!";

// The field tag of a bit field of the given kind ("chk", "chkN", "cbo", "Lng").
std::string fieldTagText(const map::BitField& field, const std::string& kind);

// Fields whose names differ only in their numbers, under one pattern: the
// numbers written as N ("capcode.N.type") and the numbers the catalogue has.
struct FieldNameGroup {
    std::string pattern;
    std::vector<int> numbers;   // empty for a name without a number
    std::string values;         // of the group's first field
};

// The catalogue's names grouped by pattern, in the order of their first field.
std::vector<FieldNameGroup> fieldNameGroups(const std::vector<FieldEntry>& entries);

class FieldCatalog {
public:
    FieldCatalog();
    const std::vector<FieldEntry>& entries() const { return entries_; }
    const FieldEntry* find(const std::string& name) const;
    // The entry of a name the program itself uses; a missing one is a fault of
    // the program, not of its input.
    const FieldEntry& at(const std::string& name) const;
    // Further fields (e.g. the prompt and password rules) join at the end.
    void add(FieldEntry entry) { entries_.push_back(std::move(entry)); }

private:
    std::vector<FieldEntry> entries_;
};

// Adds the prompts, the prompt language, the logo font and the password.
void addPromptAndPasswordFields(FieldCatalog& catalog);

// The field catalogue of this program.
const FieldCatalog& fieldCatalog();

} // namespace px316t
