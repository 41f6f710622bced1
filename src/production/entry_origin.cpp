#include "production/entry_origin.h"

#include "production/image_summary.h"
#include "table/path_text.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace px316t {

namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

std::string defaultOperatorName()
{
    if (std::string configured = environment("PX316T_OPERATOR"); !configured.empty())
        return configured;
#ifndef _WIN32
    // The account the program runs as, whatever the environment claims.
    if (const passwd* account = getpwuid(geteuid()); account && account->pw_name && *account->pw_name)
        return account->pw_name;
#endif
    for (const char* name : {"USER", "LOGNAME", "USERNAME"})
        if (std::string login = environment(name); !login.empty())
            return login;
    return "unknown";
}

std::string programVersion() { return PX316T_VERSION; }

EntrySource currentSource(const std::string& operatorName)
{
    EntrySource source;
    source.operatorName = operatorName.empty() ? defaultOperatorName() : operatorName;
    source.programVersion = programVersion();
    return source;
}

Outcome<EntrySource> withTableFile(EntrySource source, const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in && !in.eof())
        return Failure{"The table file " + utf8FromPath(file) + " could not be read for the record."};
    source.tableFile = utf8FromPath(file.filename());
    source.tableSha256 = sha256Hex(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return source;
}

std::string namedFields(const std::vector<std::string>& names, const std::vector<std::string>& values)
{
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < values.size(); ++i)
        if (!values[i].empty())
            text += (text.empty() ? "" : "; ") + names[i] + "=" + values[i];
    return text;
}

ListColumns listColumnsOf(const AllocationEntry& entry, const AllocationList& list, const std::string& listFile)
{
    return {listFile, entry.customer, entry.order, entry.label, namedFields(list.extraColumns, entry.extra)};
}

std::string packFields(const std::vector<std::string>& fields)
{
    std::string packed;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i)
            packed += '\t';
        for (char c : fields[i]) {
            switch (c) {
            case '\\': packed += "\\\\"; break;
            case '\t': packed += "\\t"; break;
            case '\n': packed += "\\n"; break;
            case '\r': packed += "\\r"; break;
            default: packed += c;
            }
        }
    }
    return packed;
}

std::vector<std::string> unpackFields(const std::string& packed)
{
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < packed.size(); ++i) {
        const char c = packed[i];
        if (c == '\t') {
            fields.emplace_back();
        } else if (c == '\\' && i + 1 < packed.size()) {
            const char e = packed[++i];
            fields.back() += e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e;
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

} // namespace px316t
