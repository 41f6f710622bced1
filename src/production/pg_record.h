#pragma once
// The production record shared by several stations. Each entry carries an id
// its station chose, so an entry sent again after its reply was lost is kept
// once.
#include "production/pg_connection.h"
#include "production/production_record.h"

#include <memory>
#include <mutex>

namespace px316t {

class PgRecordStore : public RecordStore {
public:
    static Outcome<std::unique_ptr<PgRecordStore>> open(const std::string& conninfo);
    Status append(const RecordEntry& entry) override;
    Outcome<std::vector<RecordEntry>> list(std::optional<SystemTime> since) override;

private:
    explicit PgRecordStore(std::unique_ptr<PgConnection> connection) : connection_(std::move(connection)) {}

    std::mutex mutex_;
    std::unique_ptr<PgConnection> connection_;
};

} // namespace px316t
