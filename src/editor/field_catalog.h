#pragma once
// Every setting of the pager image under a stable name, with the value the
// window shows for it and the rules the window applies when it is changed.
// The command line's show, set and diff use these names; the README lists them.
#include "table/pager_table.h"

#include <array>
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
};

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
