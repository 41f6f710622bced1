#include "production/allocation_list.h"

#include "editor/flex_address.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <unordered_map>

namespace px316t {

namespace {

constexpr std::uint64_t LastShort = 2031614;
constexpr std::uint64_t FirstLong = 2101249;
constexpr std::uint64_t LastLong = 4291000000ULL;
// Enough bad lines to find the fault; a file of nothing but bad lines says how many more there were.
constexpr std::size_t MaxErrorsShown = 200;

std::string trimmed(std::string_view text)
{
    const auto isSpace = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool validUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t more = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            more = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + more >= text.size())
            return false;
        for (std::size_t k = 1; k <= more; ++k) {
            const auto cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and numbers beyond Unicode are not text.
        if ((more == 1 && cp < 0x80) || (more == 2 && cp < 0x800) || (more == 3 && cp < 0x10000) ||
            (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
            return false;
        i += more + 1;
    }
    return true;
}

// One record of the file: its fields and the line it starts on.
struct Record {
    std::vector<std::string> fields;
    int line = 0;
    bool blank() const
    {
        return std::all_of(fields.begin(), fields.end(), [](const std::string& f) { return trimmed(f).empty(); });
    }
};

// Splits CSV text into records with `separator`, skipping lines that start
// with '#'. A quoted field may hold separators, doubled quotes and line ends.
class CsvReader {
public:
    CsvReader(std::string_view text, char separator) : text_(text), separator_(separator) {}

    // The next record; nothing at the end. `error` and `errorLine` are set
    // (and the rest of the file given up) when the quotes do not match.
    std::optional<Record> next(std::string& error)
    {
        while (pos_ < text_.size() && text_[pos_] == '#')
            skipLine();
        if (pos_ >= text_.size())
            return std::nullopt;
        Record record;
        record.line = line_;
        std::string field;
        bool quotedField = false;
        while (true) {
            if (pos_ >= text_.size()) {
                record.fields.push_back(quotedField ? field : trimmed(field));
                return record;
            }
            const char c = text_[pos_];
            if (c == '"' && trimmed(field).empty() && !quotedField) {
                // A quoted field: everything up to the closing quote.
                const int startLine = line_;
                ++pos_;
                field.clear();
                bool closed = false;
                while (pos_ < text_.size()) {
                    const char q = text_[pos_++];
                    if (q == '"') {
                        if (pos_ < text_.size() && text_[pos_] == '"') {
                            field += '"';
                            ++pos_;
                            continue;
                        }
                        closed = true;
                        break;
                    }
                    if (q == '\n' || (q == '\r' && (pos_ >= text_.size() || text_[pos_] != '\n')))
                        ++line_;
                    field += q;
                }
                if (!closed) {
                    error = "a quote opened here is never closed";
                    errorLine = startLine;
                    pos_ = text_.size();
                    return std::nullopt;
                }
                quotedField = true;
                continue;
            }
            if (c == separator_) {
                record.fields.push_back(quotedField ? field : trimmed(field));
                field.clear();
                quotedField = false;
                ++pos_;
                continue;
            }
            if (c == '\r' || c == '\n') {
                endLine();
                record.fields.push_back(quotedField ? field : trimmed(field));
                return record;
            }
            if (quotedField && c != ' ' && c != '\t') {
                error = "text after a closing quote";
                errorLine = line_;
                pos_ = text_.size();
                return std::nullopt;
            }
            if (!quotedField)
                field += c;
            ++pos_;
        }
    }

    int errorLine = 0;

private:
    void endLine()
    {
        if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n')
            ++pos_;
        ++pos_;
        ++line_;
    }
    void skipLine()
    {
        while (pos_ < text_.size() && text_[pos_] != '\r' && text_[pos_] != '\n')
            ++pos_;
        if (pos_ < text_.size())
            endLine();
    }

    std::string_view text_;
    char separator_;
    std::size_t pos_ = 0;
    int line_ = 1;
};

// The separator the header line uses most outside quotes: ',', ';' or tab.
char detectSeparator(std::string_view text)
{
    std::size_t pos = 0;
    // The header is the first line that is neither blank nor a comment.
    while (pos < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", pos);
        const std::string_view line = text.substr(pos, end == std::string_view::npos ? text.npos : end - pos);
        if (!trimmed(line).empty() && line.front() != '#') {
            const char separators[3] = {',', ';', '\t'};
            int counts[3] = {0, 0, 0};
            bool quoted = false;
            for (char c : line) {
                if (c == '"')
                    quoted = !quoted;
                for (int k = 0; k < 3 && !quoted; ++k)
                    counts[k] += c == separators[k];
            }
            // The first of the most used wins a tie: ',' before ';' before tab.
            return separators[std::max_element(std::begin(counts), std::end(counts)) - std::begin(counts)];
        }
        if (end == std::string_view::npos)
            break;
        pos = end + 1;
    }
    return ',';
}

// One number of a capcode field, with its optional type letter.
std::optional<std::uint64_t> parseCapcodeNumber(std::string text, std::string& error)
{
    text = trimmed(text);
    const std::string written = text;
    std::optional<char> letter;
    if (!text.empty() && std::isalpha(static_cast<unsigned char>(text.front()))) {
        letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text.front())));
        text.erase(0, 1);
    }
    if (text.empty() || text.size() > 10 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); })) {
        error = "\"" + written + "\" is not a capcode";
        return std::nullopt;
    }
    const std::uint64_t value = std::stoull(text);
    if (letter && *letter != 'A') {
        error = std::string("the type letter ") + *letter + " is not one this pager takes (a short capcode is A)";
        return std::nullopt;
    }
    if (value == 0 || value > LastLong) {
        error = "capcode " + text + " is out of range (1 to 2031614, or 2101249 to 4291000000)";
        return std::nullopt;
    }
    if (value > LastShort && value < FirstLong) {
        error = "capcode " + std::to_string(value) + " is out of range: 2031615 to 2101248 is no pager's capcode";
        return std::nullopt;
    }
    if (letter && value >= FirstLong) {
        error = "the type letter A marks a short capcode, and " + std::to_string(value) + " is long";
        return std::nullopt;
    }
    return value;
}

} // namespace

AllocationListResult parseAllocationList(std::string_view bytes, const std::string& fileName,
                                         const AllocationListOptions& options)
{
    AllocationListResult result;
    std::size_t moreErrors = 0;
    const auto bad = [&](int line, const std::string& reason) {
        if (result.errors.size() < MaxErrorsShown)
            result.errors.push_back(fileName + ":" + std::to_string(line) + ": " + reason);
        else
            ++moreErrors;
    };
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);

    CsvReader reader(bytes, detectSeparator(bytes));
    std::string error;
    std::optional<Record> header;
    while ((header = reader.next(error)) && header->blank()) {
    }
    if (!header) {
        bad(error.empty() ? 1 : reader.errorLine,
            error.empty() ? "no header line (a list needs a column named capcode)" : error);
        return result;
    }
    int capcodeColumn = -1;
    int customerColumn = -1;
    int orderColumn = -1;
    int labelColumn = -1;
    std::vector<int> extraColumns;
    for (std::size_t i = 0; i < header->fields.size(); ++i) {
        const std::string name = lower(header->fields[i]);
        int* known = name == "capcode"    ? &capcodeColumn
                     : name == "customer" ? &customerColumn
                     : name == "order"    ? &orderColumn
                     : name == "label"    ? &labelColumn
                                          : nullptr;
        if (known && *known >= 0) {
            bad(header->line, "the column " + name + " is named twice");
            return result;
        }
        if (known) {
            *known = static_cast<int>(i);
        } else {
            extraColumns.push_back(static_cast<int>(i));
            result.list.extraColumns.push_back(header->fields[i]);
        }
    }
    if (capcodeColumn < 0) {
        bad(header->line, "no column named capcode in the header line");
        return result;
    }

    std::unordered_map<std::uint64_t, int> seen;
    std::size_t count = 0;
    std::optional<Record> record;
    while ((record = reader.next(error))) {
        if (record->blank())
            continue;
        const int line = record->line;
        if (record->fields.size() > header->fields.size()) {
            bad(line, "more fields than the header line names (" + std::to_string(record->fields.size()) + " for " +
                          std::to_string(header->fields.size()) + ")");
            continue;
        }
        record->fields.resize(header->fields.size());
        if (!std::all_of(record->fields.begin(), record->fields.end(), [](const auto& f) { return validUtf8(f); })) {
            bad(line, "not UTF-8 text");
            continue;
        }
        // The databases that keep a list take no NUL character in text.
        if (std::any_of(record->fields.begin(), record->fields.end(),
                        [](const auto& f) { return f.find('\0') != std::string::npos; })) {
            bad(line, "a NUL character in a field");
            continue;
        }
        const std::string field = record->fields[static_cast<std::size_t>(capcodeColumn)];
        if (field.empty()) {
            bad(line, "no capcode");
            continue;
        }
        // One number, or a range "first-last".
        const std::size_t dash = field.find('-');
        std::string why;
        const auto first = parseCapcodeNumber(field.substr(0, dash), why);
        std::optional<std::uint64_t> last = first;
        if (first && dash != std::string::npos)
            last = parseCapcodeNumber(field.substr(dash + 1), why);
        if (!first || !last) {
            bad(line, why);
            continue;
        }
        if (*last < *first) {
            bad(line, "the range " + field + " runs backwards");
            continue;
        }
        if (*first <= LastShort && *last >= FirstLong) {
            bad(line, "the range " + field + " runs through 2031615 to 2101248, which is no pager's capcode");
            continue;
        }
        if (!options.allowSpecialAddresses && *last >= FlexSpecialFirst && *first <= FlexSpecialLast) {
            bad(line, "capcode " + std::to_string(std::max(*first, FlexSpecialFirst)) +
                          " is one of the addresses FLEX keeps for itself (1933313 to 2031614); "
                          "--allow-special-addresses takes them");
            continue;
        }
        const std::uint64_t size = *last - *first + 1;
        if (count + size > options.maxCapcodes) {
            bad(line, "the list would hold more than " + std::to_string(options.maxCapcodes) + " capcodes");
            break;
        }
        count += size;
        std::optional<std::uint64_t> twice;
        int twiceLine = 0;
        std::size_t twiceCount = 0;
        for (std::uint64_t c = *first; c <= *last; ++c) {
            const auto [it, added] = seen.emplace(c, line);
            if (!added && twiceCount++ == 0) {
                twice = c;
                twiceLine = it->second;
            }
        }
        if (twice) {
            bad(line, "capcode " + std::to_string(*twice) + " is listed twice (also on line " +
                          std::to_string(twiceLine) + ")" +
                          (twiceCount > 1 ? " with " + std::to_string(twiceCount - 1) + " more of this range" : ""));
            continue;
        }
        if (!result.errors.empty())
            continue;   // nothing is kept once a line is bad; the rest is still checked
        AllocationEntry base;
        base.line = line;
        const auto column = [&](int i) { return i < 0 ? std::string() : record->fields[static_cast<std::size_t>(i)]; };
        base.customer = column(customerColumn);
        base.order = column(orderColumn);
        base.label = column(labelColumn);
        for (int i : extraColumns)
            base.extra.push_back(column(i));
        for (std::uint64_t c = *first; c <= *last; ++c) {
            base.capcode = c;
            result.list.entries.push_back(base);
        }
    }
    if (!error.empty())
        bad(reader.errorLine, error);
    if (moreErrors)
        result.errors.push_back(fileName + ": " + std::to_string(moreErrors) + " more bad lines");
    if (!result.errors.empty())
        result.list = {};
    else if (result.list.entries.empty())
        result.errors.push_back(fileName + ": the list holds no capcode");
    return result;
}

AllocationListResult readAllocationList(const std::filesystem::path& path, const std::string& shownName,
                                        const AllocationListOptions& options)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    if (in)
        bytes << in.rdbuf();
    if (!in || in.bad()) {
        AllocationListResult result;
        result.errors.push_back(shownName + ": cannot be read");
        return result;
    }
    return parseAllocationList(bytes.str(), shownName, options);
}

std::string describeCapcodes(std::vector<std::uint64_t> capcodes, std::size_t maxRuns)
{
    std::sort(capcodes.begin(), capcodes.end());
    capcodes.erase(std::unique(capcodes.begin(), capcodes.end()), capcodes.end());
    std::string text;
    std::size_t runs = 0;
    for (std::size_t i = 0; i < capcodes.size();) {
        std::size_t j = i;
        while (j + 1 < capcodes.size() && capcodes[j + 1] == capcodes[j] + 1)
            ++j;
        if (runs++ == maxRuns) {
            text += ", ... (" + std::to_string(capcodes.size()) + " in all)";
            break;
        }
        text += (text.empty() ? "" : ", ") + std::to_string(capcodes[i]) +
                (j > i ? "-" + std::to_string(capcodes[j]) : std::string());
        i = j + 1;
    }
    return text;
}

} // namespace px316t
