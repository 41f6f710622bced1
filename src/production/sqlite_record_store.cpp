#include "production/sqlite_record_store.h"

#include "production/backup_store.h"

#include "production/sqlite_helpers.h"
#include "table/path_text.h"

#include <algorithm>
#include <system_error>
#include <vector>

namespace px316t {

namespace {

using sqlite::exec;
using sqlite::lastError;

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS production_record ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " time_utc TEXT NOT NULL,"
    " station TEXT NOT NULL,"
    " port TEXT NOT NULL,"
    " operation TEXT NOT NULL,"
    " batch TEXT NOT NULL,"
    " first_capcode INTEGER,"
    " capcodes TEXT NOT NULL,"
    " frequency_hz INTEGER NOT NULL,"
    " result TEXT NOT NULL,"
    " sha256 TEXT NOT NULL,"
    " note TEXT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS production_record_time ON production_record(time_utc);";

// Columns added since the first records: who and from what each entry was
// made, and the list columns of its capcode. A record without them gets them
// (empty for its older entries) when it is opened.
constexpr const char* kLaterColumns[] = {"operator", "program_version", "table_file", "table_sha256", "list_file",
                                         "customer", "order_ref",       "label",      "list_extra"};

constexpr const char* kColumns =
    "time_utc, station, port, operation, batch, first_capcode, capcodes, frequency_hz, result, sha256, note,"
    " operator, program_version, table_file, table_sha256, list_file, customer, order_ref, label, list_extra";

std::vector<std::string> missingLaterColumns(sqlite3* db)
{
    std::vector<std::string> present;
    sqlite::Statement info(db, "SELECT name FROM pragma_table_info('production_record')");
    while (info.ok() && info.step() == SQLITE_ROW)
        present.push_back(info.columnText(0));
    std::vector<std::string> missing;
    for (const char* column : kLaterColumns)
        if (std::find(present.begin(), present.end(), column) == present.end())
            missing.emplace_back(column);
    return missing;
}

// Adds the later columns a record lacks, under the write lock so that two
// programs opening an older record at once do not both add them.
bool addLaterColumns(sqlite3* db, std::string& error)
{
    if (missingLaterColumns(db).empty())
        return true;
    if (!exec(db, "BEGIN IMMEDIATE", error))
        return false;
    for (const std::string& column : missingLaterColumns(db)) {
        const std::string add = "ALTER TABLE production_record ADD COLUMN " + column + " TEXT NOT NULL DEFAULT ''";
        if (!exec(db, add.c_str(), error)) {
            std::string ignored;
            exec(db, "ROLLBACK", ignored);
            return false;
        }
    }
    return exec(db, "COMMIT", error);
}

// Busy waits are bounded: another process appending holds the lock for one entry only.
constexpr int kBusyTimeoutMs = 5000;

enum class OpenVerdict { Ready, Damaged, Failed };

// Opens and checks the file; `db` is left open only when it is Ready.
OpenVerdict openChecked(const std::filesystem::path& path, sqlite3*& db, std::string& error)
{
    db = nullptr;
    int rc = sqlite3_open_v2(utf8FromPath(path).c_str(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    auto fail = [&](int code) {
        error = lastError(db);
        sqlite3_close(db);
        db = nullptr;
        const int primary = code & 0xFF;
        return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT ? OpenVerdict::Damaged : OpenVerdict::Failed;
    };
    if (rc != SQLITE_OK)
        return fail(rc);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db, 1);
    char* message = nullptr;
    rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;", nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc != SQLITE_OK)
        return fail(rc);

    // A quick check reads every page: a file damaged past its header is caught here.
    sqlite3_stmt* check = nullptr;
    rc = sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &check, nullptr);
    if (rc != SQLITE_OK)
        return fail(rc);
    bool sound = true;
    while ((rc = sqlite3_step(check)) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(check, 0));
        if (!text || std::string(text) != "ok") {
            sound = false;
            error = text ? text : "quick_check failed";
        }
    }
    sqlite3_finalize(check);
    if (rc != SQLITE_DONE)
        return fail(rc);
    if (!sound) {
        sqlite3_close(db);
        db = nullptr;
        return OpenVerdict::Damaged;
    }
    rc = sqlite3_exec(db, kSchema, nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc != SQLITE_OK)
        return fail(rc);
    if (!addLaterColumns(db, error)) {
        sqlite3_close(db);
        db = nullptr;
        return OpenVerdict::Failed;
    }
    return OpenVerdict::Ready;
}

void bindText(sqlite3_stmt* statement, int index, const std::string& text)
{
    sqlite3_bind_text(statement, index, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

std::string columnText(sqlite3_stmt* statement, int index)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, index));
    return text ? text : "";
}

} // namespace

std::filesystem::path SqliteRecordStore::defaultPath() { return productionDataFolder() / "production.sqlite"; }

Outcome<std::unique_ptr<SqliteRecordStore>> SqliteRecordStore::open(const std::filesystem::path& path,
                                                                    std::string* notice)
{
    std::error_code ec;
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path(), ec);
    if (ec)
        return Failure{"The production record folder " + utf8FromPath(path.parent_path()) +
                       " could not be created: " + ec.message()};

    sqlite3* db = nullptr;
    std::string error;
    OpenVerdict verdict = openChecked(path, db, error);
    if (verdict == OpenVerdict::Damaged) {
        // Moved aside, never deleted: what it still holds can be recovered by
        // hand. A name already taken (another damaged file of the same second)
        // is never replaced: a hard link claims a free name, then the old name goes.
        const std::string stem = utf8FromPath(path) + ".damaged-" + compactUtc(std::chrono::system_clock::now());
        std::filesystem::path aside;
        for (int attempt = 1; attempt <= 1000; ++attempt) {
            aside = pathFromUtf8(attempt == 1 ? stem : stem + "-" + std::to_string(attempt));
            ec.clear();
            std::filesystem::create_hard_link(path, aside, ec);
            if (!ec) {
                std::filesystem::remove(path, ec);
                break;
            }
            if (ec == std::errc::file_exists)
                continue;
            // A file system without hard links: take a name nobody has.
            if (std::filesystem::exists(aside))
                continue;
            ec.clear();
            std::filesystem::rename(path, aside, ec);
            break;
        }
        if (ec)
            return Failure{"The production record " + utf8FromPath(path) + " is damaged (" + error +
                           ") and could not be moved aside: " + ec.message()};
        for (const char* suffix : {"-wal", "-shm"}) {
            std::error_code ignored;
            const std::filesystem::path side = pathFromUtf8(utf8FromPath(path) + suffix);
            if (std::filesystem::exists(side, ignored))
                std::filesystem::rename(side, pathFromUtf8(utf8FromPath(aside) + suffix), ignored);
        }
        if (notice)
            *notice = "The production record " + utf8FromPath(path) + " was damaged (" + error + "); it was moved to " +
                      utf8FromPath(aside) + " and a new record was started.";
        verdict = openChecked(path, db, error);
    }
    if (verdict != OpenVerdict::Ready)
        return Failure{"The production record " + utf8FromPath(path) + " could not be opened: " + error};
    return std::unique_ptr<SqliteRecordStore>(new SqliteRecordStore(db, path));
}

SqliteRecordStore::~SqliteRecordStore() { sqlite3_close(db_); }

Status SqliteRecordStore::append(const RecordEntry& entry) { return appendAll({entry}); }

bool ensureRecordTable(sqlite3* db, std::string& error)
{
    return exec(db, kSchema, error) && addLaterColumns(db, error);
}

bool insertRecordEntries(sqlite3* db, const std::vector<RecordEntry>& entries, std::string& error)
{
    sqlite3_stmt* insert = nullptr;
    const std::string sql =
        std::string("INSERT INTO production_record (") + kColumns + ") VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
    int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &insert, nullptr);
    for (std::size_t i = 0; rc == SQLITE_OK && i < entries.size(); ++i) {
        const RecordEntry& entry = entries[i];
        sqlite3_reset(insert);
        bindText(insert, 1, isoUtc(entry.time));
        bindText(insert, 2, entry.station);
        bindText(insert, 3, entry.port);
        bindText(insert, 4, operationText(entry.operation));
        bindText(insert, 5, entry.batch);
        if (entry.firstCapcode)
            sqlite3_bind_int64(insert, 6, *entry.firstCapcode);
        else
            sqlite3_bind_null(insert, 6);
        bindText(insert, 7, joinCapcodes(entry.capcodes));
        sqlite3_bind_int64(insert, 8, entry.frequencyHz);
        bindText(insert, 9, resultText(entry.result));
        bindText(insert, 10, entry.sha256);
        bindText(insert, 11, entry.note);
        int column = 12;
        for (const std::string* text :
             {&entry.source.operatorName, &entry.source.programVersion, &entry.source.tableFile,
              &entry.source.tableSha256, &entry.listed.list, &entry.listed.customer, &entry.listed.order,
              &entry.listed.label, &entry.listed.extra})
            bindText(insert, column++, *text);
        rc = sqlite3_step(insert) == SQLITE_DONE ? SQLITE_OK : SQLITE_ERROR;
    }
    sqlite3_finalize(insert);
    if (rc != SQLITE_OK)
        error = lastError(db);
    return rc == SQLITE_OK;
}

Status SqliteRecordStore::appendAll(const std::vector<RecordEntry>& entries)
{
    const std::lock_guard lock(mutex_);
    std::string error;
    if (!exec(db_, "BEGIN IMMEDIATE", error))
        return Failure{"The production record could not be written: " + error};
    if (!insertRecordEntries(db_, entries, error) || !exec(db_, "COMMIT", error)) {
        std::string ignored;
        exec(db_, "ROLLBACK", ignored);
        return Failure{"The production record could not be written: " + error};
    }
    return {};
}

Outcome<std::vector<RecordEntry>> SqliteRecordStore::list(std::optional<SystemTime> since)
{
    const std::lock_guard lock(mutex_);
    sqlite3_stmt* query = nullptr;
    const std::string sql =
        std::string("SELECT id, ") + kColumns + " FROM production_record WHERE time_utc >= ? ORDER BY id";
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &query, nullptr) != SQLITE_OK)
        return Failure{"The production record could not be read: " + lastError(db_)};
    bindText(query, 1, since ? isoUtc(*since) : std::string());
    std::vector<RecordEntry> entries;
    int rc = SQLITE_OK;
    while ((rc = sqlite3_step(query)) == SQLITE_ROW) {
        RecordEntry e;
        e.id = sqlite3_column_int64(query, 0);
        e.time = parseUtc(columnText(query, 1)).value_or(SystemTime{});
        e.station = columnText(query, 2);
        e.port = columnText(query, 3);
        e.operation = operationFromText(columnText(query, 4)).value_or(RecordOperation::Write);
        e.batch = columnText(query, 5);
        if (sqlite3_column_type(query, 6) != SQLITE_NULL)
            e.firstCapcode = sqlite3_column_int64(query, 6);
        e.capcodes = splitCapcodes(columnText(query, 7));
        e.frequencyHz = sqlite3_column_int64(query, 8);
        e.result = resultFromText(columnText(query, 9)).value_or(RecordResult::LinkLost);
        e.sha256 = columnText(query, 10);
        e.note = columnText(query, 11);
        int column = 12;
        for (std::string* text : {&e.source.operatorName, &e.source.programVersion, &e.source.tableFile,
                                  &e.source.tableSha256, &e.listed.list, &e.listed.customer, &e.listed.order,
                                  &e.listed.label, &e.listed.extra})
            *text = columnText(query, column++);
        entries.push_back(std::move(e));
    }
    sqlite3_finalize(query);
    if (rc != SQLITE_DONE)
        return Failure{"The production record could not be read: " + lastError(db_)};
    return entries;
}

} // namespace px316t
