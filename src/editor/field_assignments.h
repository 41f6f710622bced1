#pragma once
// Fields set by name, as a script sets them: NAME=VALUE assignments applied in
// order through the field catalogue, kept all together or refused.
#include <cstddef>
#include <string>
#include <vector>

namespace px316t {

class PagerDocument;

struct FieldAssignment {
    std::string name;
    std::string value;
};

enum class AssignmentFailure {
    None,
    UnknownField,   // no field has that name
    ShownOnly,      // the field follows from others
    Refused,        // the field's own check refused the value: `message` is its text
    NotKept,        // accepted, but the image does not keep it: `message` says what it shows instead
};

struct AssignmentsResult {
    AssignmentFailure failure = AssignmentFailure::None;
    std::size_t index = 0;   // the assignment that failed; 0 when none did
    std::string message;
    bool changed = false;    // whether the image changed
    bool ok() const { return failure == AssignmentFailure::None; }
};

// Applies the assignments in order. A value that a field shows already stores
// nothing, so that every line `show` prints, set back, leaves the image byte
// for byte as it was. A choice must then show the entry chosen, and at the end
// every field must show what the image alone shows once it is opened again (a
// table file saved, a pager written and read): a value the pager's rules do not
// keep is refused as NotKept. After a failure the document holds a part of the
// changes; the caller drops it.
AssignmentsResult applyAssignments(PagerDocument& document, const std::vector<FieldAssignment>& assignments);

} // namespace px316t
