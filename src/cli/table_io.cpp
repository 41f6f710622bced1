#include "cli/table_io.h"

#include "cli/args.h"
#include "editor/field_catalog.h"
#include "table/exclusive_file.h"
#include "table/path_text.h"
#include "table/table_file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <variant>
#include <vector>

namespace px316t::cli {

namespace {

// The system's words for an error; nothing when there was none.
std::string systemText(const std::error_code& error) { return error ? error.message() : std::string(); }

} // namespace

std::optional<PagerDocument> openTable(const QString& file, PagerTable* asStored)
{
    const std::filesystem::path path = pathFromUtf8(file.toStdString());
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        say(file + QStringLiteral(": is a folder, not a table file"));
        return std::nullopt;
    }
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size != PagerTableSize && std::filesystem::is_regular_file(path, ec)) {
        say(file + QStringLiteral(": not a table file (%1 bytes; a table file holds %2)").arg(size).arg(PagerTableSize));
        return std::nullopt;
    }
    std::error_code reason;
    auto result = readTableFile(path, reason);
    if (auto* error = std::get_if<TableFileError>(&result)) {
        say(file + QStringLiteral(": ") + QString::fromStdString(describeTableFileError(*error, systemText(reason))));
        return std::nullopt;
    }
    const auto& bytes = std::get<std::vector<std::uint8_t>>(result);
    if (bytes.size() != PagerTableSize) {
        say(file + QStringLiteral(": not a table file (%1 bytes; a table file holds %2)").arg(bytes.size()).arg(PagerTableSize));
        return std::nullopt;
    }
    PagerTable table{};
    applyTableFileBytes(table, bytes);
    if (asStored)
        *asStored = table;
    return std::optional<PagerDocument>(std::in_place, table);
}

bool saveTable(const QString& file, const PagerTable& table)
{
    std::error_code reason;
    const TableFileError error = writeTableFile(pathFromUtf8(file.toStdString()), table, reason);
    if (error == TableFileError::None)
        return true;
    say(file + QStringLiteral(": ") + QString::fromStdString(describeTableFileError(error, systemText(reason))));
    return false;
}

bool canReplace(const QString& file, bool force)
{
    // An empty name is a script's empty variable, not a file.
    if (file.isEmpty()) {
        say(QStringLiteral("an empty file name; a table file is needed"));
        return false;
    }
    const std::filesystem::path path = pathFromUtf8(file.toStdString());
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        say(file + QStringLiteral(": is a folder; a table file is needed"));
        return false;
    }
    const bool exists = std::filesystem::exists(path, ec);
    // A device, a pipe or a socket would swallow the table and report it saved.
    if (exists && !std::filesystem::is_regular_file(path, ec)) {
        say(file + QStringLiteral(": is not a plain file (a device, a pipe or a socket); a table file is needed"));
        return false;
    }
    if (exists && !force) {
        say(file + QStringLiteral(": exists; --force replaces it"));
        return false;
    }
    const std::filesystem::path parent = path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
    const QString parentText = QString::fromStdString(utf8FromPath(parent));
    if (!std::filesystem::is_directory(parent, ec)) {
        say(file + QStringLiteral(": the folder %1 does not exist").arg(parentText));
        return false;
    }
    if (!canCreateFilesIn(parent)) {
        say(file + QStringLiteral(": the folder %1 cannot be written to").arg(parentText));
        return false;
    }
    return true;
}

std::string fieldsAt(int address)
{
    std::string names;
    for (const FieldEntry& e : fieldCatalog().entries())
        if (std::find(e.addresses.begin(), e.addresses.end(), address) != e.addresses.end())
            names += (names.empty() ? "" : ", ") + e.name;
    return names;
}

std::string differenceLine(int address)
{
    const std::string fields = fieldsAt(address);
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%03X", address);
    return std::string("First difference at address ") + hex +
           (fields.empty() ? std::string(" (a byte of no named field)") : ": " + fields);
}

} // namespace px316t::cli
