// `set` as a whole, and `show` fed back to it. Input: byte 0 gives the number of
// image bytes to overwrite (low five bits), 3 bytes each (address big-endian
// modulo 912, byte); then assignments: a field index (modulo the catalogue), a
// length L and L & 0x3F bytes of value (L >= 0x80: the next byte names a field
// whose shown value is the value), on the start-up image, opened as a file is.
// Promises: show's lines, set back, are taken and change no byte; taken
// assignments store what the image keeps (opened again, every field shows the
// same, and the last choice set shows the entry chosen).
#include "fuzz_check.h"

#include "editor/field_assignments.h"
#include "editor/field_catalog.h"
#include "editor/pager_document.h"
#include "editor/prompt_rules.h"
#include "table/builtin_tables.h"

#include <string>
#include <vector>

using namespace px316t;

namespace {

void checkShownLinesKeepEveryByte(const PagerDocument& document)
{
    std::vector<FieldAssignment> lines;
    for (const FieldEntry& e : fieldCatalog().entries())
        if (e.set)
            lines.push_back({e.name, unescapedText(escapedText(e.show(document))).value()});
    PagerDocument copy(document);
    const AssignmentsResult r = applyAssignments(copy, lines);
    FUZZ_CHECK(r.ok() && !r.changed && copy.image() == document.image());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 512)
        return -1;
    const auto& entries = fieldCatalog().entries();
    std::size_t at = size ? 1 : 0;
    PagerTable image = startupPagerTable();
    for (int i = 0; size && i < (data[0] & 0x1F) && at + 3 <= size; ++i, at += 3)
        image[((data[at] << 8) | data[at + 1]) % PagerTableSize] = data[at + 2];
    const PagerDocument opened(image);
    checkShownLinesKeepEveryByte(opened);

    std::vector<FieldAssignment> set;
    while (at + 2 <= size) {
        const FieldEntry& e = entries[data[at++] % entries.size()];
        const std::uint8_t length = data[at++];
        if (length >= 0x80 && at < size) {
            set.push_back({e.name, entries[data[at++] % entries.size()].show(opened)});
        } else if (length < 0x80) {
            const std::size_t n = std::min<std::size_t>(length & 0x3F, size - at);
            set.push_back({e.name, std::string(reinterpret_cast<const char*>(data + at), n)});
            at += n;
        }
    }
    PagerDocument edited(opened);
    if (!applyAssignments(edited, set).ok())
        return 0;
    const PagerDocument reopened(edited.image());
    for (const FieldEntry& e : entries)
        FUZZ_CHECK(e.show(reopened) == e.show(edited));
    if (!set.empty()) {   // the last choice set shows what was chosen
        const FieldEntry& e = fieldCatalog().at(set.back().name);
        const auto wanted = choiceIndex(e, set.back().value);
        FUZZ_CHECK(!wanted || wanted == choiceIndex(e, e.show(edited)));
    }
    checkShownLinesKeepEveryByte(reopened);
    return 0;
}
