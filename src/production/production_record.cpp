#include "production/production_record.h"

#include "production/csv_text.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string_view>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <unistd.h>
#endif

namespace px316t {

namespace {

constexpr std::array<const char*, 8> kResultTexts = {"success",   "verify error", "link lost", "time-out",
                                                     "abandoned", "uncertain",    "returned",  "bad reply"};

const std::vector<std::string> kHeader = {
    "id",       "time_utc", "station",         "port",       "operation",    "batch", "first_capcode",
    "capcodes", "frequency_100hz", "result",   "sha256",     "note",         "operator",
    "program_version", "table_file", "table_sha256", "list", "customer", "order", "label", "list_columns"};
constexpr std::size_t kShaColumns[] = {10, 15};

} // namespace

std::vector<std::string> recordRow(const RecordEntry& e)
{
    return {std::to_string(e.id),
            isoUtc(e.time),
            e.station,
            e.port,
            operationText(e.operation),
            e.batch,
            e.firstCapcode ? std::to_string(*e.firstCapcode) : std::string(),
            joinCapcodes(e.capcodes),
            // In the table file's unit of 100 Hz, as show prints it.
            std::to_string(e.frequencyHz / 100),
            resultText(e.result),
            e.sha256,
            e.note,
            e.source.operatorName,
            e.source.programVersion,
            e.source.tableFile,
            e.source.tableSha256,
            e.listed.list,
            e.listed.customer,
            e.listed.order,
            e.listed.label,
            e.listed.extra};
}

std::string newEntryUid()
{
    // The clock too: a random device that is not random (some Windows runtimes) still differs per start.
    thread_local std::mt19937_64 random{
        std::random_device{}() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string uid;
    for (int half = 0; half < 2; ++half)
        for (std::uint64_t bits = random(), i = 0; i < 16; ++i, bits >>= 4)
            uid += kDigits[bits & 0xF];
    return uid;
}

std::string operationText(RecordOperation operation)
{
    return operation == RecordOperation::Write ? "write" : "verify";
}

std::string resultText(RecordResult result) { return kResultTexts[static_cast<std::size_t>(result)]; }

std::optional<RecordOperation> operationFromText(const std::string& text)
{
    if (text == "write")
        return RecordOperation::Write;
    if (text == "verify")
        return RecordOperation::Verify;
    return std::nullopt;
}

std::optional<RecordResult> resultFromText(const std::string& text)
{
    for (std::size_t i = 0; i < kResultTexts.size(); ++i)
        if (text == kResultTexts[i])
            return static_cast<RecordResult>(i);
    return std::nullopt;
}

RecordEntry entryForImage(const PagerTable& image, RecordOperation operation, RecordResult result,
                          const std::string& station, const std::string& port)
{
    const ImageSummary summary = summarizeImage(image);
    RecordEntry entry;
    entry.time = std::chrono::system_clock::now();
    entry.station = station;
    entry.port = port;
    entry.operation = operation;
    entry.firstCapcode = summary.firstCapcode;
    entry.capcodes = summary.enabledCapcodes;
    entry.frequencyHz = summary.frequencyHz;
    entry.result = result;
    entry.sha256 = summary.sha256;
    return entry;
}

Status RecordFanOut::append(const RecordEntry& entry)
{
    std::string failures;
    for (const auto& store : stores_) {
        const Status status = store->append(entry);
        if (!status.ok())
            failures += (failures.empty() ? "" : " ") + status.message();
    }
    if (!failures.empty())
        return Failure{failures};
    return {};
}

Status RecordStore::appendAll(const std::vector<RecordEntry>& entries)
{
    for (const RecordEntry& entry : entries)
        if (Status s = append(entry); !s.ok())
            return s;
    return {};
}

Status RecordFanOut::appendAll(const std::vector<RecordEntry>& entries)
{
    std::string failures;
    for (const auto& store : stores_) {
        const Status status = store->appendAll(entries);
        if (!status.ok())
            failures += (failures.empty() ? "" : " ") + status.message();
    }
    if (!failures.empty())
        return Failure{failures};
    return {};
}

Outcome<std::vector<RecordEntry>> RecordFanOut::list(std::optional<SystemTime> since)
{
    if (stores_.empty())
        return std::vector<RecordEntry>{};
    return stores_.front()->list(since);
}

std::string joinCapcodes(const std::vector<std::int64_t>& capcodes)
{
    std::string text;
    for (std::int64_t c : capcodes)
        text += (text.empty() ? "" : " ") + std::to_string(c);
    return text;
}

std::vector<std::int64_t> splitCapcodes(const std::string& text)
{
    std::vector<std::int64_t> capcodes;
    std::istringstream in(text);
    std::int64_t value = 0;
    while (in >> value)
        capcodes.push_back(value);
    return capcodes;
}

std::string formatRecordCsv(const std::vector<RecordEntry>& entries)
{
    std::string out = csvLine(kHeader);
    for (const RecordEntry& e : entries)
        out += csvLine(recordRow(e));
    return out;
}

std::string formatRecordTable(const std::vector<RecordEntry>& entries)
{
    // The SHA-256s are cut to their first 12 digits here; the CSV holds them whole.
    std::vector<std::vector<std::string>> rows;
    rows.push_back(kHeader);
    for (const RecordEntry& e : entries) {
        auto row = recordRow(e);
        for (std::size_t column : kShaColumns)
            row[column] = row[column].substr(0, 12);
        rows.push_back(std::move(row));
    }
    std::vector<std::size_t> widths(kHeader.size(), 0);
    for (const auto& row : rows)
        for (std::size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size())
                line += std::string(widths[i] - row[i].size() + 2, ' ');
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        out += line + "\n";
    }
    return out;
}

std::string defaultStationName()
{
    if (const char* configured = std::getenv("PX316T_STATION"); configured && *configured)
        return configured;
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) == 0 && name[0])
        return name;
    return "station";
}

} // namespace px316t
