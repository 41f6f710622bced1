#pragma once
// Table files as the command line reads and writes them, and the names of the
// fields that live at an address of the image. Every failure is said in one
// line on stderr.
#include "editor/pager_document.h"
#include "table/pager_table.h"

#include <QString>

#include <optional>
#include <string>

namespace px316t::cli {

// The table file as the window's File > Open sees it: its image with the
// rules of arrival applied (see PagerDocument::arrive); nothing (after one
// line) for a folder, a file of another size or one that cannot be read.
// `asStored` receives the file's image before those rules.
std::optional<PagerDocument> openTable(const QString& file, PagerTable* asStored = nullptr);
// Replaces FILE atomically; false after one line that says why.
bool saveTable(const QString& file, const PagerTable& table);

// Whether FILE may be written as a table file: not a folder, not an existing
// file without `force`, and in a folder this user can write to; false after
// one line that says why.
bool canReplace(const QString& file, bool force);

// The catalogue's fields that live in byte `address`, by name ("capcode.3,
// capcode.3.type"); empty for a byte of no named field.
std::string fieldsAt(int address);

// The line said after "Verify Error!": where the pager first differs.
std::string differenceLine(int address);

} // namespace px316t::cli
