#pragma once
// Who and what stand behind a pager: the operator, the program and the table
// file it was made with, and, for a capcode from a carrier's allocation list,
// that list's columns. Every record entry (local and shared) and every capcode
// being written carries them, so history and the batch export say who made
// which pager from what.
#include "production/allocation_list.h"
#include "production/outcome.h"

#include <filesystem>
#include <string>
#include <vector>

namespace px316t {

struct EntrySource {
    std::string operatorName;
    std::string programVersion;
    std::string tableFile;      // the table file's name; empty when the image came from none
    std::string tableSha256;    // of the table file's bytes as the run read them
};

// The columns of an allocation list for one of its capcodes.
struct ListColumns {
    std::string list;           // the list file's name; empty: the capcode came from no list
    std::string customer;
    std::string order;
    std::string label;
    std::string extra;          // the list's other columns as "name=value; name=value"
};

// $PX316T_OPERATOR when set, else the login name.
std::string defaultOperatorName();
// This program's version, as --version prints it.
std::string programVersion();
// The operator and the program; no table file.
EntrySource currentSource(const std::string& operatorName);
// The source with `file`'s name and the SHA-256 of its bytes.
Outcome<EntrySource> withTableFile(EntrySource source, const std::filesystem::path& file);

// The columns of `entry` of `list`, read from the file named `listFile`.
ListColumns listColumnsOf(const AllocationEntry& entry, const AllocationList& list, const std::string& listFile);
// "name=value; name=value" for the other columns of a list (empty values left out).
std::string namedFields(const std::vector<std::string>& names, const std::vector<std::string>& values);

// Fields kept in one text column and read back unchanged: joined by tabs, with
// backslash, tab and line ends escaped.
std::string packFields(const std::vector<std::string>& fields);
std::vector<std::string> unpackFields(const std::string& packed);

} // namespace px316t
