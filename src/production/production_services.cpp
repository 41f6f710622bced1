#include "production/production_services.h"

#include "production/pg_connection.h"
#include "production/pg_production.h"
#include "production/station_recovery.h"

#include <cstdlib>

namespace px316t {

ProductionOptions productionOptionsFromEnvironment()
{
    ProductionOptions options;
    options.databaseConninfo = productionDatabaseFromEnvironment();
    options.station = defaultStationName();
    return options;
}

Outcome<std::unique_ptr<ProductionServices>> ProductionServices::open(const ProductionOptions& options,
                                                                      std::vector<std::string>& notices)
{
    std::unique_ptr<ProductionServices> services(new ProductionServices);
    services->station_ = options.station.empty() ? defaultStationName() : options.station;
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

Outcome<std::filesystem::path> ProductionServices::backupRead(const PagerTable& image)
{
    return writeBackup(backupFolder_, image);
}

Status ProductionServices::recordTransfer(const PagerTable& image, RecordOperation operation, RecordResult result,
                                          const std::string& port, const std::string& batch)
{
    RecordEntry entry = entryForImage(image, operation, result, station_, port);
    entry.batch = batch;
    return fanOut_.append(entry);
}

Outcome<std::shared_ptr<CapcodeSequence>> ProductionServices::openSequence(std::uint64_t first, std::uint64_t last,
                                                                           const std::string& batch,
                                                                           std::vector<std::string>& notices)
{
    if (!shared())
        return std::shared_ptr<CapcodeSequence>(std::make_shared<LocalCapcodeSequence>(first, last));
    auto sequence = PgCapcodeSequence::open(conninfo_, BatchSpec{batch, first, last}, station_);
    if (!sequence.ok())
        return Failure{sequence.message()};
    auto recovered = recoverStation(*sequence.value(), *local_, fanOut_, station_);
    if (!recovered.ok())
        return Failure{recovered.message()};
    for (const RecoveredReservation& r : recovered.value())
        notices.push_back("Capcode " + std::to_string(r.capcode) + " of batch " + r.batch +
                          (r.written ? " was found written by this station's last run and is marked used."
                                     : " was still reserved by this station's last run; it was given back."));
    const BatchState& state = sequence.value()->batchState();
    if (state.joined && state.first != first)
        notices.push_back("Batch " + batch + " already exists; it started at " + std::to_string(state.first) +
                          ", its next capcode is " + std::to_string(state.next) + ".");
    return std::shared_ptr<CapcodeSequence>(std::move(sequence.value()));
}

} // namespace px316t
