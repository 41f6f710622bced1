// REGEDIT4 script export and import of clsRegistryAccess.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "registry/cls_registry_access.h"
#include "registry/reg_text.h"
#include "registry/registry_backend.h"
#include "table/exclusive_file.h"

namespace px316t {

using namespace regtext;

namespace {

constexpr const char* kCrLf = "\r\n";

// Larger files are no registry script of this program; reading them whole would only
// exhaust memory.
constexpr std::uintmax_t kMaxImportBytes = 16u * 1024u * 1024u;

bool hasLineBreak(const std::string& s) {
    return s.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

std::string hexList(const std::string& hexText) {
    std::string list = hexText;
    for (char& c : list)
        if (c == ' ') c = ',';
    return list;
}

std::string dwordText(std::uint32_t value) {
    char buffer[9];
    std::snprintf(buffer, sizeof buffer, "%08X", static_cast<unsigned>(value));
    return buffer;
}

// "dword:" data: one to eight hexadecimal digits, surrounding spaces allowed.
std::optional<std::uint32_t> parseDword(const std::string& text) {
    const std::string digits = trimSpaces(text);
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : digits) {
        const int d = hexDigit(c);
        if (d < 0) return std::nullopt;
        value = value * 16 + static_cast<std::uint32_t>(d);
    }
    return value;
}

}  // namespace

std::int32_t clsRegistryAccess::ExportToReg(const std::string& sPath, const std::string& sRegFile,
                                            bool IncludeSubkeys, const RegExportOutput& Output) {
    // Made exclusively: an existing file (or a link in its place) is refused untouched.
    const std::string header = std::string("REGEDIT4") + kCrLf + kCrLf;
    std::error_code reason;
    if (createFileExclusively(sRegFile, header.data(), header.size(), reason) != ExclusiveCreate::Written) return 0;
    if (ExportKey(sPath, sRegFile, IncludeSubkeys, Output)) return 1;
    // A half-written script would later import as if it were whole.
    std::error_code ec;
    std::filesystem::remove(sRegFile, ec);
    return 0;
}

bool clsRegistryAccess::ExportKey(const std::string& sPath, const std::string& sRegFile, bool IncludeSubkeys,
                                  const RegExportOutput& Output) {
    const RegPath parsed = SplitRegPath(sPath);
    if (parsed.root == 0) return false;
    const std::string longPath =
        rootLongName(parsed.root) + (parsed.subPath.empty() ? std::string() : "\\" + parsed.subPath);
    if (Output) Output(longPath);

    std::string section = "[" + longPath + "]" + kCrLf;
    bool ok = !hasLineBreak(longPath);

    if (const auto defaultValue = readString(sPath, "")) {
        ok = ok && !hasLineBreak(*defaultValue);
        section += "@=\"" + *defaultValue + "\"" + kCrLf;
    }

    std::vector<std::string> names;
    std::vector<RegVariant> values;
    bool skipped = false;
    if (enumValuesImpl(sPath, names, values, REG_TYPE_SZ, skipped, false) < 0) return false;
    ok = ok && !skipped;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i].empty()) continue;  // the default value, written above
        const std::string& text = std::get<std::string>(values[i]);
        ok = ok && !hasLineBreak(names[i]) && !hasLineBreak(text);
        section += "\"" + names[i] + "\"=\"" + text + "\"" + kCrLf;
    }
    if (enumValuesImpl(sPath, names, values, REG_TYPE_BINARY, skipped, false) < 0) return false;
    ok = ok && !skipped;
    for (std::size_t i = 0; i < names.size(); ++i) {
        ok = ok && !hasLineBreak(names[i]);
        section += "\"" + names[i] + "\"=hex:" + hexList(std::get<std::string>(values[i])) + kCrLf;
    }
    if (enumValuesImpl(sPath, names, values, REG_TYPE_DWORD, skipped, false) < 0) return false;
    ok = ok && !skipped;
    for (std::size_t i = 0; i < names.size(); ++i) {
        ok = ok && !hasLineBreak(names[i]);
        section += "\"" + names[i] + "\"=dword:" + dwordText(std::get<std::uint32_t>(values[i])) + kCrLf;
    }
    section += kCrLf;
    // Names and data are written without escaping, so a line break or zero inside one, or a
    // value too long to read, cannot be exported faithfully: the export fails instead.
    if (!ok) return false;

    std::FILE* file = std::fopen(sRegFile.c_str(), "ab");
    if (!file) return false;
    const bool written = std::fwrite(section.data(), 1, section.size(), file) == section.size();
    if (std::fclose(file) != 0 || !written) return false;

    if (IncludeSubkeys) {
        std::vector<std::string> subkeys;
        if (EnumKeys(sPath, subkeys) < 0) return false;
        for (const auto& subkey : subkeys) {
            if (!ExportKey(sPath + "\\" + subkey, sRegFile, true, Output)) return false;
        }
    }
    return true;
}

std::int32_t clsRegistryAccess::ImportFromReg(const std::string& sRegFile) {
    m_createKeyIfDoesntExists = true;

    std::error_code ec;
    if (!std::filesystem::is_regular_file(sRegFile, ec)) return 0;
    const auto size = std::filesystem::file_size(sRegFile, ec);
    if (ec || size > kMaxImportBytes) return 0;
    std::ifstream in(sRegFile, std::ios::binary);
    if (!in) return 0;
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return 0;
    // A zero byte means a binary file, whatever its first line says.
    if (content.find('\0') != std::string::npos) return 0;

    std::vector<std::string> lines;
    for (std::size_t start = 0;;) {
        const auto end = content.find(kCrLf, start);
        if (end == std::string::npos) {
            lines.push_back(content.substr(start));
            break;
        }
        lines.push_back(content.substr(start, end - start));
        start = end + 2;
    }
    std::string firstLine = lines.front();
    for (char& c : firstLine) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (firstLine != "REGEDIT4") return 0;

    // A last line without CR LF is a line like any other (editors often leave the line
    // end off), unless it stops inside a quoted name or data: then the file was cut off
    // in the middle of a line, and the shortened value is not applied.
    std::size_t lineCount = lines.size();
    bool cutOff = false;
    if (lineCount > 1 && std::count(lines.back().begin(), lines.back().end(), '"') % 2 != 0) {
        --lineCount;
        cutOff = true;
    }

    std::optional<std::string> key;  // the section whose values follow; none after a deletion
    for (std::size_t i = 1; i < lineCount; ++i) {
        // Spaces around the line go first, then the quotes, so that spaces inside the
        // quotes of a name or a string stay part of it.
        std::string line = trimSpaces(lines[i]);
        line.erase(std::remove(line.begin(), line.end(), '"'), line.end());
        if (!line.empty() && line.front() == '[') {
            // Without its closing bracket the key name would lose a character.
            if (line.size() < 2 || line.back() != ']') return 0;
            const std::string name = line.substr(1, line.size() - 2);
            if (!name.empty() && name.front() == '-') {
                std::uint32_t handle = 0;
                const long rc = killKeyImpl(name.substr(1), handle);
                if (rc != REG_ERROR_SUCCESS && rc != REG_ERROR_FILE_NOT_FOUND) return 0;
                key.reset();
            } else {
                // Made at once, so that a key exported without values comes back too.
                if (CreateKey(name) == 0) return 0;
                key = name;
            }
            continue;
        }
        if (line.empty() || line.front() == ';') continue;
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        if (!key) continue;  // a value outside any key section has no place to go

        const std::string name = line.substr(0, equals);
        const auto secondEquals = line.find('=', equals + 1);
        const std::string data = secondEquals == std::string::npos
                                     ? line.substr(equals + 1)
                                     : line.substr(equals + 1, secondEquals - equals - 1);
        if (trimSpaces(data) == "-") {
            // A missing key holds no value to delete.
            std::uint32_t handle = 0;
            const long rc = killValueImpl(*key, name, handle);
            if (rc != REG_ERROR_SUCCESS && rc != REG_ERROR_FILE_NOT_FOUND) return 0;
        } else if (istartsWith(data, "hex:")) {
            std::string hex = data.substr(4);
            for (char& c : hex)
                if (c == ',') c = ' ';
            if (WriteBinary(*key, name, hex) == 0) return 0;
        } else if (istartsWith(data, "dword:")) {
            const auto value = parseDword(data.substr(6));
            if (!value || WriteDWORD(*key, name, *value) == 0) return 0;
        } else {
            if (WriteString(*key, name, data) == 0) return 0;
            if (name == "@" && data.empty() && KillValue(*key, "") == 0) return 0;
        }
    }
    return cutOff ? 0 : 1;
}

}  // namespace px316t
