#pragma once
// The production record and backups of a command: this station's, and the
// shared database named by --production-db or the environment.
#include "cli/args.h"
#include "production/production_services.h"

#include <memory>

namespace px316t::cli {

// The environment's options with --production-db, --station and --operator applied.
ProductionOptions productionOptions(const Args& a);

// The record and backups of this station, recording `tableFile` (when given)
// as the table file of its writes; nothing (after one line) when the record
// cannot be opened, so that no transfer goes unrecorded.
std::unique_ptr<ProductionServices> openProduction(const Args& a, const QString& tableFile = {});

} // namespace px316t::cli
