// px316t-cli batch export NAME --csv: who got which capcode of a batch.
#include "production/pg_batch_export.h"

#include <cstdio>
#include <iostream>
#include <string>

namespace px316t::cli {

int cmdBatchExport(PgConnection& db, const std::string& name)
{
    auto exported = writeBatchExportCsv(db, name, std::cout);
    if (!exported.ok()) {
        std::fprintf(stderr, "%s\n", exported.message().c_str());
        return exported.refused() ? 2 : 1;
    }
    const BatchState& batch = exported.value();
    // A range's capcodes never handed out are the rest of the range.
    if (!batch.isList() && batch.next <= batch.last)
        std::fprintf(stderr, "Capcodes %llu..%llu of the batch were never handed out.\n",
                     static_cast<unsigned long long>(batch.next), static_cast<unsigned long long>(batch.last));
    return 0;
}

} // namespace px316t::cli
