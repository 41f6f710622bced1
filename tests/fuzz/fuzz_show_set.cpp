// The command line's `set` as a whole, and `show` fed back to it. The input is
//
//     byte 0            number of image bytes to overwrite (low five bits)
//     3 bytes each      address (big-endian, modulo 912) and the byte to put there
//     then, repeated    field index (modulo the catalogue's size), a length byte L:
//                         L < 0x80: the next L & 0x3F bytes are the value
//                         L >= 0x80: the next byte names a field whose shown value
//                                    is the value
//
// on top of the start-up image, opened as a file is. The assignments are
// applied together. Promises checked:
//  - show's lines of any image, unescaped and set back, are taken and leave
//    the image byte for byte as it was;
//  - assignments that are taken store what the image keeps: opened again, it
//    shows every field as the document did after the set;
//  - after assignments that are taken, show's lines set back again change nothing.
#include "fuzz_check.h"

#include "editor/field_assignments.h"
#include "editor/field_catalog.h"
#include "editor/pager_document.h"
#include "editor/prompt_rules.h"
#include "table/builtin_tables.h"

#include <optional>
#include <string>
#include <vector>

using namespace px316t;

namespace {

std::vector<FieldAssignment> shownLines(const PagerDocument& document)
{
    std::vector<FieldAssignment> lines;
    for (const FieldEntry& e : fieldCatalog().entries()) {
        if (!e.set)
            continue;
        // As printed and read back by the command line.
        const auto value = unescapedText(escapedText(e.show(document)));
        FUZZ_CHECK(value.has_value());
        lines.push_back({e.name, *value});
    }
    return lines;
}

void checkShowSetKeepsEveryByte(const PagerDocument& document)
{
    PagerDocument copy(document);
    const AssignmentsResult r = applyAssignments(copy, shownLines(document));
    if (!r.ok())
        std::fprintf(stderr, "own line refused: %s: %s\n", shownLines(document)[r.index].name.c_str(),
                     r.message.c_str());
    FUZZ_CHECK(r.ok());
    FUZZ_CHECK(!r.changed);
    FUZZ_CHECK(copy.image() == document.image());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FUZZ_CHECK(!fieldCatalog().entries().empty());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 512)
        return -1;
    const auto& entries = fieldCatalog().entries();
    std::size_t at = 0;
    PagerTable image = startupPagerTable();
    const int overwrites = size ? (data[at++] & 0x1F) : 0;
    for (int i = 0; i < overwrites && at + 3 <= size; ++i) {
        image[((data[at] << 8) | data[at + 1]) % PagerTableSize] = data[at + 2];
        at += 3;
    }
    const PagerDocument opened(image);
    checkShowSetKeepsEveryByte(opened);

    std::vector<FieldAssignment> assignments;
    while (at + 2 <= size) {
        const FieldEntry& e = entries[data[at++] % entries.size()];
        const std::uint8_t length = data[at++];
        std::string value;
        if (length >= 0x80) {
            if (at >= size)
                break;
            value = entries[data[at++] % entries.size()].show(opened);
        } else {
            const std::size_t n = std::min<std::size_t>(length & 0x3F, size - at);
            value.assign(reinterpret_cast<const char*>(data + at), n);
            at += n;
        }
        assignments.push_back({e.name, value});
    }
    PagerDocument edited(opened);
    if (!applyAssignments(edited, assignments).ok())
        return 0;
    const PagerDocument reopened(edited.image());
    for (const FieldEntry& e : entries) {
        if (e.show(reopened) != e.show(edited))
            std::fprintf(stderr, "%s: \"%s\" kept as \"%s\"\n", e.name.c_str(), e.show(edited).c_str(),
                         e.show(reopened).c_str());
        FUZZ_CHECK(e.show(reopened) == e.show(edited));
    }
    checkShowSetKeepsEveryByte(reopened);
    return 0;
}
