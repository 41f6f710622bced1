#pragma once
// What a station keeps around its transfers: backups of the images it reads,
// the record of every Write and Verify (the local SQLite file, and the shared
// PostgreSQL database when one is configured), and the capcode sequence of a
// production run. The window and the command line both open one of these.
#include "production/backup_store.h"
#include "production/capcode_sequence.h"
#include "production/local_sequence.h"
#include "production/production_record.h"
#include "production/sqlite_record_store.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace px316t {

struct ProductionOptions {
    std::string databaseConninfo;         // the shared database; empty: everything stays local
    std::string station;                  // empty: defaultStationName()
    std::filesystem::path dataFolder;     // empty: productionDataFolder()
    std::string operatorName = {};        // empty: defaultOperatorName()
};

// The options from the environment: $PX316T_PRODUCTION_DB, $PX316T_STATION,
// $PX316T_OPERATOR.
ProductionOptions productionOptionsFromEnvironment();

class ProductionServices {
public:
    // Opens the local record (and the shared one when configured). `notices`
    // receives what the operator should be told once (a damaged record moved
    // aside). A shared database that cannot be reached is a failure: a station
    // configured to share must not go on alone.
    static Outcome<std::unique_ptr<ProductionServices>> open(const ProductionOptions& options,
                                                             std::vector<std::string>& notices);

    const std::string& station() const { return station_; }
    // Who works here with which program, and the table file in use: on every
    // entry and every capcode written.
    const EntrySource& source() const { return source_; }
    // The table file the next writes come from (its name and SHA-256 go on the record).
    Status useTableFile(const std::filesystem::path& file);
    // The table file by a name and SHA-256 taken when it was read or written
    // (both empty: the image came from no file).
    void useTableSource(const std::string& name, const std::string& sha256);
    // Who the next entries name (empty: the one configured, or the login name).
    void setOperator(const std::string& name);
    bool shared() const { return !conninfo_.empty(); }
    const std::filesystem::path& backupFolder() const { return backupFolder_; }
    SqliteRecordStore& localRecord() { return *local_; }
    // Where entries go: the local record, and the shared one when configured.
    RecordStore& record() { return fanOut_; }

    // Keeps a read image; the caller reports a failure and goes on.
    Outcome<std::filesystem::path> backupRead(const PagerTable& image);
    // One entry for a Write or Verify of `image`.
    // `when` is when the operation ended (now when not given).
    Status recordTransfer(const PagerTable& image, RecordOperation operation, RecordResult result,
                          const std::string& port, const std::string& batch = {},
                          std::optional<SystemTime> when = std::nullopt);

    // The capcode sequence of a production run: this station's own (kept in its
    // record), looking from `first` up to `last`; or, with the shared database,
    // the batch `batch`, which must exist. A batch without the shared database,
    // the shared database without a batch, an unknown batch and a station name
    // already running are refused (Failure::refused). Opening recovers what
    // runs that are gone left open and records it; `notices` says so. With a
    // `list` (this station's record only) the run walks the list instead.
    Outcome<std::shared_ptr<CapcodeSequence>> openSequence(std::uint64_t first, std::uint64_t last,
                                                           const std::string& batch,
                                                           std::vector<std::string>& notices,
                                                           const LocalList* list = nullptr);

private:
    ProductionServices() = default;

    std::string station_;
    EntrySource source_;
    std::string conninfo_;
    std::filesystem::path backupFolder_;
    std::shared_ptr<SqliteRecordStore> local_;
    RecordFanOut fanOut_;
};

} // namespace px316t
