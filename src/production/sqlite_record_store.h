#pragma once
// The production record of this station: an SQLite file beside the backups, in
// WAL mode, synchronous=FULL, one transaction per entry, so an entry that was
// reported appended survives a crash or a power loss.
#include "production/production_record.h"

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

struct sqlite3;

namespace px316t {

// Creates the record's table in `db` when it is missing.
bool ensureRecordTable(sqlite3* db, std::string& error);
// Inserts `entries` into the record's table of `db`, inside the caller's
// transaction (so a state change and its entries commit together).
bool insertRecordEntries(sqlite3* db, const std::vector<RecordEntry>& entries, std::string& error);

class SqliteRecordStore : public RecordStore {
public:
    // productionDataFolder() / "production.sqlite".
    static std::filesystem::path defaultPath();

    // Opens or creates the store (and its folder). A file that is not a sound
    // database is moved aside as "<name>.damaged-<UTC time>" and a new one is
    // started; `notice` then says so and where the old file went, for the caller
    // to report once.
    static Outcome<std::unique_ptr<SqliteRecordStore>> open(const std::filesystem::path& path,
                                                            std::string* notice = nullptr);
    ~SqliteRecordStore() override;
    SqliteRecordStore(const SqliteRecordStore&) = delete;
    SqliteRecordStore& operator=(const SqliteRecordStore&) = delete;

    Status append(const RecordEntry& entry) override;
    // All in one transaction.
    Status appendAll(const std::vector<RecordEntry>& entries) override;
    Outcome<std::vector<RecordEntry>> list(std::optional<SystemTime> since) override;

    const std::filesystem::path& path() const { return path_; }

private:
    SqliteRecordStore(sqlite3* db, std::filesystem::path path) : db_(db), path_(std::move(path)) {}

    sqlite3* db_;
    std::filesystem::path path_;
    std::mutex mutex_;   // boards of one station append from their own threads
};

} // namespace px316t
