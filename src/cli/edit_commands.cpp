// px316t-cli show, set, diff and new: table files by field name, opened and
// changed as the window opens and changes them.
#include "cli/commands.h"
#include "cli/json_line.h"
#include "cli/table_io.h"
#include "editor/capcode_flex.h"
#include "editor/field_assignments.h"
#include "editor/field_catalog.h"
#include "editor/pager_document.h"
#include "editor/prompt_rules.h"

#include <cstdio>
#include <string>
#include <vector>

namespace px316t::cli {

int cmdShow(const Args& a)
{
    if (a.positional.size() != 1)
        return usage("show", QStringLiteral("expected one table file"));
    const auto document = openTable(a.positional[0]);
    if (!document)
        return Usage;
    if (a.options.count(QStringLiteral("--json"))) {
        // Keys in the catalogue's order, as the text form lists them.
        JsonLine object;
        for (const FieldEntry& e : fieldCatalog().entries())
            object.text(e.name, e.show(*document));
        object.print();
        return Ok;
    }
    // One line per field: a value's line breaks, NULs and other hidden
    // characters are escaped, so no value can pass for another field.
    for (const FieldEntry& e : fieldCatalog().entries())
        std::printf("%s=%s\n", e.name.c_str(), escapedText(e.show(*document)).c_str());
    // Where each enabled capcode sits in FLEX and how a label writes it: a
    // comment, which set passes over, so show's lines can still be set again.
    for (int k = 0; k < 16; ++k)
        if (const auto flex = flexDescription(*document, k))
            std::printf("# capcode.%d.flex=%s\n", k + 1, flex->c_str());
    return Ok;
}

int cmdSet(const Args& a)
{
    if (a.positional.size() < 2)
        return usage("set", QStringLiteral("expected a table file and NAME=VALUE"));
    const QString file = a.positional[0];
    auto document = openTable(file);
    if (!document)
        return Usage;
    const PagerDocument before(*document);
    std::vector<FieldAssignment> assignments;
    std::vector<std::string> written;
    for (int i = 1; i < a.positional.size(); ++i) {
        const QString& assignment = a.positional[i];
        if (assignment.startsWith(QLatin1Char('#')))
            continue;   // a comment line of show
        const int eq = assignment.indexOf(QLatin1Char('='));
        if (eq <= 0)
            return usage("set", QStringLiteral("expected NAME=VALUE, not ") + assignment);
        const std::string name = assignment.left(eq).trimmed().toStdString();
        written.push_back(assignment.mid(eq + 1).toStdString());
        // The escapes show prints are taken back, so its lines can be set again.
        const auto unescaped = unescapedText(written.back());
        if (!unescaped) {
            say(name + "=" + written.back() + ": a backslash starts one of \\\\, \\n, \\r, \\t or \\xHH");
            return Usage;
        }
        assignments.push_back({name, *unescaped});
    }
    const AssignmentsResult result = applyAssignments(*document, assignments);
    if (!result.ok()) {
        const std::string& name = assignments[result.index].name;
        switch (result.failure) {
        case AssignmentFailure::UnknownField:
            say("unknown field name: " + name);
            break;
        case AssignmentFailure::ShownOnly:
            say(name + ": shown only; it follows from other fields");
            break;
        default:
            say(name + "=" + written[result.index] + ": " + result.message);
            break;
        }
        return Usage;
    }
    // Nothing changed: the file stays byte for byte as it was.
    if (result.changed && !saveTable(file, document->image()))
        return Failed;
    // Accepted, as the window accepts them, but the operator hears about them.
    for (const std::string& warning : newSpecialAddressWarnings(before, *document))
        say(warning);
    return Ok;
}

int cmdDiff(const Args& a)
{
    if (a.positional.size() != 2)
        return usage("diff", QStringLiteral("expected two table files"));
    const auto l = openTable(a.positional[0]);
    const auto r = openTable(a.positional[1]);
    if (!l || !r)
        return Usage;
    const PagerTable& left = l->image();
    const PagerTable& right = r->image();
    std::vector<bool> explained(PagerTableSize, false);
    bool differ = false;
    const bool json = wantsJson(a);
    JsonLine fields;
    std::string bytes;
    for (const FieldEntry& e : fieldCatalog().entries()) {
        const std::string a1 = e.show(*l);
        const std::string b1 = e.show(*r);
        if (a1 == b1)
            continue;
        differ = true;
        if (json)
            fields.raw(e.name, JsonLine().text("a", a1).text("b", b1).str());
        else
            std::printf("%s: %s -> %s\n", e.name.c_str(), escapedText(a1).c_str(), escapedText(b1).c_str());
        for (int address : e.addresses)
            if (address >= 0 && address < PagerTableSize)
                explained[address] = true;
    }
    for (int i = 0; i < PagerTableSize; ++i) {
        if (left[i] == right[i])
            continue;
        differ = true;
        if (explained[i])
            continue;
        if (json)
            bytes += (bytes.empty() ? "" : ",") +
                     JsonLine().number("address", i).number("a", left[i]).number("b", right[i]).str();
        else
            std::printf("0x%03X: %02X -> %02X\n", i, left[i], right[i]);
    }
    if (json)
        JsonLine()
            .text("a", a.positional[0].toStdString())
            .text("b", a.positional[1].toStdString())
            .boolean("equal", !differ)
            .raw("fields", fields.str())
            .raw("bytes", "[" + bytes + "]")
            .print();
    return differ ? Failed : Ok;
}

int cmdNew(const Args& a)
{
    if (a.positional.size() != 1)
        return usage("new", QStringLiteral("expected one table file"));
    const QString file = a.positional[0];
    if (!canReplace(file, a.options.count(QStringLiteral("--force")) != 0))
        return Usage;
    return saveTable(file, PagerDocument().image()) ? Ok : Failed;
}

} // namespace px316t::cli
