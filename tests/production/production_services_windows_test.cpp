// The Windows build shares its record through the same libpq as Linux: a
// station told to share its record whose database cannot be reached must stop
// with words that say why, not go on alone.
#include "production/production_services.h"

#include "production_test_folder.h"

#include <gtest/gtest.h>

namespace px316t {
namespace {

TEST(ProductionServicesOnWindows, AnUnreachableSharedDatabaseStopsTheStation)
{
    testing::ProductionFolder folder;
    ProductionOptions options;
    options.dataFolder = folder.path();
    options.station = "bench-1";
    // Nothing listens on port 1 of the loopback address: refused at once.
    options.databaseConninfo = "host=127.0.0.1 port=1 dbname=production connect_timeout=3";
    std::vector<std::string> notices;
    auto services = ProductionServices::open(options, notices);
    ASSERT_FALSE(services.ok());
    EXPECT_NE(services.message().find("could not be reached"), std::string::npos) << services.message();

    // Without one, the station keeps its record and backups on its own disk.
    options.databaseConninfo.clear();
    auto local = ProductionServices::open(options, notices);
    ASSERT_TRUE(local.ok()) << local.message();
    EXPECT_FALSE(local.value()->shared());
    PagerTable image{};
    EXPECT_TRUE(local.value()->backupRead(image).ok());
    EXPECT_TRUE(local.value()->recordTransfer(image, RecordOperation::Write, RecordResult::Success, "COM3").ok());
}

} // namespace
} // namespace px316t
