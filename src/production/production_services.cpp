#include "production/production_services.h"

#include "production/local_sequence.h"
#include "production/pg_connection.h"
#include "production/pg_record.h"
#include "production/pg_sequence.h"
#include "production/station_recovery.h"

#include <cstdlib>

namespace px316t {

ProductionOptions productionOptionsFromEnvironment()
{
    ProductionOptions options;
    options.databaseConninfo = productionDatabaseFromEnvironment();
    options.station = defaultStationName();
    options.operatorName = defaultOperatorName();
    return options;
}

Outcome<std::unique_ptr<ProductionServices>> ProductionServices::open(const ProductionOptions& options,
                                                                      std::vector<std::string>& notices)
{
    std::unique_ptr<ProductionServices> services(new ProductionServices);
    services->station_ = options.station.empty() ? defaultStationName() : options.station;
    services->source_ = currentSource(options.operatorName);
    services->conninfo_ = options.databaseConninfo;
    const std::filesystem::path folder = options.dataFolder.empty() ? productionDataFolder() : options.dataFolder;
    services->backupFolder_ = folder / "backups";
    std::string notice;
    auto local = SqliteRecordStore::open(folder / "production.sqlite", &notice);
    if (!notice.empty())
        notices.push_back(notice);
    if (!local.ok())
        return Failure{local.message()};
    services->local_ = std::move(local.value());
    services->fanOut_.add(services->local_);
    if (services->shared()) {
        auto shared = PgRecordStore::open(services->conninfo_);
        if (!shared.ok())
            return Failure{shared.message()};
        services->fanOut_.add(std::move(shared.value()));
    }
    return services;
}

Status ProductionServices::useTableFile(const std::filesystem::path& file)
{
    auto source = withTableFile(currentSource(source_.operatorName), file);
    if (!source.ok())
        return source.failure();
    source_ = source.value();
    return {};
}

void ProductionServices::useTableSource(const std::string& name, const std::string& sha256)
{
    source_.tableFile = name;
    source_.tableSha256 = sha256;
}

void ProductionServices::setOperator(const std::string& name)
{
    source_.operatorName = currentSource(name).operatorName;
}

Outcome<std::filesystem::path> ProductionServices::backupRead(const PagerTable& image)
{
    return writeBackup(backupFolder_, image);
}

Status ProductionServices::recordTransfer(const PagerTable& image, RecordOperation operation, RecordResult result,
                                          const std::string& port, const std::string& batch,
                                          std::optional<SystemTime> when)
{
    RecordEntry entry = entryForImage(image, operation, result, station_, port);
    entry.batch = batch;
    entry.source = source_;
    if (when)
        entry.time = *when;
    return fanOut_.append(entry);
}

Outcome<std::shared_ptr<CapcodeSequence>> ProductionServices::openSequence(std::uint64_t first, std::uint64_t last,
                                                                           const std::string& batch,
                                                                           std::vector<std::string>& notices,
                                                                           const LocalList* list)
{
    std::vector<RecoveredReservation> recovered;
    std::shared_ptr<CapcodeSequence> opened;
    if (!shared()) {
        // A batch lives in the shared database only: a batch name without it
        // would run on this station's own sequence and repeat the batch's capcodes.
        if (!batch.empty())
            return Failure{"--batch " + batch + " needs the shared production database (--production-db CONNINFO or "
                           "PX316T_PRODUCTION_DB); nothing was written.",
                           true};
        auto sequence = SqliteCapcodeSequence::open(local_->path(), station_, first, last, list);
        if (!sequence.ok())
            return sequence.failure();
        recovered = sequence.value()->recovered();
        opened = std::move(sequence.value());
    } else {
        if (list)
            return Failure{"--capcodes " + list->file + " walks a list on this station's own record; with the shared "
                           "production database, make the list a batch (px316t-cli batch create NAME --capcodes " +
                           list->file + ") and run with --batch NAME. Nothing was written.",
                           true};
        if (batch.empty())
            return Failure{"A shared production database needs --batch NAME (see px316t-cli batch list).", true};
        auto sequence = PgCapcodeSequence::open(conninfo_, batch, station_);
        if (!sequence.ok())
            return sequence.failure();
        recovered = sequence.value()->recovered();
        opened = std::move(sequence.value());
    }
    for (const RecoveredReservation& r : recovered)
        notices.push_back(recoveredNotice(r));
    // The sequence wrote each recovery's entry with its state change; this
    // station's own record keeps a copy of those the shared database took.
    if (shared())
        if (Status s = recordRecovered(recovered, *local_, station_); !s.ok())
            return Failure{s.message()};
    return opened;
}

} // namespace px316t
