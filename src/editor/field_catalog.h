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

class PagerDocument;

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
    std::function<std::string(const PagerDocument&)> show;
    // Empty for a field that is only shown.
    std::function<SetResult(PagerDocument&, const std::string&)> set;
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
    // A typed field's check on every key release: nothing, or the message that
    // refuses the text. Empty for a field checked only when it is set.
    std::function<std::optional<std::string>(const PagerDocument&, const std::string&)> check{};
    // What a box's text stores when the box is left, as the window keeps it
    // (its own limits applied while typing): never refused. Empty for a field
    // whose box stores through `set`.
    std::function<void(PagerDocument&, const std::string&)> commit{};
    // What a field's Default button restores (the prompts); empty for the others.
    std::function<void(PagerDocument&)> restoreDefault{};
};

// The lengths a mail-drop alert is stored as, by selector entry ("Beep",
// "1 sec", "16 sec").
inline constexpr std::array<std::uint8_t, 3> MailDropAlertLengths = {0, 1, 16};
bool isMailDropAlertLength(std::uint8_t length);

// The check of a number typed into capcode row k, as made on every key release:
// nothing when it may be stored, otherwise the message that refuses it
// ("Please insert a numeric!", "Please insert a number between 1 to ...").
std::optional<std::string> capcodeEntryRefusal(const std::string& text, bool pairShowsLong);

// The field tag of a bit field of the given kind ("chk", "chkN", "cbo", "Lng").
std::string fieldTagText(const map::BitField& field, const std::string& kind);
// The tag of capcode row k's type selector; row 1's too, which is hidden and
// bound to nothing (capcode 1 is always shown as "Personal").
std::string capcodeTypeTag(int k);

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

// The position of `value` among a choice's entries (its items, or off and on
// of a switch), compared as `set` compares them; nothing for a field that is
// not a choice or a value that is none of its entries.
std::optional<int> choiceIndex(const FieldEntry& entry, const std::string& value);

// The contrast level the slider shows for a stored byte: 1 to 8, a byte above
// 8 shows 4 and a byte of 0 shows 1 (the slider's least).
std::uint8_t shownContrast(std::uint8_t stored);

// The field catalogue of this program.
const FieldCatalog& fieldCatalog();

} // namespace px316t
