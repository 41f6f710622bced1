#include "editor/field_assignments.h"

#include "editor/capcode_codec.h"
#include "editor/field_catalog.h"
#include "editor/pager_document.h"

#include <optional>

namespace px316t {
namespace {

std::string row(int k) { return "capcode." + std::to_string(k + 1); }

// Why a choice the catalogue took is not what the image shows afterwards, in
// the words of the rule that decides it.
std::string notKept(const PagerDocument& document, const std::string& name, const std::string& shown)
{
    const std::string showsInstead = name + " shows " + shown + " after it";
    if (name == "manual_write_enable")
        return showsInstead + ": the capcode layout decides manual write (on while all pairs are short or all "
                              "long, off while they are mixed)";
    const int last = document.lastUsableSlot();
    for (int k = last + 1; k < 16; ++k)
        if (name == row(k) + ".enable")
            return showsInstead + ": " + row(k) + " is past the last capcode this pager supports ("
                   + (last >= 0 ? row(last) : std::string("none")) + ")";
    return showsInstead;
}

// A pair shown long keeps that length only through a long capcode in its first row.
std::string pairNotKept(int pair, bool shownLong)
{
    const std::string name = "pair." + std::to_string(pair + 1) + ".length";
    if (!shownLong)
        return name + " shows Long once the image is saved, not Short";
    return name + " stays Long only with a capcode of " + std::to_string(FirstLongCapcode) + " or more in "
           + row(2 * pair) + ": give it one in the same set, after the length, or make the pair Short";
}

std::size_t lastAssignmentOf(const std::vector<FieldAssignment>& assignments, const std::string& name)
{
    std::size_t found = assignments.empty() ? 0 : assignments.size() - 1;
    for (std::size_t i = 0; i < assignments.size(); ++i)
        if (assignments[i].name == name)
            found = i;
    return found;
}

} // namespace

AssignmentsResult applyAssignments(PagerDocument& document, const std::vector<FieldAssignment>& assignments)
{
    const PagerTable before = document.image();
    AssignmentsResult result;
    for (std::size_t i = 0; i < assignments.size(); ++i) {
        const FieldAssignment& a = assignments[i];
        // Where it fails, if it does.
        result.index = i;
        const FieldEntry* entry = fieldCatalog().find(a.name);
        if (!entry) {
            result.failure = AssignmentFailure::UnknownField;
            return result;
        }
        if (!entry->set) {
            result.failure = AssignmentFailure::ShownOnly;
            return result;
        }
        if (entry->show(document) == a.value)
            continue;
        const SetResult set = entry->set(document, a.value);
        if (set.outcome != SetOutcome::Changed) {
            result.failure = AssignmentFailure::Refused;
            result.message = set.message;
            return result;
        }
        const std::string shown = entry->show(document);
        if (const auto wanted = choiceIndex(*entry, a.value); wanted && wanted != choiceIndex(*entry, shown)) {
            result.failure = AssignmentFailure::NotKept;
            result.message = notKept(document, a.name, shown);
            return result;
        }
    }
    // What the image gives once it arrives again, field by field.
    const PagerDocument reopened(document.image());
    for (int p = 0; p < 8; ++p) {
        if (reopened.pairShownLong(p) != document.pairShownLong(p)) {
            result.failure = AssignmentFailure::NotKept;
            const std::string name = "pair." + std::to_string(p + 1) + ".length";
            result.index = lastAssignmentOf(assignments, name);
            result.message = pairNotKept(p, document.pairShownLong(p));
            return result;
        }
    }
    for (const FieldEntry& e : fieldCatalog().entries()) {
        const std::string now = e.show(document);
        const std::string again = e.show(reopened);
        if (now != again) {
            result.failure = AssignmentFailure::NotKept;
            result.index = lastAssignmentOf(assignments, e.name);
            result.message = e.name + " shows " + again + " once the image is saved, not " + now;
            return result;
        }
    }
    result.index = 0;
    result.changed = document.image() != before;
    return result;
}

} // namespace px316t
